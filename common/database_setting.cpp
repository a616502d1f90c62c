#include "common/database_setting.h"

#include "common/registry_store.h"
#include "common/settings.h"

namespace varnel {

namespace {
QString DatabaseKey() { return QString::fromLatin1(kSettingsKey) + QStringLiteral("Database"); }
}  // namespace

QString ReadDatabaseUrlSetting() {
  return RegistryKey(DatabaseKey()).ReadString(QStringLiteral("Url")).trimmed();
}

void WriteDatabaseUrlSetting(const QString& url) {
  RegistryKey key(DatabaseKey());
  key.WriteString(QStringLiteral("Url"), url.trimmed());
  key.Sync();
}

}  // namespace varnel
