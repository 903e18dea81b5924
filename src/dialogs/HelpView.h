#pragma once
#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

// The help window: the Japanese manual, compiled into the resources under
// ":/help", in a browser with a row of buttons for the contents, the keyword
// index, back and forward. There is one per application; asking for help
// again reuses it and brings it to the front.
class THelpViewer : public QWidget {
  Q_OBJECT
 public:
  // Help → 目次 (F1) and Help → キーワード. owner's window becomes the help
  // window's parent when the window is first made.
  static void ShowHelpContents(QWidget* owner);
  static void ShowHelpIndex(QWidget* owner);

  // The help window, or null while none exists (before the first request,
  // or after its owner was destroyed).
  static THelpViewer* Instance();

  static QUrl ContentsUrl();  // qrc:/help/index.html
  static QUrl IndexUrl();     // qrc:/help/keywords.html

  // Shows a page of the manual (an anchor in the URL scrolls to it).
  void ShowPage(const QUrl& page);
  QTextBrowser* Browser() const { return FBrowser; }

  QPushButton* Contents_Btn = nullptr;
  QPushButton* Keyword_Btn = nullptr;
  QPushButton* Back_Btn = nullptr;
  QPushButton* Forward_Btn = nullptr;

 private:
  explicit THelpViewer(QWidget* parent);
  static void Open(QWidget* owner, const QUrl& page);
  void BuildControls();
  QPushButton* AddButton(const char* name, const QString& caption);

  QTextBrowser* FBrowser = nullptr;
};
