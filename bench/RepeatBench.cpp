// A repeated TraceRoute through the window, as a user runs it, with the
// statistics panel shown: how long the cycles take, the table they leave,
// and the longest the window went without answering meanwhile.
//   RepeatBench HOST CYCLES [service]   (in the client of chain_netns.sh)
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>

#include "StallMeter.h"
#include "TestStores.h"
#include "common/HopStats.h"
#include "common/SjisText.h"
#include "main/OstrekMain.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: RepeatBench HOST CYCLES [service]\n");
    return 2;
  }
  IsolateSettingsStores();  // never the user's own settings
  TOstrekForm form{TFormDeps{}};
  form.resize(900, 700);
  form.show();
  form.GraphPanel->show();
  form.FIcmpServiceMode = argc > 3;
  form.PageControl->setCurrentWidget(form.TraceRoute);
  form.TRServ_CB->setEditText(QString::fromLocal8Bit(argv[1]));
  form.TRTout_UD->SetPosition(1);
  form.TRMaxHop_UD->SetPosition(30);
  form.TRRepeat_ChckB->setChecked(true);
  form.TRCycles_UD->SetPosition(QByteArray(argv[2]).toInt());
  QElapsedTimer elapsed;
  elapsed.start();
  TStallMeter stalls;
  form.Go_Btn->click();
  while (!form.Go_Btn->isEnabled()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  std::printf("cycles %s in %.2f s, longest stall %lld ms\n", argv[2], elapsed.elapsed() / 1000.0,
              stalls.LongestMs());
  for (const QByteArray& line : HopTableLines(form.GraphPanel->HopRows()))
    std::printf("%s\n", FromSjis(line).toUtf8().constData());
  return 0;
}
