#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <limits>
#include <optional>

// A profile (INI) file as Windows keeps it: Shift_JIS text, "[Section]"
// headers, "Key=Value" lines. Section and key names match without regard to
// letter case. Lines we do not touch are written back byte for byte, so
// other sections, unknown keys, comments and their order survive a save.

// Longest value a read gives, in bytes; a longer one is cut at the last
// whole character within it.
constexpr int MaxIniValueBytes = 1023;

// Integer text of the profile files: leading blanks, an optional sign, then
// "$" + hex digits, "0x"/"0X" + hex digits, or decimal digits, and nothing
// after them. Anything else, or a number beyond int, gives no value.
std::optional<int> ParseProfileInteger(QStringView text);

class TIniFile {
 public:
  explicit TIniFile(QString fileName);

  const QString& FileName() const { return FFileName; }

  // Reads the whole lines within the first maxBytes of the file. A missing
  // file is an empty profile; false when the file is there but cannot be
  // read or is no regular file (a FIFO, a device), and the profile is then
  // empty.
  bool Load(qint64 maxBytes = std::numeric_limits<qint64>::max());
  // Writes the whole profile with CR LF line ends. The new text goes to a
  // temporary file beside the old one and replaces it only when complete,
  // so a failed write leaves the old file as it was.
  bool Save();
  // True when a write, delete or erase changed the profile since Load.
  bool Modified() const { return FModified; }
  // The file text as Save writes it.
  QByteArray Text() const;

  bool SectionExists(QStringView section) const;
  // The raw Shift_JIS value: blanks around it and one pair of enclosing
  // quotes dropped, cut to MaxIniValueBytes. No value when the key is missing.
  std::optional<QByteArray> ReadValue(QStringView section, QStringView key) const;
  QString ReadString(QStringView section, QStringView key, const QString& defaultValue) const;
  int ReadInteger(QStringView section, QStringView key, int defaultValue) const;

  // Replaces the key's value in place, or adds the key at the end of its
  // section, or adds the section at the end of the file.
  void WriteString(QStringView section, QStringView key, const QString& value);
  void DeleteKey(QStringView section, QStringView key);
  // Removes the section with all its lines (every section of that name).
  void EraseSection(QStringView section);

 private:
  struct TRange {
    qsizetype FBegin = -1;  // the header line
    qsizetype FEnd = -1;    // one past the section's last line
  };
  TRange FindSection(QStringView section) const;
  qsizetype FindKey(const TRange& range, QStringView key) const;

  QString FFileName;
  QList<QByteArray> FLines;
  bool FModified = false;
};

// The address of an Internet shortcut (".url" file): "URL" in section
// "InternetShortcut"; empty when the file, the section or the key is missing,
// or the file is no regular file. Only the file's first MaxShortcutBytes are
// read: a shortcut is a few short lines, and its URL is read up to
// MaxIniValueBytes like any value, whatever comes before it.
constexpr qint64 MaxShortcutBytes = 64 * 1024;
QString ReadInternetShortcutUrl(const QString& fileName);
