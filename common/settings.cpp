#include "common/settings.h"

#include <QDir>

#include <algorithm>

#include "common/registry_store.h"

namespace varnel {

StoredSettings ReadStoredSettings() {
  StoredSettings s;
  {
    RegistryKey common(QString::fromLatin1(kCommonKey));
    // Stored with the platform's separators, worked with in Qt's form.
    s.InternalPath = QDir::fromNativeSeparators(common.ReadString(QStringLiteral("Internal-Path")));
    s.ConfigFilePath =
        QDir::fromNativeSeparators(common.ReadString(QStringLiteral("ConfigFile-Path")));
  }
  RegistryKey key(QString::fromLatin1(kSettingsKey));
  s.Language = static_cast<std::int16_t>(key.ReadInt(QStringLiteral("Language"), 0));
  s.Port = static_cast<std::uint8_t>(key.ReadInt(QStringLiteral("Port"), 1));
  s.AmountPorts = static_cast<std::uint8_t>(key.ReadInt(QStringLiteral("Amount-Ports"), 4));
  s.AutoPorts = key.ReadFlag(QStringLiteral("Auto-Ports"), false);
  s.CreateBackup = key.ReadFlag(QStringLiteral("Create-Backup"), true);
  s.Modem = key.ReadFlag(QStringLiteral("Modem"), false);
  s.ActiveModemCmd = static_cast<std::uint8_t>(key.ReadInt(QStringLiteral("ActiveModemCmd"), 5));
  s.SpeakerModemCmd = key.ReadString(QStringLiteral("SpeakerModemCmd"));
  if (s.SpeakerModemCmd.isEmpty()) s.SpeakerModemCmd = QString::fromLatin1(kDefaultSpeakerCmd);
  s.UserDefModemCmd = key.ReadString(QStringLiteral("UserDefModemCmd"));
  s.ShowTime = key.ReadFlag(QStringLiteral("Show-Time"), true);
  s.MainLeft = key.ReadInt(QStringLiteral("MainLeft"), 0);
  s.MainTop = key.ReadInt(QStringLiteral("MainTop"), 0);
  if (key.HasValue(QString::fromLatin1(kMainWidthValue))) {
    s.MainWidth = key.ReadInt(QString::fromLatin1(kMainWidthValue), 0);
  }
  if (key.HasValue(QString::fromLatin1(kMainHeightValue))) {
    s.MainHeight = key.ReadInt(QString::fromLatin1(kMainHeightValue), 0);
  }
  if (key.HasValue(QString::fromLatin1(kMainMaximizedValue))) {
    s.MainMaximized = key.ReadFlag(QString::fromLatin1(kMainMaximizedValue), false);
  }
  s.SetupRetrySeconds =
      std::clamp(key.ReadInt(QString::fromLatin1(kSetupRetryValue), kSetupRetryDefaultSeconds),
                 kSetupRetryMinSeconds, kSetupRetryMaxSeconds);
  return s;
}

void WriteCommonFolders(const QString& internalPath, const QString& configFilePath) {
  RegistryKey common(QString::fromLatin1(kCommonKey));
  // Other programs of the device line read these paths: backslashes on Windows.
  common.WriteString(QStringLiteral("Internal-Path"), QDir::toNativeSeparators(internalPath));
  common.WriteString(QStringLiteral("ConfigFile-Path"), QDir::toNativeSeparators(configFilePath));
}

void WriteSettingsKey(const StoredSettings& s) {
  RegistryKey key(QString::fromLatin1(kSettingsKey));
  key.WriteInt(QStringLiteral("Port"), s.Port);
  key.WriteFlag(QStringLiteral("Echo"), s.Echo);
  key.WriteInt(QStringLiteral("Amount-Ports"), s.AmountPorts);
  key.WriteFlag(QStringLiteral("Auto-Ports"), s.AutoPorts);
  key.WriteInt(QStringLiteral("Language"), s.Language);
  key.WriteFlag(QStringLiteral("Create-Backup"), s.CreateBackup);
  key.WriteFlag(QStringLiteral("Modem"), s.Modem);
  key.WriteInt(QStringLiteral("ActiveModemCmd"), s.ActiveModemCmd);
  key.WriteString(QStringLiteral("SpeakerModemCmd"), s.SpeakerModemCmd);
  key.WriteString(QStringLiteral("UserDefModemCmd"), s.UserDefModemCmd);
  key.WriteFlag(QStringLiteral("Show-Time"), s.ShowTime);
  key.WriteInt(QStringLiteral("Address"), s.Address);
  key.WriteInt(QStringLiteral("MainLeft"), s.MainLeft);
  key.WriteInt(QStringLiteral("MainTop"), s.MainTop);
  if (s.MainWidth) key.WriteInt(QString::fromLatin1(kMainWidthValue), *s.MainWidth);
  if (s.MainHeight) key.WriteInt(QString::fromLatin1(kMainHeightValue), *s.MainHeight);
  if (s.MainMaximized) key.WriteFlag(QString::fromLatin1(kMainMaximizedValue), *s.MainMaximized);
}

}  // namespace varnel
