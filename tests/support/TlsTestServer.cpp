#include "TlsTestServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>

bool TTlsTestServer::MakeCertificates(const QString& dir) {
  QProcess make;
  make.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  make.start(QStringLiteral("sh"), {QStringLiteral(OSTREKON_TEST_CERTS_SCRIPT), dir});
  return make.waitForFinished(30000) && make.exitStatus() == QProcess::NormalExit &&
         make.exitCode() == 0;
}

TTlsTestServer::TTlsTestServer(const QString& certDir, const QString& name, bool chain,
                               const QStringList& extra) {
  const QDir dir(certDir);
  QStringList args{"s_server",    "-accept",
                   "127.0.0.1:0", "-www",
                   "-cert",       dir.filePath(name + ".crt"),
                   "-key",        dir.filePath(name + ".key")};
  if (chain) args << "-cert_chain" << dir.filePath("chain.crt");
  FProcess.setProcessChannelMode(QProcess::MergedChannels);
  FProcess.start(QStringLiteral("openssl"), args + extra);
  // s_server names the port it got: "ACCEPT 127.0.0.1:port", "ACCEPT [::1]:port".
  static const QRegularExpression accept(QStringLiteral("ACCEPT \\S+:(\\d+)"));
  QByteArray said;
  const QDeadlineTimer limit(10000);
  while (FPort == 0 && !limit.hasExpired() &&
         FProcess.waitForReadyRead(int(limit.remainingTime()))) {
    said += FProcess.readAll();
    const QRegularExpressionMatch m = accept.match(QString::fromLatin1(said));
    if (m.hasMatch()) FPort = quint16(m.captured(1).toUInt());
  }
}

TTlsTestServer::~TTlsTestServer() {
  FProcess.kill();
  FProcess.waitForFinished(5000);
}
