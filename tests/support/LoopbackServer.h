#pragma once
#include <QByteArray>
#include <QList>
#include <atomic>
#include <mutex>
#include <thread>

// A TCP server on 127.0.0.1 for tests: accepts one connection at a time,
// reads the request until it has seen `requestEnd` (or the peer shuts its
// side), answers with the scripted chunks, then closes. Stops by itself when
// destroyed.
class TLoopbackServer {
 public:
  struct TChunk {
    QByteArray Bytes;
    int DelayMsBefore = 0;
  };

  TLoopbackServer();
  // On another loopback address (127.0.0.0/8, or ::1), at port (0: any free
  // one): several servers can then share one port.
  TLoopbackServer(const char* dottedAddr, quint16 port);
  ~TLoopbackServer();

  bool Listening() const { return FListen >= 0; }

  quint16 Port() const { return FPort; }
  void SetReply(QList<TChunk> chunks);
  void SetRequestEnd(const QByteArray& end) { FRequestEnd = end; }
  // Streams `line` repeatedly (count times, 0 = until the client goes away
  // or maxSeconds pass) instead of a fixed reply.
  void SetStream(const QByteArray& line, qint64 count, int maxSeconds = 30);
  // Holds the connection open without answering until the client closes.
  void SetSilent(bool silent) { FSilent = silent; }
  // Ends each connection with a reset instead of an orderly close.
  void SetReset(bool reset) { FReset = reset; }

  QByteArray LastRequest() const;
  int Connections() const { return FConnections.load(); }
  // True once the last connection was closed by the client (seen as EOF or
  // an error while sending).
  bool ClientWentAway() const { return FClientGone.load(); }

  // A loopback port where nothing listens (connection refused).
  static quint16 ClosedPort();

 private:
  void Serve();
  void Handle(int fd);
  bool SendAll(int fd, const QByteArray& bytes);

  int FListen = -1;
  quint16 FPort = 0;
  std::thread FThread;
  std::atomic<bool> FStopping{false};
  std::atomic<int> FConnections{0};
  std::atomic<bool> FClientGone{false};
  mutable std::mutex FLock;
  QByteArray FRequest;
  QByteArray FRequestEnd = "\r\n";
  QList<TChunk> FReply;
  QByteArray FStreamLine;
  qint64 FStreamCount = -1;
  int FStreamSeconds = 30;
  bool FSilent = false;
  bool FReset = false;
};
