#include "common/registry_store.h"

#include <QSettings>
#include <QtGlobal>

#include "common/locations.h"

namespace varnel {

namespace {

QStringList PathComponents(const QString& registryPath) {
  QString p = registryPath;
  p.replace(QLatin1Char('/'), QLatin1Char('\\'));
  return p.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// A stored integer as 32 bits, wrapping like the registry's DWORD; texts that other
// programs may have written as words are understood too.
bool ToInt32(const QVariant& v, std::int32_t& out) {
  if (!v.isValid()) return false;
  if (v.typeId() == QMetaType::Bool) {
    out = v.toBool() ? 1 : 0;
    return true;
  }
  bool ok = false;
  const qlonglong n = v.toLongLong(&ok);
  if (ok) {
    out = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<qulonglong>(n)));
    return true;
  }
  const QString text = v.toString().trimmed().toLower();
  if (text == QLatin1String("true")) {
    out = 1;
    return true;
  }
  if (text == QLatin1String("false")) {
    out = 0;
    return true;
  }
  return false;
}

}  // namespace

QString NormalizeRegistryPath(const QString& registryPath) {
  return PathComponents(registryPath).join(QLatin1Char('\\'));
}

StoreLocation LocateKey(const QString& registryPath) {
  const QStringList c = PathComponents(registryPath);
  StoreLocation loc;
  if (c.size() >= 3 && c[0].compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) == 0) {
    loc.File = ConfigHome() + QLatin1Char('/') + c[1] + QLatin1Char('/') + c[2] +
               QStringLiteral(".ini");
    loc.Group = c.mid(3).join(QLatin1Char('/'));
  } else {
    loc.File = ConfigHome() + QStringLiteral("/varnel/registry.ini");
    loc.Group = c.join(QLatin1Char('/'));
  }
  return loc;
}

RegistryKey::RegistryKey(const QString& registryPath) {
#ifdef Q_OS_WIN
  settings_ = std::make_unique<QSettings>(
      QStringLiteral("HKEY_CURRENT_USER\\") + NormalizeRegistryPath(registryPath),
      QSettings::NativeFormat);
#else
  const StoreLocation loc = LocateKey(registryPath);
  settings_ = std::make_unique<QSettings>(loc.File, QSettings::IniFormat);
  if (!loc.Group.isEmpty()) settings_->beginGroup(loc.Group);
#endif
}

RegistryKey::~RegistryKey() { settings_->sync(); }

bool RegistryKey::HasValue(const QString& name) const { return settings_->contains(name); }

std::int32_t RegistryKey::ReadInt(const QString& name, std::int32_t defaultValue) const {
  std::int32_t n = 0;
  return ToInt32(settings_->value(name), n) ? n : defaultValue;
}

bool RegistryKey::ReadFlag(const QString& name, bool defaultValue) const {
  std::int32_t n = 0;
  return ToInt32(settings_->value(name), n) ? n != 0 : defaultValue;
}

QString RegistryKey::ReadString(const QString& name, const QString& defaultValue) const {
  const QVariant v = settings_->value(name);
  return v.isValid() ? v.toString() : defaultValue;
}

void RegistryKey::WriteInt(const QString& name, std::int32_t value) {
  settings_->setValue(name, QVariant::fromValue<qint32>(value));
}

void RegistryKey::WriteFlag(const QString& name, bool value) { WriteInt(name, value ? 1 : 0); }

void RegistryKey::WriteString(const QString& name, const QString& value) {
  settings_->setValue(name, value);
}

QStringList RegistryKey::SubKeyNames() const { return settings_->childGroups(); }

QStringList RegistryKey::ValueNames() const { return settings_->childKeys(); }

void RegistryKey::DeleteSubKey(const QString& name) { settings_->remove(name); }

void RegistryKey::Clear() { settings_->remove(QString()); }

bool RegistryKey::Sync() {
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

}  // namespace varnel
