#include "app/registered_devices.h"

#include <cmath>
#include <exception>
#include <limits>

#include "app/registered_device_store.h"
#include "common/locale_text.h"
#include "device/pressure_units.h"
#include "files/cfx_reader.h"
#include "files/code_page_text.h"
#include "files/native_path.h"

namespace varnel {

namespace {

// The configuration file read in full into the device image; a file that is refused or
// breaks off leaves the image as it was.
void LoadConfigFile(const QString& path, TDevice& device) {
  CfxContent content = device.Cfx;
  content.Address = device.Address;  // kept unless the file sets its own
  int kind = 0;
  bool ok = false;
  try {
    ok = ReadConfigFile(content, PathFromUtf8(path.toStdString()), false, kind);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) return;
  device.Cfx = std::move(content);
  device.Address = device.Cfx.Address;
  device.ConfigFile = path.toStdString();
  device.ConfigFileOk = true;
  device.WLConfig = kind == 1;
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
  device.ReadOnlyNewPages = false;
  device.CachedPages.reset();
}

bool LoadDeviceOptions(const QString& serial, TDevice& device, DeviceOptionNotes* notes) {
  DeviceOptionNotes ignored;
  DeviceOptionNotes& note = notes ? *notes : ignored;
  const auto refuse = [&note](const char* name, const QString& stored) {
    note.Refused.push_back(std::string(name) + "=" + stored.toStdString());
  };
  // This program's own option belongs to the logger on the line alone, even when the next
  // caller is not registered.
  device.ReadOnlyNewPages = false;
  const RegisteredDeviceStore store;
  if (!store.Contains(serial)) return false;
  const StoredDevice entry = store.Read(serial);
  const DeviceValues& v = entry.Values;
  using V = DeviceValue;
  device.ReadOnlyNewPages = store.ReadOnlyNewPages(serial);
  device.Registered = true;
  if (entry.Has(V::ReadActualRec)) device.ReadActualRec = v.ReadActualRec;
  if (entry.Has(V::ReadFromMonth)) {
    if (v.ReadFromMonth >= 0 && v.ReadFromMonth <= 11) {
      device.ReadFromMonth = static_cast<std::uint8_t>(v.ReadFromMonth + 1);
    } else {
      refuse("ReadFromMonth", QString::number(v.ReadFromMonth));
    }
  }
  if (entry.Has(V::ReadFromYear)) {
    if (v.ReadFromYear >= 0 && v.ReadFromYear <= std::numeric_limits<std::uint16_t>::max()) {
      device.ReadFromYear = static_cast<std::uint16_t>(v.ReadFromYear);
    } else {
      refuse("ReadFromYear", QString::number(v.ReadFromYear));
    }
  }
  if (entry.Has(V::SynchTime)) device.SynchTime = v.SynchTime;
  if (entry.Has(V::OffsetCorr)) device.OffsetCorr = v.OffsetCorr;

  if (device.OffsetCorr) {
    const float factor = entry.Has(V::PUnit) ? UnitFactor(v.PUnit & 0xFF) : 1.0f;
    if (entry.Has(V::CustomUnit)) device.CustomUnit = v.CustomUnit.toStdString();
    // An offset beyond what the logger's float holds would be written into it as infinity.
    const auto offset = [&](DeviceValue which, const char* name, const QString& stored,
                            float& val, float& bar) {
      double value = 0;
      if (!entry.Has(which) || !ParseLocaleNumber(stored, value)) return;
      if (std::abs(value) > std::numeric_limits<float>::max() ||
          !std::isfinite(static_cast<float>(value) / factor)) {
        refuse(name, stored);
        return;
      }
      val = static_cast<float>(value);
      bar = static_cast<float>(value) / factor;
    };
    offset(V::P1Val, "P1Val", v.P1Val, device.P1Val, device.P1OffsetBar);
    offset(V::P2Val, "P2Val", v.P2Val, device.P2Val, device.P2OffsetBar);
  }

  if (entry.Has(V::WriteConfig)) device.WriteConfig = v.WriteConfig;
  if (device.WriteConfig) {
    if (v.ConfigFile.isEmpty()) {
      note.NoConfigFile = true;
    } else {
      LoadConfigFile(v.ConfigFile, device);
      if (!device.ConfigFileOk) note.ConfigNotWritten = v.ConfigFile.toStdString();
    }
    if (entry.Has(V::WriteText)) device.WriteText = v.WriteText;
    if (device.WriteText) {
      if (entry.Has(V::NewID)) device.NewID = v.NewID;
      if (device.NewID) {
        // The logger keeps its texts as 8-bit code-page bytes, 64 at most.
        device.Cfx.NewIdText = Utf8ToCodePage(v.ID.left(64).toStdString());
        if (device.Cfx.NewIdText.size() > 64) device.Cfx.NewIdText.resize(64);
      }
      if (entry.Has(V::NewComment)) device.NewComment = v.NewComment;
      if (device.NewComment) {
        device.Cfx.NewCommentText.clear();
        for (const QChar ch : v.Comment) {
          device.Cfx.NewCommentText.push_back(static_cast<char>(ch.unicode() & 0xFF));
        }
      }
    }
  }
  return true;
}

bool ResetDeviceOptions(const QString& serial, const QDate& today, const QString& lastContact) {
  return RegisteredDeviceStore().Reset(serial, today, lastContact);
}

}  // namespace varnel
