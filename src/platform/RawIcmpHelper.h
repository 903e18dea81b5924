#pragma once
#include <QString>

#include "helper/HelperProtocol.h"

// Raw ICMP sockets for an ordinary user come from ostrekon-icmp-helper, the
// one file that may carry cap_net_raw: this process never holds a privilege.

// Where the helper is: in <libexecdir>/ostrekon relative to the program's
// directory (installed), or else beside the program (the build tree). Empty
// when the program's directory is unknown. Tests point it elsewhere.
QString IcmpHelperPath();
void SetIcmpHelperPath(const QString& path);

// How long the window waits for the helper's reply.
inline constexpr int IcmpHelperWaitMs = 5000;

// Starts the helper (no arguments, an empty environment, one end of a socket
// pair as its descriptor 3 and nothing else), sends it the request and waits
// at most timeoutMs for its reply. Returns the socket it sent (close-on-exec),
// or -1 with errno: the helper's own (EPERM when it lacks its capability),
// the reason it could not be started (ENOENT, EACCES...), ETIMEDOUT when it
// did not answer in time, EPROTO when its answer was no raw ICMP socket.
// The helper has been reaped when this returns.
int AskIcmpHelper(const QString& helper, const THelperRequest& request,
                  int timeoutMs = IcmpHelperWaitMs);
