#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// The program's settings in the per-user store, their keys and their defaults.
namespace varnel {

// Key paths as the other programs of the logger line name them. The registered devices'
// path carries a doubled backslash; the store reaches the same key with it.
inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Halvark Drovantek\\Corvane\\";
inline constexpr const char* kCommonKey = "\\SOFTWARE\\Halvark Drovantek\\Logger VTQ\\Common";
inline constexpr const char* kCommonKeySlash = "\\SOFTWARE\\Halvark Drovantek\\Logger VTQ\\Common\\";
inline constexpr const char* kModulesKey = "\\SOFTWARE\\Halvark Drovantek\\Logger VTQ\\Modules";
inline constexpr const char* kExecutableKey =
    "\\SOFTWARE\\Halvark Drovantek\\Logger VTQ\\Executable";
inline constexpr const char* kRegisteredDevicesKey =
    "\\SOFTWARE\\Halvark Drovantek\\\\Corvane\\RegistredDevices";
// The sub key of the Common key that lists the files of the last readout.
inline constexpr const char* kFileListName = "Files";

inline constexpr int kModemCommandSlots = 7;
inline constexpr std::array<const char*, 5> kDefaultModemCmds = {"AT&D0", "AT&H0", "ATS0=2",
                                                                  "AT+IPR=9600", "AT&V"};
inline constexpr const char* kDefaultSpeakerCmd = "ATM0";

// How long a failed modem set-up waits before it is tried again (a value of this program's
// own, read from the settings key, never written): default and bounds in seconds.
inline constexpr const char* kSetupRetryValue = "VarnelSetupRetrySeconds";
inline constexpr int kSetupRetryDefaultSeconds = 60;
inline constexpr int kSetupRetryMinSeconds = 5;
inline constexpr int kSetupRetryMaxSeconds = 3600;

// The main window's size and maximised state (values of this program's own beside the
// stored left and top edges; written only by a program that has the window).
inline constexpr const char* kMainWidthValue = "VarnelMainWidth";
inline constexpr const char* kMainHeightValue = "VarnelMainHeight";
inline constexpr const char* kMainMaximizedValue = "VarnelMainMaximized";

// The values of the settings key and the two folders of the Common key, as read at start and
// written at close. Integers keep the width of the fields they fill.
struct StoredSettings {
  std::int16_t Language = 0;
  std::uint8_t Port = 1;
  std::uint8_t AmountPorts = 4;
  bool AutoPorts = false;
  bool CreateBackup = true;
  bool Modem = false;
  // Bit i is the active flag of modem command i (i = 0..6).
  std::uint8_t ActiveModemCmd = 5;
  QString SpeakerModemCmd = QString::fromLatin1(kDefaultSpeakerCmd);
  QString UserDefModemCmd;
  bool ShowTime = true;
  std::int32_t MainLeft = 0;
  std::int32_t MainTop = 0;
  // Empty while not stored (the window's design size, not maximised).
  std::optional<std::int32_t> MainWidth;
  std::optional<std::int32_t> MainHeight;
  std::optional<bool> MainMaximized;
  // Read only; a value that is not a number gives the default, one out of bounds the
  // nearest bound.
  int SetupRetrySeconds = kSetupRetryDefaultSeconds;
  // Written at close only.
  bool Echo = false;
  std::int32_t Address = 251;
  // The stored folder texts (empty when missing); the folder rule picks the folders.
  QString InternalPath;
  QString ConfigFilePath;
};

// Reads the settings key and the two folder values of the Common key; missing values take
// their defaults, present ones are used as stored.
StoredSettings ReadStoredSettings();

// Writes the two folders of the Common key.
void WriteCommonFolders(const QString& internalPath, const QString& configFilePath);
// Writes the settings key value by value in a fixed order, so that the stored file reads
// the same from one close to the next and a diff shows only what changed.
void WriteSettingsKey(const StoredSettings& s);

}  // namespace varnel
