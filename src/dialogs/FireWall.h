#pragma once
#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// Edits the relay (firewall) host of the Finger or the Whois tool; the owner
// passes the relay of the active tab. After exec() returns Accepted, Relay()
// holds the text exactly as typed and RelayEnabled() tells whether the
// tool's relay check box is to be enabled.
class TFireWallForm : public QDialog {
  Q_OBJECT
 public:
  TFireWallForm(QWidget* owner, const QString& relay);

  QString Relay() const { return FRelay; }
  bool RelayEnabled() const { return RelayCheckEnabled(FRelay); }

  // A relay check box is usable exactly when its relay host is set.
  static bool RelayCheckEnabled(const QString& relay) { return !relay.isEmpty(); }

  void OKButtonClick();

  QLineEdit* FireWall_Edt;
  QPushButton *OKButton, *CancelButton;

 private:
  void BuildControls();
  void FormCreate(QWidget* owner);

  QString FRelay;
};
