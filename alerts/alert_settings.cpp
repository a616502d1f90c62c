#include "alerts/alert_settings.h"

#include "common/registry_store.h"
#include "common/settings.h"

namespace varnel {

AlertSettings ReadAlertSettings() {
  const RegistryKey key(QString::fromLatin1(kSettingsKey) + QStringLiteral("Notify"));
  AlertSettings s;
  s.Mail = key.ReadString(QStringLiteral("Mail")).trimmed();
  s.From = key.ReadString(QStringLiteral("From")).trimmed();
  s.To = key.ReadString(QStringLiteral("To")).trimmed();
  s.MailCaFile = key.ReadString(QStringLiteral("MailCaFile")).trimmed();
  s.MailNetrc = key.ReadString(QStringLiteral("MailNetrc")).trimmed();
  s.Command = key.ReadString(QStringLiteral("Command")).trimmed();
  s.SystemLog = key.ReadFlag(QStringLiteral("SystemLog"), true);
  const int hour = key.ReadInt(QStringLiteral("DigestHour"), -1);
  s.DigestHour = hour >= 0 && hour <= 23 ? hour : -1;
  return s;
}

void WriteAlertSettings(const AlertSettings& s) {
  RegistryKey key(QString::fromLatin1(kSettingsKey) + QStringLiteral("Notify"));
  key.WriteString(QStringLiteral("Mail"), s.Mail);
  key.WriteString(QStringLiteral("From"), s.From);
  key.WriteString(QStringLiteral("To"), s.To);
  key.WriteString(QStringLiteral("MailCaFile"), s.MailCaFile);
  key.WriteString(QStringLiteral("MailNetrc"), s.MailNetrc);
  key.WriteString(QStringLiteral("Command"), s.Command);
  key.WriteFlag(QStringLiteral("SystemLog"), s.SystemLog);
  key.WriteInt(QStringLiteral("DigestHour"), s.DigestHour >= 0 && s.DigestHour <= 23 ? s.DigestHour : -1);
}

}  // namespace varnel
