#pragma once

// What a stored number outside its range becomes: the nearer end of the
// range, or the default where an end would be a choice nobody made.
enum class TOutOfRange { Nearest, Default };

// The number fields of the tool pages and the other stored numbers, each in
// one place: the range of its spin control, the value the window is designed
// with (shown until settings are read), and the value a settings store
// without the key gives. The window, the settings and the worker parameters
// all take them from here.
struct TToolValue {
  int Min;
  int Max;
  int Design;
  int Default;
  TOutOfRange Outside = TOutOfRange::Nearest;

  // A number read from a store, brought into the range.
  constexpr int Bounded(int value) const {
    if (value >= Min && value <= Max) return value;
    if (Outside == TOutOfRange::Default) return Default;
    return value < Min ? Min : Max;
  }
};

inline constexpr TToolValue PingTimeoutValue{1, 60, 15, 5};         // seconds per request
inline constexpr TToolValue PingCountValue{1, 999, 10, 4};          // requests
inline constexpr TToolValue PingDelayValue{100, 10000, 1000, 500};  // ms between requests
inline constexpr TToolValue PingSizeValue{16, 4096, 64, 64};        // data bytes
inline constexpr TToolValue PingTtlValue{1, 255, 255, 255};
inline constexpr TToolValue TraceTimeoutValue{1, 60, 5, 5};  // seconds per hop
inline constexpr TToolValue TraceFirstHopValue{1, 64, 1, 1};
inline constexpr TToolValue TraceLastHopValue{1, 64, 64, 64};
inline constexpr TToolValue TraceCyclesValue{1, 9999, 10, 10};  // cycles of a repeated run
inline constexpr TToolValue LookupTimeoutValue{5, 60, 5, 5};  // seconds, every lookup
inline constexpr TToolValue ScanFirstValue{0, 255, 0, 0};
inline constexpr TToolValue ScanLastValue{0, 255, 255, 255};
inline constexpr TToolValue FontSizeValue{1, 99, 9, 9};  // points, the font dialog's sizes
// 0 no log, 1 one file, 2 one file a day: an unknown mode writes no log.
inline constexpr TToolValue LogModeValue{0, 2, 0, 0, TOutOfRange::Default};

// The window's minimum size, frame included.
inline constexpr int MinWindowWidth = 400;
inline constexpr int MinWindowHeight = 300;
