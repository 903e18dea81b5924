#pragma once
#include <QFlags>
#include <QString>
#include <array>

enum TWordWrapMode { wbfWordWrap = 0x1, wbfWordBreak = 0x2, wbfOverFlow = 0x4 };
Q_DECLARE_FLAGS(TWordWrapModes, TWordWrapMode)
Q_DECLARE_OPERATORS_FOR_FLAGS(TWordWrapModes)

enum TPunctuationMode { wbfLevel1, wbfLevel2, wbfCustom };

// The punctuation sets, numbered as the line breaker numbers them.
enum TPunctuationSet { pcFollowing = 1, pcLeading = 2, pcOverFlow = 3, pcDelimiter = 4 };

// Japanese line-breaking options of the output pane. The pane never wraps,
// so nothing shows them; the object keeps the line breaker's flags word and
// the sets it was handed, and follows the line breaker's rules for them.
class TWordWrapOption {
 public:
  // The flags word: 0x10 word wrap, 0x20 word break, 0x40 overflow;
  // punctuation level 0x80 level 1, 0x100 level 2, 0x200 custom.
  static constexpr unsigned DefaultFlags = 0x10 | 0x20 | 0x40 | 0x100;

  TWordWrapModes WordWrapMode() const;
  // Keeps the punctuation level; every other bit of the word is replaced.
  void SetWordWrapMode(TWordWrapModes modes);
  TPunctuationMode PunctuationMode() const;
  // Keeps the mode bits; wbfCustom hands the four stored sets over.
  void SetPunctuationMode(TPunctuationMode mode);

  // With custom punctuation the stored set, otherwise the set the line
  // breaker holds (empty until a custom mode handed one over).
  QString Punctuation(TPunctuationSet set) const;
  // Only stores the set; it takes effect when wbfCustom is next set.
  void SetPunctuation(TPunctuationSet set, const QString& chars);

  unsigned Flags() const { return FFlags; }
  void SetFlags(unsigned flags) { FFlags = flags; }

 private:
  unsigned FFlags = DefaultFlags;
  std::array<QString, 4> FStored;
  std::array<QString, 4> FHandedOver;
};
