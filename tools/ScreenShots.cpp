// Makes the README's pictures: each tool's page after a real run. Run it
// through scripts/screenshots.sh, which starts it inside the test
// namespaces (chain_netns.sh for Ping and TraceRoute, dns_netns.sh for the
// lookups) under Xvfb; the TCP tools talk to servers of its own on loopback.
//   ScreenShots OUTDIR TOOL...   (finger whois ping traceroute nslookup ipscan http graph
//                                 repeat dns)
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "LoopbackServer.h"
#include "TestStores.h"
#include "common/ProgramDir.h"
#include "common/SjisText.h"
#include "main/NsLookupPage.h"
#include "main/OstrekMain.h"
#include "settings/SettingsStore.h"
#include "widgets/GraphPanel.h"
#include "widgets/UpDown.h"
#include "workers/TlsLink.h"

namespace {

QString Env(const char* name) { return qEnvironmentVariable(name); }

// What the loopback servers answer: a Finger user list, a whois reply in
// ISO-2022-JP as Japanese registries send it, an HTTP header.
QByteArray Reply(const QString& tool) {
  if (tool == "finger")
    return ToSjis(
        u"Login     Name          Tty      Idle  Login Time\r\n"
        u"taro      山田 太郎     pts/0       3  Dec  7 09:12\r\n"
        u"hanako    佐藤 花子     pts/1          Dec  7 10:40\r\n");
  if (tool == "whois")
    return "[ \x1b$BF|K\\\x1b(BJPNIC WHOIS Gateway ]\r\n\r\n"
           "a. [\x1b$B%I%a%$%sL>\x1b(B]            EXAMPLE.JP\r\n"
           "e. [\x1b$B$=$N$?$a$N>pJs\x1b(B]        \x1b$B%5%s%W%k\x1b(B\r\n"
           "[\x1b$B>uBV\x1b(B]                     Connected (2027/03/31)\r\n";
  return "HTTP/1.0 200 OK\r\nServer: loopback\r\nContent-Type: text/html; charset=Shift_JIS\r\n"
         "Content-Length: 1234\r\nLast-Modified: Mon, 07 Dec 2026 09:00:00 GMT\r\n\r\n";
}

// Fills the page of tool and returns it; empty when the tool is unknown.
QWidget* Prepare(TOstrekForm& form, const QString& tool, int port) {
  if (tool == "finger" || tool == "whois") {
    const bool finger = tool == "finger";
    (finger ? form.FngrServ_CB : form.WhoisServ_CB)->setEditText("127.0.0.1");
    (finger ? form.FngrReq_CB : form.WhoisReq_CB)->setEditText(finger ? "" : "example.jp");
    return finger ? form.Finger : form.Whois;
  }
  if (tool == "ping") {
    form.PngServ_CB->setEditText(Env("CHAIN_TARGET"));
    form.PngDelay_UD->SetPosition(200);
    return form.Ping;
  }
  if (tool == "graph") {  // the statistics panel during a Ping run
    form.PngServ_CB->setEditText(Env("CHAIN_TARGET"));
    form.PngReqNum_UD->SetPosition(60);
    form.PngDelay_UD->SetPosition(100);
    form.GraphPanel->show();
    return form.Ping;
  }
  if (tool == "traceroute") {
    form.TRServ_CB->setEditText(Env("CHAIN_TARGET"));
    form.TRMaxHop_UD->SetPosition(10);
    return form.TraceRoute;
  }
  if (tool == "repeat") {  // a repeated TraceRoute with its table, on the lossy chain
    form.TRServ_CB->setEditText(Env("CHAIN_TARGET"));
    form.TRTout_UD->SetPosition(1);
    form.TRMaxHop_UD->SetPosition(10);
    form.TRRepeat_ChckB->setChecked(true);
    form.TRCycles_UD->SetPosition(12);
    form.GraphPanel->show();
    return form.TraceRoute;
  }
  if (tool == "nslookup") {
    form.NSServ_CB->setEditText("alias.ostrekon.test");
    return form.NsLookup;
  }
  if (tool == "dns") {  // MX records with their signatures over DNS over TLS, on the test bed
    TTlsLink::SetTrustFile(QDir(Env("DNSBED_CERTS")).filePath("ca.crt"));
    form.NSServ_CB->setEditText("dnsbed.test");
    form.NsPage->Type_CB->setCurrentText("MX");
    form.NsPage->DnsServ_CB->setEditText("tls://127.0.0.1");
    form.NsPage->Dnssec_ChckB->setChecked(true);
    return form.NsLookup;
  }
  if (tool == "ipscan") {
    form.Ex_CB->setEditText("192.0.2");
    form.Ex_UD1->SetPosition(1);
    form.Ex_UD2->SetPosition(4);
    return form.NsLookupEx;
  }
  if (tool == "http") {
    form.HHURL_CB->setEditText(QString("http://127.0.0.1:%1/index.html").arg(port));
    return form.Http;
  }
  return nullptr;
}

bool Shoot(const QString& tool, const QString& outDir) {
  TLoopbackServer server;
  server.SetReply({{Reply(tool)}});
  if (tool == "http") server.SetRequestEnd("\r\n\r\n\r\n");
  TFormDeps deps;
  deps.FingerPort = deps.WhoisPort = server.Port();
  TOstrekForm form(deps);
  form.resize(720, 500);
  form.show();
  QWidget* page = Prepare(form, tool, server.Port());
  if (!page) return false;
  form.PageControl->setCurrentWidget(page);
  form.Go_Btn->click();
  QElapsedTimer wait;
  wait.start();
  // The panel is shown half-way through its run.
  const auto shotTime = [&] {
    return form.Go_Btn->isEnabled() ||
           (tool == "graph" && form.GraphPanel->Stats().Samples().size() >= 30);
  };
  while (!shotTime() && wait.elapsed() < 60000) QApplication::processEvents();
  QApplication::processEvents();
  const QString file = QDir(outDir).filePath(tool + ".png");
  std::printf("%s: %s\n", qPrintable(file), form.Go_Btn->isEnabled() ? "ok" : "still running");
  return form.grab().save(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: ScreenShots OUTDIR TOOL...\n");
    return 2;
  }
  QTemporaryDir settings;  // never the user's own settings
  MarkPortable(settings.path());
  SetProgramDir(settings.path());
  SetUserStorePath(QDir(settings.path()).filePath("Ostrekon.conf"));
  bool ok = QDir().mkpath(QString::fromLocal8Bit(argv[1]));
  for (int i = 2; i < argc; ++i) ok = Shoot(QString::fromLocal8Bit(argv[i]), argv[1]) && ok;
  return ok ? 0 : 1;
}
