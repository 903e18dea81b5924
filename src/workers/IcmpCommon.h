#pragma once
// What the four Ping and TraceRoute workers share that needs no thread: their
// parameters, their line formats, their texts, and the decisions on what a
// received datagram or an echo service reply means. Pure functions.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "common/HopStats.h"
#include "common/NetAddress.h"
#include "common/PingStats.h"
#include "common/ToolValues.h"
#include "platform/Resolver.h"
#include "workers/IcmpPacket.h"

// The Ping page's settings, as the window hands them to an echo worker.
struct TPingParams {
  int TimeoutSec = PingTimeoutValue.Default;  // per request
  int Count = PingCountValue.Default;         // requests
  int DelayMs = PingDelayValue.Default;       // pause between requests
  int DataSize = PingSizeValue.Default;       // bytes of data per request
  int Ttl = PingTtlValue.Default;             // time-to-live of the requests
  bool DontFragment = false;
};

// The TraceRoute page's settings.
struct TTraceParams {
  int TimeoutSec = TraceTimeoutValue.Default;  // per hop
  int FirstHop = TraceFirstHopValue.Default;   // time-to-live of the first request
  int LastHop = TraceLastHopValue.Default;     // below FirstHop nothing is sent
  bool ResolveNames = false;
  int Cycles = 0;  // a repeated run's cycles; 0: one request per hop
};

// Fixed sizes of the trace-route requests.
inline constexpr int RawTraceDataSize = 32;
inline constexpr int ServiceTraceDataSize = 64;
inline constexpr int ServiceTraceReplySize = 108;
// The echo service's reply buffer for a Ping request of dataSize bytes.
constexpr int ServicePingReplySize(int dataSize) { return dataSize + 44; }

// --- Texts -------------------------------------------------------------------

inline constexpr char16_t TextNoReply[] = u"応答がありません";
inline constexpr char16_t TextInvalidReply[] = u"無効な応答です";
inline constexpr char16_t TextUnreachable[] = u"あて先到達不可";
inline constexpr char16_t TextTimeExceeded[] = u"時間超過(TTL expired)";
inline constexpr char16_t TextSendError[] = u"送信エラー";
inline constexpr char16_t TextNoHandle[] = u"ＩＣＭＰハンドルが取得できません。";
inline constexpr char16_t TextNoHopName[] = u"検出できません";
// The column header of the Ping and TraceRoute reports.
inline constexpr char16_t TextColumnHeader[] = u"  #  アドレス            応答時間  ホスト名";
// ICMPv6 packet too big, with the path's MTU when known:
// "パケットが大きすぎます(MTU 1280)".
QString PacketTooBigText(quint32 mtu);

// Width of the address column: 15 for IPv4, as documented. An IPv6 Ping
// shows only the target's address, so its text sets the width; a TraceRoute
// cannot know its hops beforehand and takes the longest IPv6 text, 39.
inline constexpr int IPv4AddressWidth = 15;
inline constexpr int MaxIPv6AddressWidth = 39;
int PingAddressWidth(const TNetAddress& target);
int TraceAddressWidth(const TNetAddress& target);
// TextColumnHeader with the address heading padded to that width.
QString ColumnHeader(int addressWidth);

QString WaitingStatus();           // 応答を待っています...
QString PauseStatus(int delayMs);  // 1000ミリ秒待っています...
QString HopStatus(int hop);        // ホップ3検出中...
QString ResolvingStatus();         // ホスト名解決中...

// --- Line formats ------------------------------------------------------------

// "%3s%2s%-15s%2s%8s%-6s": number, the address, the time in ms. 36 columns.
QByteArray FormatHopLine(int number, quint32 addr, int ms);
// The hop line followed by the host text from column 37 (a Ping reply).
QByteArray FormatReplyLine(int number, quint32 addr, int ms, const QByteArray& hostText);
// "%3s%33s%-s": number, and the message from column 37, under the host text.
QByteArray FormatMessageLine(int number, const QByteArray& message);
// The same for either family with an address column of addressWidth; the
// columns after it move by as much as it differs from 15.
QByteArray FormatHopLine(int number, const TNetAddress& addr, int ms, int addressWidth);
QByteArray FormatReplyLine(int number, const TNetAddress& addr, int ms, const QByteArray& hostText,
                           int addressWidth);
