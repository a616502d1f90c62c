#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <bitset>
#include <functional>

// The registered-devices store: one key per logger, named by its serial number exactly as the
// operator typed it, holding nineteen values. The value names, their types and the order in
// which they are written live here and nowhere else; the read/write options dialog edits the
// store, the window logic loads an entry before a readout and resets it afterwards.
namespace varnel {

// The nineteen values, in the order in which they are written.
enum class DeviceValue {
  Description,
  ReadActualRec,
  ReadFromMonth,
  ReadFromYear,
  SynchTime,
  OffsetCorr,
  P1Val,
  P2Val,
  PUnit,
  CustomUnit,
  WriteConfig,
  ConfigFile,
  WriteText,
  WLConfig,
  NewID,
  ID,
  NewComment,
  Comment,
  LastContact,
};
inline constexpr int kDeviceValueCount = 19;

// The stored name of a value.
const char* DeviceValueName(DeviceValue value);

// An entry's values. Offsets are the stored texts (fixed-point, the system's decimal
// separator); the comment's lines are joined by CR LF.
struct DeviceValues {
  QString Description;
  bool ReadActualRec = true;
  int ReadFromMonth = 0;  // 0 = January
  int ReadFromYear = 2000;
  bool SynchTime = true;
  bool OffsetCorr = false;
  QString P1Val;
  QString P2Val;
  int PUnit = 0;
  QString CustomUnit;
  bool WriteConfig = false;
  QString ConfigFile;
  bool WriteText = false;
  bool WLConfig = false;
  bool NewID = false;
  QString ID;
  bool NewComment = false;
  QString Comment;
  QString LastContact;
};

bool operator==(const DeviceValues& a, const DeviceValues& b);
inline bool operator!=(const DeviceValues& a, const DeviceValues& b) { return !(a == b); }

// An entry as read: the values it holds, and which of them it holds (a missing value keeps
// the default of DeviceValues).
struct StoredDevice {
  DeviceValues Values;
  std::bitset<kDeviceValueCount> Present;
  bool Has(DeviceValue v) const { return Present.test(static_cast<std::size_t>(v)); }
  bool operator==(const StoredDevice& o) const {
    return Present == o.Present && Values == o.Values;
  }
  bool operator!=(const StoredDevice& o) const { return !(*this == o); }
};

// False for a serial number that cannot name one entry: empty, or holding "/" or "\",
// which the store would take as a path of nested keys.
bool SerialNameAllowed(const QString& serial);

// True for the decimal text of a serial number as a logger reports it (an unsigned 32-bit
// number, no leading zero): only such an entry is ever found when a logger calls in.
bool SerialReportable(const QString& serial);

// An offset as the store writes it: rounded to seven significant digits, six decimals.
QString OffsetText(double value);

class RegisteredDeviceStore {
 public:
  // The serial numbers of the registered devices, in the store's order.
  QStringList List() const;
  // True when a key is named exactly (case-sensitively) `serial`.
  bool Contains(const QString& serial) const;
  // The values of the entry `serial`; Present is empty when there is no such entry.
  StoredDevice Read(const QString& serial) const;
  // Writes all nineteen values, in order, creating the entry when missing. False when the
  // store could not be written or `serial` is not allowed as a name (nothing is written).
  bool Write(const QString& serial, const DeviceValues& values);
  // The reset after the options were carried out: the defaults of a carried-out contact
  // (read-from date from `today`) and `lastContact`; "Description" and "CustomUnit" keep
  // their texts. False when
  // `serial` is not registered (nothing is written) or the store could not be written.
  bool Reset(const QString& serial, const QDate& today, const QString& lastContact);
  // Removes the entry with all its values.
  bool Remove(const QString& serial);

  // This program's own option beside the nineteen: read only the pages that are new since
  // the last contact (off when missing). Writing it needs an existing entry.
  bool ReadOnlyNewPages(const QString& serial) const;
  bool SetReadOnlyNewPages(const QString& serial, bool on);

  // Listeners told after Reset wrote an entry (an editor showing it re-reads it rather than
  // write the carried-out options back). Used from the user-interface thread only.
  using ResetListener = std::function<void(const QString& serial)>;
  static int AddResetListener(ResetListener listener);
  static void RemoveResetListener(int id);
};

}  // namespace varnel
