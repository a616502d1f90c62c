#pragma once
#include <QDate>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "device/device.h"

// The options that the operator registered for a logger, by its serial number, and their
// reset after they were carried out.
namespace varnel {

// The registered-devices value of this program's own option "read only new pages" (a flag,
// 0 or 1, off when missing). The nineteen values of a device entry keep their meaning; this
// one is neither written by their reset nor read by anything else.
inline constexpr const char* kReadOnlyNewPagesValue = "VarnelReadOnlyNewPages";

// The defaults written into the device image before each contents reading; `today` decides
// the read-from month (the current month counted from 0, as the store counts) and year.
void ResetReadOptions(TDevice& device, const QDate& today);

// What loading a device's options could not take as stored, for the memo and the log.
struct DeviceOptionNotes {
  // Stored values the device image cannot hold ("ReadFromMonth=2147483647"); the defaults
  // stand in for them.
  std::vector<std::string> Refused;
  // The configuration was to be written but its file was not accepted: the file's name.
  std::optional<std::string> ConfigNotWritten;
  // "Write Configuration" is ticked without a file: the box is the way to "Write new text",
  // so this is no failure (the identity and comment are still written).
  bool NoConfigFile = false;
};

// Looks for the registered device whose key name equals `serial` exactly and applies its
// stored values to the device image (values that are missing leave it as ResetReadOptions
// left it). Returns true when the device is registered. A stored offset that is not a number
// gives no correction for that channel; a configuration file that the reader rejects or that
// breaks off leaves the image without a configuration to write. `notes`, when given, gets
// what was not taken.
bool LoadDeviceOptions(const QString& serial, TDevice& device,
                       DeviceOptionNotes* notes = nullptr);

// After a readout of the registered device `serial`: writes the default one-shot values back
// to its key and stamps `lastContact` (the description and "CustomUnit" are kept). Returns true when found.
bool ResetDeviceOptions(const QString& serial, const QDate& today, const QString& lastContact);

}  // namespace varnel
