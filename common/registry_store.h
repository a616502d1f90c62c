#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <memory>

class QSettings;

namespace varnel {

// The per-user store of settings, modules, registered devices and the file list, addressed
// by registry key paths below HKEY_CURRENT_USER ("\SOFTWARE\<maker>\<program>\<sub keys>").
//
// On Windows a key is that registry key. Elsewhere each "\SOFTWARE\<maker>\<program>" key is
// one INI file, "<config home>/<maker>/<program>.ini" (config home = $XDG_CONFIG_HOME, else
// ~/.config), and the sub keys below it are the file's groups. Other programs (the modules
// and the programs that register them) read and write the same files.
//
// Empty path components are dropped, so a doubled backslash reaches the same key as a single
// one. Integers and flags are stored as 32-bit integers (flags 0/1), texts as texts.
class RegistryKey {
 public:
  // Opens the key; it comes into being with its first value (nothing is written before).
  explicit RegistryKey(const QString& registryPath);
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool HasValue(const QString& name) const;
  // A missing value gives the default; a present one is used unchanged (no range checks).
  std::int32_t ReadInt(const QString& name, std::int32_t defaultValue) const;
  // True when the stored integer is not 0.
  bool ReadFlag(const QString& name, bool defaultValue) const;
  QString ReadString(const QString& name, const QString& defaultValue = {}) const;

  void WriteInt(const QString& name, std::int32_t value);
  void WriteFlag(const QString& name, bool value);
  void WriteString(const QString& name, const QString& value);

  // Names of the sub keys, and of the values, directly below this key.
  QStringList SubKeyNames() const;
  QStringList ValueNames() const;

  // Removes the sub key `name` with everything below it.
  void DeleteSubKey(const QString& name);
  // Removes every value and sub key of this key: the key is deleted and created again.
  void Clear();

  // Writes pending changes to the backing store, so other programs see them; false when the
  // store could not be written.
  bool Sync();

 private:
  std::unique_ptr<QSettings> settings_;
};

// The path with its components separated by single backslashes, without a leading or
// trailing one: "\SOFTWARE\A\\B\" gives "SOFTWARE\A\B".
QString NormalizeRegistryPath(const QString& registryPath);

// Where a key is kept outside Windows: the INI file and the group inside it ("/"-separated,
// empty for the program's own key).
struct StoreLocation {
  QString File;
  QString Group;
};
StoreLocation LocateKey(const QString& registryPath);

}  // namespace varnel
