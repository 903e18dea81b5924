#pragma once
#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

// The program's name and version, a link to the project's home page, and
// where the settings and the logs are kept. The link is opened by the
// desktop; tests pass an opener of their own.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  // Opens a link; false when nothing could open it.
  using TUrlOpener = std::function<bool(const QUrl&)>;

  explicit TAboutBox(QWidget* owner, TUrlOpener openUrl = {});

  static QString VersionText();
  static QString WebAddress();
  // The rule for where settings and logs live, then "設定ファイル: <path>"
  // and "ログ: <dir>" as it decided for this copy.
  static QString PlacesText();

  void Label5Click();

  QLabel *Label1, *Label2, *Label5;
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
