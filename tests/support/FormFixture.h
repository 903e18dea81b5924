#pragma once
// The window as the widget tests drive it: made with injected dependencies
// (a fake resolver unless a test brings its own), fed with real key and
// mouse input, and waited on with QTRY_VERIFY / QTRY_COMPARE in the tests.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "FakeResolver.h"
#include "ModalDialogs.h"  // dialogs are answered with WhenModal
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "workers/QueryThread.h"

class TFormFixture {
 public:
  std::unique_ptr<TOstrekForm> FForm;
  std::shared_ptr<TFakeResolver> FResolver;

  TOstrekForm& Form() { return *FForm; }

  // What the window gets unless a test says otherwise: a resolver of its own.
  TFormDeps Deps() {
    FResolver = std::make_shared<TFakeResolver>();
    TFormDeps deps;
    deps.Resolver = FResolver;
    return deps;
  }

  // Makes the window and shows it; false when it never became exposed.
  bool Open(TFormDeps deps) {
    FForm = std::make_unique<TOstrekForm>(std::move(deps));
    FForm->show();
    FForm->activateWindow();
    return QTest::qWaitForWindowExposed(FForm.get());
  }
  bool Open() { return Open(Deps()); }
  // The window with Finger on a loopback server's port, active for the keys.
  bool OpenActiveWithFinger(int port) {
    TFormDeps deps = Deps();
    deps.FingerPort = port;
    return Open(deps) && QTest::qWaitForWindowActive(FForm.get());
  }

  // Closes the window and waits until no worker is left.
  bool Shut() {
    FForm.reset();
    return QTest::qWaitFor([] { return TQueryThread::LiveCount() == 0; }, 5000);
  }

  bool Idle() const { return FForm->Go_Btn->isEnabled(); }
  // The pane's last line.
  QString LastLine() const { return FForm->ExtMemo->LineText(FForm->ExtMemo->LineCount() - 1); }
  // A log file once the log entries of all finished runs are written (a
  // closed window has written its own).
  QByteArray ReadLog(const QString& path) const {
    if (FForm) FForm->WaitForQueryLog();
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
  }
  QStringList Pane() const { return FForm->ExtMemo->Lines(); }
  // The lines of the last run after its header and the empty line.
  QStringList Body() const {
    const QStringList pane = Pane();
    qsizetype header = pane.size() - 1;
    while (header > 0 && !pane[header].startsWith(">> ")) --header;
    return pane.mid(header + 2);
  }

  // Types text into the field of box as a user does, replacing what it held.
  static void Type(QComboBox* box, const QString& text) {
    box->lineEdit()->setFocus();
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), text);
  }
  // Picks the page, types into box and clicks the start button.
  void Start(QWidget* page, QComboBox* box, const QString& text) {
    FForm->PageControl->setCurrentWidget(page);
    Type(box, text);
    QTest::mouseClick(FForm->Go_Btn, Qt::LeftButton);
  }
};