QByteArray FormatMessageLine(int number, const QByteArray& message, int addressWidth);

// --- Raw sockets: which datagram ends the wait for one request ---------------

enum class TEchoVerdict : quint8 {
  KeepWaiting,   // not about this request: receive again
  Stopped,       // the run was stopped: no line
  NoAnswer,      // time-out or a failed receive
  LaterRequest,  // our echo reply to a later request: the wait ends, no line
  EchoReply,     // the echo reply to this request
  Unreachable,   // destination unreachable, about this request
  TimeExceeded,  // time exceeded, about this request
  Invalid,       // a broken datagram, or an unexpected message of ours
  PacketTooBig,  // ICMPv6 packet too big, about this request
};

// Ping: error messages end the wait only when they quote this request, or
// quote too little to tell; echo replies by identifier and sequence.
TEchoVerdict JudgePingDatagram(const TIcmpDatagram& datagram, quint16 identifier, quint16 sequence);
// TraceRoute: the same, except that destination unreachable never ends a hop.
TEchoVerdict JudgeTraceDatagram(const TIcmpDatagram& datagram, quint16 identifier,
                                quint16 sequence);

// Many requests in flight: which of ours (by identifier) the datagram
// answers, through *sequence, and how (EchoReply, TimeExceeded, Unreachable,
// PacketTooBig); KeepWaiting for anything else.
TEchoVerdict JudgeAnyDatagram(const TIcmpDatagram& datagram, quint16 identifier,
                              quint16* sequence);
// The same for an echo service status.
TEchoVerdict ServiceStatusVerdict(quint32 status);
// How a destination-unreachable code reads in a table (!H, !N, !X), for
// ICMP or ICMPv6.
THopMark UnreachableMark(bool ipv6, quint8 code);

// The message line a verdict gives; null for those without one (a reply, a
// hop, a stop, a later request).
const char16_t* VerdictMessage(TEchoVerdict verdict);

// Whether an answer measured elapsedMs after its request came too late.
bool AnswerTooLate(int elapsedMs, int timeoutMs);

// Whether a hop's verdict ends the trace: an echo reply of ours arrived.
bool VerdictEndsTrace(TEchoVerdict verdict);

// --- Echo service: what a call's result means ---------------------------------

enum class TServiceVerdict : quint8 { NoAnswer, Invalid, Answer };

// Ping: only success is an answer.
TServiceVerdict JudgeServicePing(quint32 replies, quint32 status);
// TraceRoute: success, or time-to-live expired in transit.
TServiceVerdict JudgeServiceHop(quint32 replies, quint32 status);
// The message line a verdict gives; null for an answer.
const char16_t* ServiceMessage(TServiceVerdict verdict);
// An answered hop ends the trace when the target itself answered.
bool ServiceHopEndsTrace(quint32 status, quint32 answerAddr, quint32 targetAddr);
bool ServiceHopEndsTrace(quint32 status, const TNetAddress& answerAddr,
                         const TNetAddress& targetAddr);
// An IPv6 Ping through the echo service words its outcomes as the raw
// socket does, since the status says as much: the verdict of a call.
TEchoVerdict ServicePing6Verdict(quint32 replies, quint32 status);

// --- The statistics' word for a result ---------------------------------------

// A raw answer's verdict as a sample kind; none for a stop. An answer of ours
// to a later request means this one's never came.
std::optional<TSampleKind> VerdictSampleKind(TEchoVerdict verdict);
// An echo service call's result as a sample kind.
TSampleKind ServiceSampleKind(quint32 replies, quint32 status);
