#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <utility>

// Cuts a received byte stream into lines the way the TCP tools show them.
// CR or LF ends a line; one more CR or LF right after it belongs to the same
// line end (CR LF, LF CR, CR CR, LF LF), also when the pair is split across
// two received blocks. Zero bytes are dropped. A line longer than MaxLine
// bytes is passed on in pieces of at most MaxLine bytes, cut at character
// boundaries. At the end of the stream a last line without a line end is
// passed on as well.
class TLineSplitter {
 public:
  static constexpr qsizetype MaxLine = 512;
  using TEmit = std::function<void(const QByteArray&)>;

  explicit TLineSplitter(TEmit sink) : FEmit(std::move(sink)) {}

  void Feed(QByteArrayView block);
  void Finish();

 private:
  void EndLine();
  void AddByte(char c);

  TEmit FEmit;
  QByteArray FLine;
  bool FPairPending = false;
};
