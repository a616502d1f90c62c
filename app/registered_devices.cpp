#include "app/registered_devices.h"

#include <exception>

#include "app/locale_text.h"
#include "app/registry_store.h"
#include "app/settings.h"
#include "device/pressure_units.h"
#include "files/cfx_reader.h"
#include "files/code_page_text.h"
#include "files/native_path.h"

namespace varnel {

namespace {

QString DeviceKeyPath(const QString& name) {
  return QString::fromLatin1(kRegisteredDevicesKey) + QLatin1Char('\\') + name;
}

bool IsRegistered(const QString& serial) {
  RegistryKey devices(QString::fromLatin1(kRegisteredDevicesKey));
  return devices.SubKeyNames().contains(serial, Qt::CaseSensitive);
}

CfxContent CfxFromDevice(const TDevice& d) {
  CfxContent c;
  c.Address = d.Address;
  c.CfxSpare = d.CfxSpare;
  c.NewCfg1 = d.NewCfg1;
  c.NewCfg4 = d.NewCfg4;
  c.NewCfg9 = d.NewCfg9;
  c.NewCfg6A = d.NewCfg6A;
  c.NewCfg6B = d.NewCfg6B;
  c.NewCfg6C = d.NewCfg6C;
  c.NewCfg7B = d.NewCfg7B;
  c.NewCfg7A = d.NewCfg7A;
  c.NewFloat96 = d.NewFloat96;
  c.NewFloat97 = d.NewFloat97;
  c.NewFloats100 = d.NewFloats100;
  c.NewCfg8 = d.NewCfg8;
  c.ZeroChannelSel = d.ZeroChannelSel;
  c.NewIdText = d.NewIdText;
  c.NewCommentText = d.NewCommentText.Text();
  c.ZeroByMeasure = d.ZeroByMeasure;
  return c;
}

void CfxToDevice(const CfxContent& c, TDevice& d) {
  d.Address = c.Address;
  d.CfxSpare = c.CfxSpare;
  d.NewCfg1 = c.NewCfg1;
  d.NewCfg4 = c.NewCfg4;
  d.NewCfg9 = c.NewCfg9;
  d.NewCfg6A = c.NewCfg6A;
  d.NewCfg6B = c.NewCfg6B;
  d.NewCfg6C = c.NewCfg6C;
  d.NewCfg7B = c.NewCfg7B;
  d.NewCfg7A = c.NewCfg7A;
  d.NewFloat96 = c.NewFloat96;
  d.NewFloat97 = c.NewFloat97;
  d.NewFloats100 = c.NewFloats100;
  d.NewCfg8 = c.NewCfg8;
  d.ZeroChannelSel = c.ZeroChannelSel;
  d.NewIdText = c.NewIdText;
  d.NewCommentText.Clear();
  d.NewCommentText.WriteText(c.NewCommentText);
  d.ZeroByMeasure = c.ZeroByMeasure;
}

// The configuration file read in full into the device image; a file that is refused or
// breaks off leaves the image as it was.
void LoadConfigFile(const QString& path, TDevice& device) {
  CfxContent content = CfxFromDevice(device);
  int kind = 0;
  bool ok = false;
  try {
    ok = ReadConfigFile(content, PathFromUtf8(path.toStdString()), false, kind);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) return;
  CfxToDevice(content, device);
  device.ConfigFile = path.toStdString();
  device.ConfigFileOk = true;
  device.WLConfig = kind == 1;
}

// An offset value of the store; false (the channel keeps no correction) when it is missing
// or not a number.
bool ReadOffset(const RegistryKey& key, const char* name, double& value) {
  if (!key.HasValue(QLatin1String(name))) return false;
  return ParseLocaleNumber(key.ReadString(QLatin1String(name)), value);
}

}  // namespace

void ResetReadOptions(TDevice& device, const QDate& today) {
  device.OptionsReady = false;
  device.KnownDevice = false;
  device.ReadActualRec = true;
  device.ReadFromMonth = static_cast<std::uint8_t>(today.month() - 1);
  device.ReadFromYear = static_cast<std::uint16_t>(today.year());
  device.SynchTime = true;
  device.OffsetCorr = false;
  device.P1OffsetBar = 0;
  device.P2OffsetBar = 0;
  device.WriteConfig = false;
  device.ConfigFileOk = false;
  device.WLConfig = false;
  device.WriteText = false;
  device.NewID = false;
  device.NewComment = false;
}

bool LoadDeviceOptions(const QString& serial, TDevice& device) {
  if (!IsRegistered(serial)) return false;
  const RegistryKey key(DeviceKeyPath(serial));
  device.Registered = true;
  if (key.HasValue(QStringLiteral("ReadActualRec"))) {
    device.ReadActualRec = key.ReadFlag(QStringLiteral("ReadActualRec"), true);
  }
  if (key.HasValue(QStringLiteral("ReadFromMonth"))) {
    device.ReadFromMonth =
        static_cast<std::uint8_t>(key.ReadInt(QStringLiteral("ReadFromMonth"), 0) + 1);
  }
  if (key.HasValue(QStringLiteral("ReadFromYear"))) {
    device.ReadFromYear = static_cast<std::uint16_t>(key.ReadInt(QStringLiteral("ReadFromYear"), 0));
  }
  if (key.HasValue(QStringLiteral("SynchTime"))) {
    device.SynchTime = key.ReadFlag(QStringLiteral("SynchTime"), true);
  }
  if (key.HasValue(QStringLiteral("OffsetCorr"))) {
    device.OffsetCorr = key.ReadFlag(QStringLiteral("OffsetCorr"), false);
  }

  if (device.OffsetCorr) {
    float factor = 1.0f;
    if (key.HasValue(QStringLiteral("PUnit"))) {
      factor = UnitFactor(key.ReadInt(QStringLiteral("PUnit"), 0) & 0xFF);
    }
    if (key.HasValue(QStringLiteral("CustomUnit"))) {
      device.CustomUnit = key.ReadString(QStringLiteral("CustomUnit")).toStdString();
    }
    double v = 0;
    if (ReadOffset(key, "P1Val", v)) {
      device.P1Val = static_cast<float>(v);
      device.P1OffsetBar = static_cast<float>(v) / factor;
    }
    if (ReadOffset(key, "P2Val", v)) {
      device.P2Val = static_cast<float>(v);
      device.P2OffsetBar = static_cast<float>(v) / factor;
    }
  }

  if (key.HasValue(QStringLiteral("WriteConfig"))) {
    device.WriteConfig = key.ReadFlag(QStringLiteral("WriteConfig"), false);
  }
  if (device.WriteConfig) {
    const QString file = key.ReadString(QStringLiteral("ConfigFile"));
    if (!file.isEmpty()) LoadConfigFile(file, device);
    if (key.HasValue(QStringLiteral("WriteText"))) {
      device.WriteText = key.ReadFlag(QStringLiteral("WriteText"), false);
    }
    if (device.WriteText) {
      if (key.HasValue(QStringLiteral("NewID"))) {
        device.NewID = key.ReadFlag(QStringLiteral("NewID"), false);
      }
      if (device.NewID) {
        // The logger keeps its texts as 8-bit code-page bytes, 64 at most.
        device.NewIdText =
            Utf8ToCodePage(key.ReadString(QStringLiteral("ID")).left(64).toStdString());
        if (device.NewIdText.size() > 64) device.NewIdText.resize(64);
      }
      if (key.HasValue(QStringLiteral("NewComment"))) {
        device.NewComment = key.ReadFlag(QStringLiteral("NewComment"), false);
      }
      if (device.NewComment) {
        device.NewCommentText.Clear();
        const QString comment = key.ReadString(QStringLiteral("Comment"));
        for (const QChar ch : comment) {
          device.NewCommentText.WriteByte(static_cast<std::uint8_t>(ch.unicode() & 0xFF));
        }
      }
    }
  }
  return true;
}

bool ResetDeviceOptions(const QString& serial, const QDate& today, const QString& lastContact) {
  if (!IsRegistered(serial)) return false;
  RegistryKey key(DeviceKeyPath(serial));
  const QString zero = FixedText(0.0, 7, 6);
  key.WriteString(QStringLiteral("Description"), QString());
  key.WriteFlag(QStringLiteral("ReadActualRec"), true);
  key.WriteInt(QStringLiteral("ReadFromMonth"), today.month() - 1);
  key.WriteInt(QStringLiteral("ReadFromYear"), today.year());
  key.WriteFlag(QStringLiteral("SynchTime"), true);
  key.WriteFlag(QStringLiteral("OffsetCorr"), false);
  key.WriteString(QStringLiteral("P1Val"), zero);
  key.WriteString(QStringLiteral("P2Val"), zero);
  key.WriteInt(QStringLiteral("PUnit"), 0);
  key.WriteFlag(QStringLiteral("WriteConfig"), false);
  key.WriteString(QStringLiteral("ConfigFile"), QString());
  key.WriteFlag(QStringLiteral("WriteText"), false);
  key.WriteFlag(QStringLiteral("WLConfig"), false);
  key.WriteFlag(QStringLiteral("NewID"), false);
  key.WriteString(QStringLiteral("ID"), QString());
  key.WriteFlag(QStringLiteral("NewComment"), false);
  key.WriteString(QStringLiteral("Comment"), QString());
  key.WriteString(QStringLiteral("LastContact"), lastContact);
  key.Sync();
  return true;
}

}  // namespace varnel
