#pragma once
// Takes away, for a while, what Ping and TraceRoute need to reach ICMP: the
// raw-socket capability, or the namespace's ICMP datagram sockets. Only in a
// test namespace (the ping group range belongs to the namespace).
#include <linux/capability.h>
#include <linux/securebits.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>

#include "platform/RawIcmpHelper.h"

// For its lifetime this thread, and every thread it starts, lacks the
// capability that raw sockets need; so does the helper it falls back on, the
// one built here, which has no file capability: SECBIT_NOROOT keeps root
// from getting every capability back when it starts the helper.
class TNoRawSockets {
 public:
  TNoRawSockets() {
    syscall(SYS_capget, &FHeader, FSaved);
    __user_cap_data_struct reduced[2] = {FSaved[0], FSaved[1]};
    reduced[CAP_TO_INDEX(CAP_NET_RAW)].effective &= ~CAP_TO_MASK(CAP_NET_RAW);
    prctl(PR_SET_SECUREBITS, FSavedBits | SECBIT_NOROOT);
    syscall(SYS_capset, &FHeader, reduced);
    SetIcmpHelperPath(QStringLiteral(OSTREKON_ICMP_HELPER));
  }
  ~TNoRawSockets() {
    SetIcmpHelperPath({});
    prctl(PR_SET_SECUREBITS, FSavedBits);
    syscall(SYS_capset, &FHeader, FSaved);
  }

 private:
  __user_cap_header_struct FHeader{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct FSaved[2] = {};
  const int FSavedBits = prctl(PR_GET_SECUREBITS);
};

// For its lifetime no group of this namespace may open ICMP datagram sockets.
class TNoPingGroups {
 public:
  TNoPingGroups() : FSaved(Read()) { Write("1\t0"); }
  ~TNoPingGroups() { Write(FSaved); }

 private:
  static QByteArray Read() {
    QFile f(Path());
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
  }
  static void Write(const QByteArray& range) {
    QFile f(Path());
    if (!f.open(QIODevice::WriteOnly) || f.write(range) != range.size())
      qWarning("cannot write %s", qPrintable(Path()));
  }
  static QString Path() { return QStringLiteral("/proc/sys/net/ipv4/ping_group_range"); }
  const QByteArray FSaved;
};
