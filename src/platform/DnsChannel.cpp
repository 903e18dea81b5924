#include "platform/DnsChannel.h"

#include <ares.h>

#include <mutex>

namespace {

void InitLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

// "127.0.0.1:53", "[2001:db8::1]:53" as ares_set_servers_ports_csv takes it.
QByteArray ServerCsv(const TAddressPort& server) {
  const QByteArray address = server.Address.ToLatin1();
  return (server.Address.IsIPv6() ? '[' + address + ']' : address) + ':' +
         QByteArray::number(server.Port);
}

}  // namespace

TDnsChannel::TDnsChannel(const TAddressPort& server, bool tcp, int tryMs) {
  InitLibraryOnce();
  ares_options opts{};
  // IGNTC: a truncated answer comes back to be retried with a line of its
  // own; NOCHECKRESP: REFUSED and SERVFAIL are answers to show, not
  // reasons to give up.
  opts.flags = ARES_FLAG_IGNTC | ARES_FLAG_NOCHECKRESP | (tcp ? ARES_FLAG_USEVC : 0);
  opts.timeout = std::max(tryMs, 1);
  opts.tries = 2;
  char dnsOnly[] = "b";
  opts.lookups = dnsOnly;
  const int mask = ARES_OPT_FLAGS | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_LOOKUPS;
  if (ares_init_options(&FChannel, &opts, mask) != ARES_SUCCESS) FChannel = nullptr;
  if (FChannel && ares_set_servers_ports_csv(FChannel, ServerCsv(server).constData()) != ARES_SUCCESS) {
    ares_destroy(FChannel);
    FChannel = nullptr;
  }
}

// Destroying the channel ends a pending query with ARES_EDESTRUCTION, which
// OnAnswer takes as done without an answer.
TDnsChannel::~TDnsChannel() {
  if (FChannel) ares_destroy(FChannel);
}

bool TDnsChannel::Send(const QByteArray& query) {
  if (!FChannel || query.isEmpty()) return false;
  ares_send(FChannel, reinterpret_cast<const unsigned char*>(query.constData()), int(query.size()),
            OnAnswer, this);
  return true;
}

void TDnsChannel::OnAnswer(void* arg, int status, int, unsigned char* answer, int length) {
  auto* self = static_cast<TDnsChannel*>(arg);
  self->FDone = true;
  self->FRefused = status == ARES_ECONNREFUSED;
  if (status == ARES_SUCCESS && answer && length > 0)
    self->FAnswer = QByteArray(reinterpret_cast<const char*>(answer), length);
}

QList<pollfd> TDnsChannel::Sockets() const {
  QList<pollfd> fds;
  if (!FChannel) return fds;
  ares_socket_t socks[ARES_GETSOCK_MAXNUM];
  const int bits = ares_getsock(FChannel, socks, ARES_GETSOCK_MAXNUM);
  for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
    short events = 0;
    if (ARES_GETSOCK_READABLE(bits, i)) events |= POLLIN;
    if (ARES_GETSOCK_WRITABLE(bits, i)) events |= POLLOUT;
    if (events) fds.append(pollfd{socks[i], events, 0});
  }
  return fds;
}

int TDnsChannel::NextWaitMs() const {
  timeval tv{};
  const timeval* next = FChannel ? ares_timeout(FChannel, nullptr, &tv) : nullptr;
  if (!next) return -1;
  return int(next->tv_sec * 1000 + (next->tv_usec + 999) / 1000);
}

void TDnsChannel::Process(const QList<pollfd>& polled) {
  if (!FChannel) return;
  bool processed = false;
  for (const pollfd& p : polled) {
    if (!p.revents) continue;
    const bool readable = p.revents & (POLLIN | POLLERR | POLLHUP);
    ares_process_fd(FChannel, readable ? p.fd : ARES_SOCKET_BAD,
                    (p.revents & POLLOUT) ? p.fd : ARES_SOCKET_BAD);
    processed = true;
  }
  // Retries and time-outs are handled by any call.
  if (!processed) ares_process_fd(FChannel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
}

QList<TAddressPort> TDnsChannel::SystemServers() {
  InitLibraryOnce();
  QList<TAddressPort> servers;
  ares_channel channel = nullptr;
  if (ares_init(&channel) != ARES_SUCCESS) return servers;
  ares_addr_port_node* list = nullptr;
  if (ares_get_servers_ports(channel, &list) == ARES_SUCCESS) {
    for (const ares_addr_port_node* s = list; s; s = s->next) {
      const int port = s->udp_port ? s->udp_port : 53;
      if (s->family == AF_INET)
        servers.append({TNetAddress::FromIPv4(s->addr.addr4.s_addr), quint16(port)});
      else if (s->family == AF_INET6)
        servers.append({TNetAddress::FromIPv6(std::to_array(s->addr.addr6._S6_un._S6_u8)),
                        quint16(port)});
    }
    ares_free_data(list);
  }
  ares_destroy(channel);
  return servers;
}
