// A GET of 20 MB over HTTPS beside the same GET over HTTP into the real
// window: time from the start click to the run's end, and the memory one
// TLS run adds. Against openssl s_server and a loopback server:
//   build/bench/HttpsBench [MB]   (QT_QPA_PLATFORM=offscreen)
// or against nginx in the test namespace, which serves WEB_BIG_MB:
//   DNS_EXTRA_FILE=tests/net/web_dns.conf WEB_BIG_MB=20
//     bash tests/net/dns_netns.sh bash tests/net/web_netns.sh build/bench/HttpsBench
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "LoopbackServer.h"
#include "TlsTestServer.h"
#include "main/OstrekMain.h"
#include "widgets/ExtMemo.h"
#include "workers/TlsLink.h"

namespace {
const QByteArray Line =
    "0123456789 The quick brown fox jumps over the lazy dog 0123456789 abcdefghij\r\n";

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Seconds from the click to the end of the run.
double Get(TOstrekForm& form, const QString& url) {
  form.ExtMemo->clear();
  form.HHURL_CB->setEditText(url);
  QApplication::processEvents();
  QElapsedTimer t;
  t.start();
  form.Go_Btn->click();
  while (!form.Go_Btn->isEnabled() && t.elapsed() < 60000)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  return t.nsecsElapsed() / 1e9;
}

struct TUrls {
  QString Small, Plain, Tls;
};

int Measure(const TUrls& urls) {
  TOstrekForm form;
  form.show();
  form.PageControl->setCurrentWidget(form.Http);
  form.HTTPGET_RBTN->setChecked(true);
  // One small TLS run first, so that its memory shows above the window's.
  QApplication::processEvents();
  const long rssBefore = PeakRssKb();
  Get(form, urls.Small);
  const long rssOneTls = PeakRssKb() - rssBefore;
  const double plainSec = Get(form, urls.Plain);
  const qsizetype plainShown = form.ExtMemo->LineCount();
  const double tlsSec = Get(form, urls.Tls);
  const qsizetype tlsShown = form.ExtMemo->LineCount();

  std::printf("HTTP                  %.3f s (%lld lines shown)\n", plainSec, (long long)plainShown);
  std::printf("HTTPS                 %.3f s (%lld lines shown)\n", tlsSec, (long long)tlsShown);
  std::printf("HTTPS / HTTP          %.2f\n", tlsSec / plainSec);
  std::printf("one TLS run (small)    +%ld KB peak RSS\n", rssOneTls);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (qEnvironmentVariableIsSet("WEB_CERTS")) {  // nginx of web_netns.sh, its file made
    TTlsLink::SetTrustFile(QDir(qEnvironmentVariable("WEB_CERTS")).filePath("ca.crt"));
    return Measure({"https://chain.srv.test/", "http://site1.srv.test/big.txt",
                    "https://chain.srv.test/big.txt"});
  }
  const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 20;
  const qint64 lines = megabytes * 1000000 / Line.size();
  std::printf("body                  %lld lines, %.1f MB\n", (long long)lines,
              lines * Line.size() / 1e6);

  QTemporaryDir dir;
  if (!TTlsTestServer::MakeCertificates(dir.path())) return 1;
  TTlsLink::SetTrustFile(QDir(dir.path()).filePath("ca.crt"));
  QFile body(QDir(dir.path()).filePath("big.txt"));
  if (!body.open(QIODevice::WriteOnly)) return 1;
  for (qint64 i = 0; i < lines; ++i) body.write(Line);
  body.close();
  // s_server -WWW serves files from its working directory.
  QDir::setCurrent(dir.path());
  TTlsTestServer https(dir.path(), "valid", true, {"-WWW"});
  TLoopbackServer http;
  http.SetStream(Line, lines, 300);
  return Measure({QString("https://127.0.0.1:%1/ca.crt").arg(https.Port()),
                  QString("http://127.0.0.1:%1/big.txt").arg(http.Port()),
                  QString("https://127.0.0.1:%1/big.txt").arg(https.Port())});
}
