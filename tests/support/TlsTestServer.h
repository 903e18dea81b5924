#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

// An HTTPS server on 127.0.0.1 for tests: `openssl s_server -www` (it
// answers "GET /" with a page of its own) with one of the certificates of
// make_test_certs.sh. Ends when destroyed.
class TTlsTestServer {
 public:
  // Makes the test CA and its certificates in dir; false when openssl failed.
  static bool MakeCertificates(const QString& dir);

  // name: the leaf's base name in certDir; chain: send the intermediate too;
  // extra: more s_server options (protocol versions, ciphers, -accept [::1]:0).
  TTlsTestServer(const QString& certDir, const QString& name, bool chain,
                 const QStringList& extra = {});
  ~TTlsTestServer();

  // 0 when the server did not start.
  quint16 Port() const { return FPort; }

 private:
  QProcess FProcess;
  quint16 FPort = 0;
};
