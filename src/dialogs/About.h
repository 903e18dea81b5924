#pragma once
#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

// The program's name and version and two links to its authors: a mail link
// and the web page. The links are opened by the desktop; tests pass an
// opener of their own.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  // Opens a link; false when nothing could open it.
  using TUrlOpener = std::function<bool(const QUrl&)>;

  explicit TAboutBox(QWidget* owner, TUrlOpener openUrl = {});

  static QString VersionText();
  static QString MailTarget();
  static QString WebAddress();
  // "設定ファイル: <path>" and "ログ: <dir>", with the mode they follow from.
  static QString PlacesText();

  void Label4Click();
  void Label5Click();

  QLabel *Label1, *Label2, *Label4, *Label5;
  QLabel* Places_LBL;  // where the settings file and the logs are
  QPushButton* OKButton;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildLayout();
  void FormCreate(QWidget* owner);
  QLabel* NewLinkLabel(const char* name, const QString& text);
  void OpenLink(const QString& target, const QString& failureText);

  TUrlOpener FOpenUrl;
};
