#pragma once
#include <QByteArray>
#include <QtGlobal>

// The socket layer's start-up record, filled once when the program starts and
// shown by the information box. Version words keep the major number in the
// low byte and the minor number in the high byte.

constexpr int WsaDescriptionLen = 256;
constexpr int WsaSysStatusLen = 128;

// Failures of WSAStartup, with the numbers the socket layer uses for them.
constexpr int WsaEFault = 10014;
constexpr int WsaVerNotSupported = 10092;

struct TWsaData {
  quint16 Version = 0;
  quint16 HighVersion = 0;
  char Description[WsaDescriptionLen + 1] = {};
  char SystemStatus[WsaSysStatusLen + 1] = {};
  quint16 MaxSockets = 0;
  quint16 MaxUdpDg = 0;
};

constexpr quint16 MakeVersion(int major, int minor) {
  return quint16((major & 0xFF) | ((minor & 0xFF) << 8));
}
constexpr int VersionMajor(quint16 version) { return version & 0xFF; }
constexpr int VersionMinor(quint16 version) { return version >> 8; }

// Fills data for the requested version (1.1 here); 0 on success, otherwise
// one of the failure numbers above and data is left alone.
int WSAStartup(quint16 requested, TWsaData* data);

// The counterpart of WSAStartup; nothing is held, so it always succeeds.
int WSACleanup();

// A text field of the record: up to its first zero byte, or the whole field
// when it has none.
QByteArray WsaRecordText(const char* field, qsizetype size);

template <qsizetype N>
QByteArray WsaRecordText(const char (&field)[N]) {
  return WsaRecordText(field, N);
}
