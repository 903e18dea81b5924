#pragma once
#include <QString>
#include <memory>
#include <sys/types.h>

#include "common/NetAddress.h"
#include "helper/HelperProtocol.h"
#include "platform/IcmpLink.h"

// Raw ICMP for an ordinary user goes through ostrekon-icmp-helper, the one
// file that may carry cap_net_raw: this process never holds a privilege,
// and never a raw socket either. The helper sends the run's echo requests
// as they are described to it and hands back what answers them.

// Where the helper is: in <libexecdir>/ostrekon relative to the program's
// directory (installed), or else beside the program (the build tree). Empty
// when the program's directory is unknown. Tests point it elsewhere.
QString IcmpHelperPath();
void SetIcmpHelperPath(const QString& path);

// How long the window waits for the helper to open its socket, or to say
// that a request went out.
inline constexpr int IcmpHelperWaitMs = 5000;

// Starts the helper (no arguments, an empty environment, one end of a
// socket pair as its descriptor 3 and nothing else open). Returns this
// process's end of the pair (close-on-exec) with the helper's pid in *pid,
// or -1 with errno: why it could not be started (ENOENT, EACCES...).
int StartIcmpHelper(const QString& helper, pid_t* pid);

// Ends a started helper: closes pairEnd, which the helper takes as the end
// of its run, and reaps it, killed when it has not gone by waitMs.
void EndIcmpHelper(int pairEnd, pid_t pid, int waitMs = 2000);

// A run's raw link through the helper at path, opened for family. Null with
// errno: the helper's own (EPERM when it lacks its capability), why it
// could not be started, ETIMEDOUT when it did not answer in time, EPROTO
// when its answer was not one.
std::unique_ptr<TRawLink> OpenHelperLink(const QString& helper, TAddressFamily family,
                                         int timeoutMs = IcmpHelperWaitMs);

// What the status bar says when the helper refused a request.
QString HelperRefusalText(THelperRefusal refusal);
