#include "platform/EchoMethod.h"

#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "platform/IcmpLink.h"
#include "platform/IcmpService.h"
#include "platform/RawIcmp.h"
#include "platform/RawIcmpHelper.h"

namespace {

// "Operation not permitted (EPERM)"; thread-safe, unlike strerror.
QString ErrorText(int error) {
  const char* description = strerrordesc_np(error);
  const char* name = strerrorname_np(error);
  if (!description || !name) return QStringLiteral("エラー %1").arg(error);
  return QString::fromLocal8Bit(description) + QStringLiteral(" (") + QString::fromLatin1(name) +
         u')';
}

// The capability belongs to the helper alone, never to this program: the
// fix names the helper's real path.
QString HelperFix() {
  const QString helper = IcmpHelperPath();
  if (!helper.isEmpty() && ::access(QFile::encodeName(helper).constData(), X_OK) == 0)
    return QStringLiteral(
               "RAWソケット用のヘルパーに CAP_NET_RAW を与えてください（例: sudo setcap "
               "cap_net_raw+ep %1）。")
        .arg(helper);
  return QStringLiteral(
             "RAWソケット用のヘルパー %1 が見つからないか、実行できません。Ostrekon "
             "を入れ直してください。")
      .arg(helper.isEmpty() ? QString::fromLatin1(IcmpHelperName) : helper);
}

}  // namespace

QString RawIcmpFailure(int error) {
  QString text =
      QStringLiteral("RAWソケットを開けません: ") + ErrorText(error) + QStringLiteral("。");
  if (IsPermissionError(error)) text += HelperFix();
  return text;
}

QString IcmpServiceFailure(int error) {
  QString text =
      QStringLiteral("ICMPソケットを開けません: ") + ErrorText(error) + QStringLiteral("。");
  if (IsPermissionError(error))
    text += QStringLiteral(
        "sysctl の net.ipv4.ping_group_range にこのユーザーのグループを含めてください（例: sudo "
        "sysctl net.ipv4.ping_group_range=\"0 2147483647\"）。");
  else if (error == EAFNOSUPPORT || error == EPROTONOSUPPORT)
    text += QStringLiteral("このカーネルは ICMP データグラムソケットに対応していません。");
  return text;
}

QString ProbeIcmp6Sockets() {
  QString text = QStringLiteral("ICMPv6: ");
  if (OpenRawLink(TAddressFamily::IPv6)) {
    text += QStringLiteral("RAWソケットが使えます。");
  } else {
    text += RawIcmpFailure(errno);
  }
  text += QStringLiteral("\nICMPv6: ");
  const TIcmpHandle handle = Icmp6CreateFile();
  if (handle == InvalidHandleValue) return text + IcmpServiceFailure(errno);
  IcmpCloseHandle(handle);
  return text + QStringLiteral("データグラムソケットが使えます。");
}

TEchoMethod ProbeEchoMethod() {
  if (OpenRawLink(TAddressFamily::IPv4)) return {};
  TEchoMethod method{true, RawIcmpFailure(errno)};
  const TIcmpHandle handle = IcmpCreateFile();
  method.ServiceUsable = handle != InvalidHandleValue;
  if (!method.ServiceUsable)
    method.Reason += u'\n' + IcmpServiceFailure(errno);
  else
    IcmpCloseHandle(handle);
  return method;
}
