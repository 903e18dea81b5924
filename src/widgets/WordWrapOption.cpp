#include "widgets/WordWrapOption.h"

namespace {

constexpr unsigned WordWrapBit = 0x10;
constexpr unsigned WordBreakBit = 0x20;
constexpr unsigned OverFlowBit = 0x40;
constexpr unsigned ModeBits = WordWrapBit | WordBreakBit | OverFlowBit;
constexpr unsigned Level1Bit = 0x80;
constexpr unsigned Level2Bit = 0x100;
constexpr unsigned CustomBit = 0x200;

struct TModeBit {
  TWordWrapMode Mode;
  unsigned Bit;
};
constexpr TModeBit ModeTable[] = {
    {wbfWordWrap, WordWrapBit}, {wbfWordBreak, WordBreakBit}, {wbfOverFlow, OverFlowBit}};

// Custom wins over level 1; with neither, the level is 2.
unsigned LevelBitOf(unsigned flags) {
  if (flags & CustomBit) return CustomBit;
  if (flags & Level1Bit) return Level1Bit;
  return Level2Bit;
}

unsigned LevelBitFor(TPunctuationMode mode) {
  switch (mode) {
    case wbfLevel1:
      return Level1Bit;
    case wbfCustom:
      return CustomBit;
    case wbfLevel2:
      break;
  }
  return Level2Bit;
}

}  // namespace

TWordWrapModes TWordWrapOption::WordWrapMode() const {
  TWordWrapModes modes;
  for (const TModeBit& entry : ModeTable)
    if (FFlags & entry.Bit) modes |= entry.Mode;
  return modes;
}

void TWordWrapOption::SetWordWrapMode(TWordWrapModes modes) {
  unsigned flags = LevelBitOf(FFlags);
  for (const TModeBit& entry : ModeTable)
    if (modes & entry.Mode) flags |= entry.Bit;
  FFlags = flags;
}

TPunctuationMode TWordWrapOption::PunctuationMode() const {
  switch (LevelBitOf(FFlags)) {
    case CustomBit:
      return wbfCustom;
    case Level1Bit:
      return wbfLevel1;
  }
  return wbfLevel2;
}

void TWordWrapOption::SetPunctuationMode(TPunctuationMode mode) {
  FFlags = (FFlags & ModeBits) | LevelBitFor(mode);
  if (mode == wbfCustom) FHandedOver = FStored;
}

QString TWordWrapOption::Punctuation(TPunctuationSet set) const {
  const std::size_t index = std::size_t(set) - 1;
  if (index >= FStored.size()) return {};
  return (FFlags & CustomBit) ? FStored[index] : FHandedOver[index];
}

void TWordWrapOption::SetPunctuation(TPunctuationSet set, const QString& chars) {
  const std::size_t index = std::size_t(set) - 1;
  if (index < FStored.size()) FStored[index] = chars;
}
