#pragma once
#include <QString>
#include <memory>

#include "common/ProgramDir.h"
#include "settings/IniFile.h"

class QSettings;

// The two places the settings live, with one logical layout: sections of
// keys holding texts. Numbers and check marks are stored as decimal text in
// both, so either store reads what the other wrote.

enum class TReadResult {
  Found,    // the value is there
  Missing,  // no such key: the caller uses its default
  Failed,   // the value is there but cannot be read as a text
};

class TSettingsStore {
 public:
  virtual ~TSettingsStore() = default;

  // Whether the store has been created at all.
  virtual bool Exists() const = 0;
  // Opens the store for one load or save. False when it exists but cannot
  // be read; reads then find nothing.
  virtual bool Open() = 0;
  virtual TReadResult ReadString(const QString& section, const QString& key, QString& value) = 0;
  virtual void WriteString(const QString& section, const QString& key, const QString& value) = 0;
  virtual void DeleteKey(const QString& section, const QString& key) = 0;
  virtual bool SectionExists(const QString& section) = 0;
  virtual void EraseSection(const QString& section) = 0;
  // Writes what changed since Open and closes; false when that failed.
  virtual bool Close() = 0;

  // An integer under the profile rules (ParseProfileInteger); a text that is
  // no such number counts as missing.
  TReadResult ReadInteger(const QString& section, const QString& key, int& value);
};

// The settings file beside the program.
class TIniStore : public TSettingsStore {
 public:
  explicit TIniStore(const QString& fileName);

  bool Exists() const override;
  bool Open() override;
  TReadResult ReadString(const QString& section, const QString& key, QString& value) override;
  void WriteString(const QString& section, const QString& key, const QString& value) override;
  void DeleteKey(const QString& section, const QString& key) override;
  bool SectionExists(const QString& section) override;
  void EraseSection(const QString& section) override;
  bool Close() override;

 private:
  TIniFile FFile;
  bool FOpened = false;
};

// The per-user store, the program's "registry key": a QSettings file of the
// native format (on Linux ~/.config/qmzt/Ostrekon.conf). Sections are groups;
// the key exists when the file does.
class TUserStore : public TSettingsStore {
 public:
  explicit TUserStore(const QString& fileName);
  ~TUserStore() override;

  bool Exists() const override;
  bool Open() override;
  TReadResult ReadString(const QString& section, const QString& key, QString& value) override;
  void WriteString(const QString& section, const QString& key, const QString& value) override;
  void DeleteKey(const QString& section, const QString& key) override;
  bool SectionExists(const QString& section) override;
  void EraseSection(const QString& section) override;
  bool Close() override;

 private:
  QString FFileName;
  std::unique_ptr<QSettings> FSettings;
};

// Where the stores are. The settings file (SettingsFileName()) is written in
// the program's directory or, for an installed program, the user's config
// directory (SettingsDir()); SettingsIniPathToRead() is the file a load
// reads: for a user who has none yet, an administrator's defaults.
QString SettingsIniPath();
QString SettingsIniPathToRead();

// The per-user store under the user's configuration directory, which
// follows XDG_CONFIG_HOME. Tests may also set the file directly.
void SetUserStorePath(const QString& fileName);
QString UserStorePath();
