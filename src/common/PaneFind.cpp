// Find over the pane's text without decoding all of it: the bytes are
// searched for a key, a piece of the text that every match holds in exactly
// these bytes, and only the lines where the key turns up are decoded and
// searched as text. CP932 spells a few characters twice (the NEC and IBM
// rows), and a case-blind search lets 'A' stand for 'a'; a character that
// can be spelt in more than one way is left out of the key.
#include <QChar>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "common/Cp932.h"
#include "common/PaneText.h"

namespace {

constexpr qsizetype LinesAtOnce = 4096;

// How many CP932 codes decode to each UTF-16 unit, and to each case fold.
struct TSpellings {
  std::vector<quint8> Exact = std::vector<quint8>(0x10000);
  std::vector<quint8> Folded = std::vector<quint8>(0x10000);
};

bool IsLeadByte(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

const TSpellings& Spellings() {
  static const TSpellings spellings = [] {
    TSpellings s;
    const auto count = [&s](QByteArrayView code) {
      const QString decoded = SjisLineToUnicode(code);
      if (decoded.size() != 1 || HoldsRawBytes(decoded)) return;
      ++s.Exact[decoded[0].unicode()];
      ++s.Folded[decoded[0].toCaseFolded().unicode()];
    };
    for (int b = 0; b < 0x100; ++b) {
      const char one[] = {char(b)};
      if (!IsLeadByte(b)) count(QByteArrayView(one, 1));
      for (int t = 0x40; IsLeadByte(b) && t <= 0xFC; ++t) {
        const char two[] = {char(b), char(t)};
        count(QByteArrayView(two, 2));
      }
    }
    return s;
  }();
  return spellings;
}

bool IsAsciiLetter(QChar c) { return c.unicode() < 0x80 && c.isLetter(); }

// 1: the character has one spelling (or, case-blind, is an ASCII letter that
// the byte search folds); 0: it cannot occur in the text; -1: several.
int KeyUse(QChar c, bool matchCase) {
  if (HoldsRawBytes(QStringView(&c, 1))) return -1;
  const TSpellings& s = Spellings();
  const int n = matchCase ? s.Exact[c.unicode()] : s.Folded[c.toCaseFolded().unicode()];
  if (n == 0) return 0;
  if (!matchCase && IsAsciiLetter(c)) return n == 2 ? 1 : -1;
  return n == 1 && SjisLineToUnicode(UnicodeToSjis(QStringView(&c, 1))) == c ? 1 : -1;
}

// A search over bytes, ASCII letters folded when asked. Sixteen positions
// are tried at a time on the key's first and last byte; only where both fit
// is the whole key compared.
class TByteFinder {
 public:
  TByteFinder(QByteArrayView key, bool foldAscii) {
    for (int b = 0; b < 0x100; ++b)
      FFold[b] = uchar(foldAscii && b >= 'A' && b <= 'Z' ? b + 32 : b);
    for (char b : key) FKey.push_back(FFold[uchar(b)]);
    const auto letter = [foldAscii](uchar b) { return foldAscii && b >= 'a' && b <= 'z'; };
    for (int i = 0; i < 16; ++i) {
      FFirst[i] = FKey.front();
      FLast[i] = FKey.back();
      FFirstFold[i] = letter(FKey.front()) ? 0x20 : 0;
      FLastFold[i] = letter(FKey.back()) ? 0x20 : 0;
    }
  }
  qsizetype IndexIn(QByteArrayView hay, qsizetype from) const {
    const qsizetype last = qsizetype(FKey.size()) - 1;
    const auto* h = reinterpret_cast<const uchar*>(hay.data());
    qsizetype pos = from;
    for (; pos + last + 16 <= hay.size(); pos += 16) {
      TBytes a, b;
      std::memcpy(&a, h + pos, 16);
      std::memcpy(&b, h + pos + last, 16);
      const auto fits = ((a | FFirstFold) == FFirst) & ((b | FLastFold) == FLast);
      quint64 halves[2];
      std::memcpy(halves, &fits, 16);
      if ((halves[0] | halves[1]) == 0) continue;
      for (int i = 0; i < 16; ++i)
        if (fits[i] && Matches(h + pos + i)) return pos + i;
    }
    for (; pos + last < hay.size(); ++pos)
      if (Matches(h + pos)) return pos;
    return -1;
  }

 private:
  typedef uchar TBytes __attribute__((vector_size(16)));
  bool Matches(const uchar* at) const {
    for (size_t i = 0; i < FKey.size(); ++i)
      if (FFold[at[i]] != FKey[i]) return false;
    return true;
  }
  std::array<uchar, 0x100> FFold;
  std::vector<uchar> FKey;
  TBytes FFirst, FLast, FFirstFold, FLastFold;
};

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

}  // namespace

struct TPaneText::TNeedle {
  QString Text;
  Qt::CaseSensitivity Cs;
  bool WholeWord;
  bool Impossible = false;
  // The longest piece of one line of the text whose every character has
  // one spelling, and the line ends of the text before and after it.
  QByteArray Key;
  qsizetype LinesBefore = 0;
  qsizetype LinesAfter = 0;

