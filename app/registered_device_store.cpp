#include "app/registered_device_store.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/registered_devices.h"
#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"

namespace varnel {

namespace {

constexpr std::array<const char*, kDeviceValueCount> kNames = {
    "Description", "ReadActualRec", "ReadFromMonth", "ReadFromYear", "SynchTime",
    "OffsetCorr",  "P1Val",         "P2Val",         "PUnit",        "CustomUnit",
    "WriteConfig", "ConfigFile",    "WriteText",     "WLConfig",     "NewID",
    "ID",          "NewComment",    "Comment",       "LastContact",
};

QString Name(DeviceValue v) { return QLatin1String(DeviceValueName(v)); }

QString StoreKey() { return QString::fromLatin1(kRegisteredDevicesKey); }

QString EntryKey(const QString& serial) { return StoreKey() + QLatin1Char('\\') + serial; }

void WriteOne(RegistryKey& key, DeviceValue which, const DeviceValues& v) {
  const QString name = Name(which);
  switch (which) {
    case DeviceValue::Description: key.WriteString(name, v.Description); break;
    case DeviceValue::ReadActualRec: key.WriteFlag(name, v.ReadActualRec); break;
    case DeviceValue::ReadFromMonth: key.WriteInt(name, v.ReadFromMonth); break;
    case DeviceValue::ReadFromYear: key.WriteInt(name, v.ReadFromYear); break;
    case DeviceValue::SynchTime: key.WriteFlag(name, v.SynchTime); break;
    case DeviceValue::OffsetCorr: key.WriteFlag(name, v.OffsetCorr); break;
    case DeviceValue::P1Val: key.WriteString(name, v.P1Val); break;
    case DeviceValue::P2Val: key.WriteString(name, v.P2Val); break;
    case DeviceValue::PUnit: key.WriteInt(name, v.PUnit); break;
    case DeviceValue::CustomUnit: key.WriteString(name, v.CustomUnit); break;
    case DeviceValue::WriteConfig: key.WriteFlag(name, v.WriteConfig); break;
    case DeviceValue::ConfigFile: key.WriteString(name, v.ConfigFile); break;
    case DeviceValue::WriteText: key.WriteFlag(name, v.WriteText); break;
    case DeviceValue::WLConfig: key.WriteFlag(name, v.WLConfig); break;
    case DeviceValue::NewID: key.WriteFlag(name, v.NewID); break;
    case DeviceValue::ID: key.WriteString(name, v.ID); break;
    case DeviceValue::NewComment: key.WriteFlag(name, v.NewComment); break;
    case DeviceValue::Comment: key.WriteString(name, v.Comment); break;
    case DeviceValue::LastContact: key.WriteString(name, v.LastContact); break;
  }
}

void ReadOne(const RegistryKey& key, DeviceValue which, DeviceValues& v) {
  const QString name = Name(which);
  switch (which) {
    case DeviceValue::Description: v.Description = key.ReadString(name); break;
    case DeviceValue::ReadActualRec: v.ReadActualRec = key.ReadFlag(name, true); break;
    case DeviceValue::ReadFromMonth: v.ReadFromMonth = key.ReadInt(name, 0); break;
    case DeviceValue::ReadFromYear: v.ReadFromYear = key.ReadInt(name, 2000); break;
    case DeviceValue::SynchTime: v.SynchTime = key.ReadFlag(name, true); break;
    case DeviceValue::OffsetCorr: v.OffsetCorr = key.ReadFlag(name, false); break;
    case DeviceValue::P1Val: v.P1Val = key.ReadString(name); break;
    case DeviceValue::P2Val: v.P2Val = key.ReadString(name); break;
    case DeviceValue::PUnit: v.PUnit = key.ReadInt(name, 0); break;
    case DeviceValue::CustomUnit: v.CustomUnit = key.ReadString(name); break;
    case DeviceValue::WriteConfig: v.WriteConfig = key.ReadFlag(name, false); break;
    case DeviceValue::ConfigFile: v.ConfigFile = key.ReadString(name); break;
    case DeviceValue::WriteText: v.WriteText = key.ReadFlag(name, false); break;
    case DeviceValue::WLConfig: v.WLConfig = key.ReadFlag(name, false); break;
    case DeviceValue::NewID: v.NewID = key.ReadFlag(name, false); break;
    case DeviceValue::ID: v.ID = key.ReadString(name); break;
    case DeviceValue::NewComment: v.NewComment = key.ReadFlag(name, false); break;
    case DeviceValue::Comment: v.Comment = key.ReadString(name); break;
    case DeviceValue::LastContact: v.LastContact = key.ReadString(name); break;
  }
}

// Writes the values named in `which`, in the order of the table.
bool WriteValues(const QString& serial, const DeviceValues& v,
                 const std::bitset<kDeviceValueCount>& which) {
  RegistryKey key(EntryKey(serial));
  for (int i = 0; i < kDeviceValueCount; ++i) {
    if (which.test(static_cast<std::size_t>(i))) WriteOne(key, static_cast<DeviceValue>(i), v);
  }
  return key.Sync();
}

std::vector<std::pair<int, RegisteredDeviceStore::ResetListener>>& Listeners() {
  static std::vector<std::pair<int, RegisteredDeviceStore::ResetListener>> listeners;
  return listeners;
}

}  // namespace

int RegisteredDeviceStore::AddResetListener(ResetListener listener) {
  static int next = 0;
  Listeners().emplace_back(++next, std::move(listener));
  return next;
}

void RegisteredDeviceStore::RemoveResetListener(int id) {
  auto& l = Listeners();
  l.erase(std::remove_if(l.begin(), l.end(), [id](const auto& e) { return e.first == id; }),
          l.end());
}

bool operator==(const DeviceValues& a, const DeviceValues& b) {
  return a.Description == b.Description && a.ReadActualRec == b.ReadActualRec &&
         a.ReadFromMonth == b.ReadFromMonth && a.ReadFromYear == b.ReadFromYear &&
         a.SynchTime == b.SynchTime && a.OffsetCorr == b.OffsetCorr && a.P1Val == b.P1Val &&
         a.P2Val == b.P2Val && a.PUnit == b.PUnit && a.CustomUnit == b.CustomUnit &&
         a.WriteConfig == b.WriteConfig && a.ConfigFile == b.ConfigFile &&
         a.WriteText == b.WriteText && a.WLConfig == b.WLConfig && a.NewID == b.NewID &&
         a.ID == b.ID && a.NewComment == b.NewComment && a.Comment == b.Comment &&
         a.LastContact == b.LastContact;
}

const char* DeviceValueName(DeviceValue value) {
  return kNames[static_cast<std::size_t>(value)];
}

bool SerialNameAllowed(const QString& serial) {
  return !serial.isEmpty() && !serial.contains(QLatin1Char('/')) &&
         !serial.contains(QLatin1Char('\\'));
}

bool SerialReportable(const QString& serial) {
  bool ok = false;
  const uint number = serial.toUInt(&ok, 10);
  // toUInt takes blanks and a sign around the digits: the text must be the number's own.
  return ok && QString::number(number) == serial;
}

QString OffsetText(double value) { return FixedText(value, 7, 6); }

QStringList RegisteredDeviceStore::List() const {
  return RegistryKey(StoreKey()).SubKeyNames();
}

bool RegisteredDeviceStore::Contains(const QString& serial) const {
  return SerialNameAllowed(serial) && List().contains(serial, Qt::CaseSensitive);
}

StoredDevice RegisteredDeviceStore::Read(const QString& serial) const {
  StoredDevice out;
  if (!Contains(serial)) return out;
  const RegistryKey key(EntryKey(serial));
  for (int i = 0; i < kDeviceValueCount; ++i) {
    const auto which = static_cast<DeviceValue>(i);
    if (!key.HasValue(Name(which))) continue;
    ReadOne(key, which, out.Values);
    out.Present.set(static_cast<std::size_t>(i));
  }
  return out;
}

bool RegisteredDeviceStore::Write(const QString& serial, const DeviceValues& values) {
  if (!SerialNameAllowed(serial)) return false;
  return WriteValues(serial, values, std::bitset<kDeviceValueCount>().set());
}

bool RegisteredDeviceStore::Reset(const QString& serial, const QDate& today,
                                  const QString& lastContact) {
  if (!Contains(serial)) return false;
  DeviceValues v;
  v.ReadFromMonth = today.month() - 1;
  v.ReadFromYear = today.year();
  v.P1Val = v.P2Val = OffsetText(0.0);
  v.LastContact = lastContact;
  std::bitset<kDeviceValueCount> which;
  which.set();
  // The description is the operator's note about the station, not a one-shot option.
  which.reset(static_cast<std::size_t>(DeviceValue::Description));
  which.reset(static_cast<std::size_t>(DeviceValue::CustomUnit));
  const bool ok = WriteValues(serial, v, which);
  const auto listeners = Listeners();  // a listener may remove itself
  for (const auto& [id, listener] : listeners) listener(serial);
  return ok;
}

bool RegisteredDeviceStore::ReadOnlyNewPages(const QString& serial) const {
  if (!Contains(serial)) return false;
  const RegistryKey key(EntryKey(serial));
  return key.ReadFlag(QLatin1String(kReadOnlyNewPagesValue), false);
}

bool RegisteredDeviceStore::SetReadOnlyNewPages(const QString& serial, bool on) {
  if (!Contains(serial)) return false;
  RegistryKey key(EntryKey(serial));
  key.WriteFlag(QLatin1String(kReadOnlyNewPagesValue), on);
  return key.Sync();
}

bool RegisteredDeviceStore::Remove(const QString& serial) {
  if (!SerialNameAllowed(serial)) return false;
  RegistryKey key(StoreKey());
  key.DeleteSubKey(serial);
  return key.Sync();
}

}  // namespace varnel
