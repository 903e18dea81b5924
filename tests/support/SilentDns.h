#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>

#include "platform/HostResolver.h"

// A DNS server on loopback that hears every query and answers none.
class TSilentServer {
 public:
  TSilentServer() {
    FFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(FFd, reinterpret_cast<sockaddr*>(&addr), &len);
    FPort = ntohs(addr.sin_port);
  }
  ~TSilentServer() { close(FFd); }
  TSilentServer(const TSilentServer&) = delete;
  TSilentServer& operator=(const TSilentServer&) = delete;

  int Port() const { return FPort; }
  TResolverSetup Setup() const {
    return TResolverSetup{QByteArray("127.0.0.1:") + QByteArray::number(FPort)};
  }
  bool HeardQuery(int msecs) {
    pollfd p{FFd, POLLIN, 0};
    if (poll(&p, 1, msecs) != 1) return false;
    char buf[512];
    return recv(FFd, buf, sizeof buf, 0) > 0;
  }

 private:
  int FFd = -1;
  int FPort = 0;
};