  TNeedle(const QString& text, bool matchCase, bool wholeWord)
      : Text(text), Cs(matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive), WholeWord(wholeWord) {
    const qsizetype breaks = text.count(u'\n');
    qsizetype line = 0, runStart = 0, best = 0, bestStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
      const int use = i < text.size() && text[i] != u'\n' ? KeyUse(text[i], matchCase) : -1;
      if (use == 0) Impossible = true;
      if (use == 1) continue;
      if (i - runStart > best) {
        best = i - runStart;
        bestStart = runStart;
        LinesBefore = line;
      }
      if (i < text.size() && text[i] == u'\n') ++line;
      runStart = i + 1;
    }
    if (best == 0) LinesBefore = 0;  // no key: every line is a candidate
    LinesAfter = breaks - LinesBefore;
    Key = UnicodeToSjis(QStringView(text).sliced(bestStart, best));
  }
};

QList<qsizetype> TPaneText::KeyLines(const TNeedle& needle, qsizetype first, qsizetype end) const {
  QList<qsizetype> lines;
  if (needle.Key.isEmpty()) {
    for (qsizetype line = first; line < end; ++line) lines << line;
    return lines;
  }
  const TByteFinder finder(needle.Key, needle.Cs == Qt::CaseInsensitive);
  end = std::min(end, LineCount());
  for (qsizetype run = first; run < end;) {
    qsizetype count = 0;
    QByteArrayView bytes = FLines.Run(run, &count);
    count = std::min(count, end - run);
    const QByteArrayView last = FLines.Line(run + count - 1);
    bytes.truncate(last.data() + last.size() - bytes.data());
    for (qsizetype at = finder.IndexIn(bytes, 0); at >= 0;) {
      const qsizetype line = FLines.LineOfRunByte(run, count, at);
      lines << line;
      if (line + 1 >= run + count) break;
      // The rest of a line that is a candidate already needs no search.
      at = finder.IndexIn(bytes, FLines.Line(line + 1).data() - bytes.data());
    }
    run += count;
  }
  return lines;
}

QList<qint64> TPaneText::MatchesAround(const TNeedle& needle, qsizetype keyLine) const {
  const qsizetype first = keyLine - needle.LinesBefore;
  const qsizetype last = keyLine + needle.LinesAfter;
  if (first < 0 || last > LineCount()) return {};
  QString around;
  for (qsizetype line = first; line <= last; ++line) {
    if (line > first) around += u'\n';
    around += Line(line);
  }
  // The lines around begin and end at line ends, which are no word
  // characters: the neighbours of a match within them are all there is.
  const qsizetype length = needle.Text.size();
  const auto whole = [&](qsizetype at) {
    return (at == 0 || !IsWordChar(around[at - 1])) &&
           (at + length >= around.size() || !IsWordChar(around[at + length]));
  };
  QList<qint64> matches;
  for (qsizetype at = around.indexOf(needle.Text, 0, needle.Cs); at >= 0;
       at = around.indexOf(needle.Text, at + 1, needle.Cs))
    if (!needle.WholeWord || whole(at)) matches << LineStart(first) + at;
  return matches;
}

qint64 TPaneText::Find(const QString& text, qint64 from, qint64 to, bool matchCase,
                       bool wholeWord) const {
  const TNeedle needle(text, matchCase, wholeWord);
  if (text.isEmpty() || needle.Impossible) return -1;
  from = std::max<qint64>(from, 0);
  const qsizetype end = std::min(LineCount(), LineOf(to) + needle.LinesBefore) + 1;
  for (qsizetype first = LineOf(from); first < end; first += LinesAtOnce) {
    for (qsizetype line : KeyLines(needle, first, std::min(end, first + LinesAtOnce))) {
      for (qint64 at : MatchesAround(needle, line))
        if (at >= from && at + text.size() <= to) return at;
    }
  }
  return -1;
}

qint64 TPaneText::FindBackward(const QString& text, qint64 last, bool matchCase,
                               bool wholeWord) const {
  const TNeedle needle(text, matchCase, wholeWord);
  if (text.isEmpty() || needle.Impossible || last < 0) return -1;
  const qsizetype end = std::min(LineCount(), LineOf(last) + needle.LinesBefore) + 1;
  for (qsizetype stop = end; stop > 0; stop -= LinesAtOnce) {
    const QList<qsizetype> lines =
        KeyLines(needle, std::max<qsizetype>(stop - LinesAtOnce, 0), stop);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
      const QList<qint64> matches = MatchesAround(needle, *line);
      for (auto at = matches.rbegin(); at != matches.rend(); ++at)
        if (*at <= last) return *at;
    }
  }
  return -1;
}
