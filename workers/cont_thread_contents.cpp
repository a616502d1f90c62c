// The contents worker's contents phase: identity, serial number with the options
// handshake, state and memory layout, the record scan and the check against a logger that
// went on recording during the scan.
#include <array>
#include <memory>

#include "link/bus.h"
#include "link/byte_order.h"
#include "link/link_state.h"
#include "workers/cont_thread.h"
#include "workers/config_entries.h"
#include "workers/identify.h"
#include "workers/page_io.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {
constexpr std::uint8_t kMaxIdentityByte4 = 24;
constexpr int kOptionsPollMs = 2;


// Entry 1, d1: state bits; d2: error bits.
constexpr std::uint8_t kStateRecordError = 0x80;
constexpr std::uint8_t kStatePrepared = 0x20;
constexpr std::uint8_t kStateActive = 0x40;
constexpr std::uint8_t kStateMemoryFull = 0x02;
constexpr std::uint8_t kErrorBattery = 0x04;
constexpr std::uint8_t kErrorAcknowledge = 0x08;

constexpr int kModeStopped = 0;
constexpr int kModePrepared = 1;
constexpr int kModeActive = 2;
constexpr int kStateValueMemoryFull = 3;
constexpr int kStateValueBattery = 4;
}  // namespace

bool TContThread::Identify() {
  if (!IdentifyLogger(Device.Address, Device.Identity)) {
    // A call that ended under the identification, a modem that went, or a call found
    // waiting whose logger gave up, is no silent logger.
    if (!LineDropped() && !PortVanished() && !callFoundWaiting_) posts_.Status(wsNoCommunication);
    return false;
  }
  if (Device.Identity[4] > kMaxIdentityByte4) return false;
  posts_.Advance();
  posts_.Status(wsDeviceDetected);
  const std::uint8_t major = Device.Identity[2];
  const std::uint8_t minor = Device.Identity[3];
  Device.WideCfg9 = (major == 3 && minor >= 10) || major > 3;
  return true;
}

bool TContThread::ReadSerialAndOptions() {
  const std::uint32_t oldSerial = Device.SerialNumber;
  std::uint32_t serial = 0;
  if (BusReadSerial(Device.Address, serial) != 0) return false;
  Device.SerialNumber = serial;
  posts_.Advance();
  posts_.Status(wsSerialNumber);
  // The host loads the options registered for this serial number into the device image
  // and then sets the flag; a stop ends the wait as well.
  while (!Device.OptionsReady.load()) {
    if (!SleepUnlessCancelled(kOptionsPollMs)) return false;
  }
  if (serial != oldSerial) Device.ConfigKnown = false;
  return true;
}

bool TContThread::ReadConfigEntry(std::uint8_t index, std::uint8_t d[5]) {
  if (BusReadConfig(Device.Address, index, d) != 0) return false;
  posts_.Advance();
  return true;
}

bool TContThread::ReadState() {
  std::uint8_t d[5] = {};
  if (!ReadConfigEntry(kEntryClock, d)) return false;
  posts_.Status(wsDeviceTime, GetU32BE(d));

  if (!ReadConfigEntry(kEntryBattery, d)) return false;
  Device.BatteryCapacity = d[4];
  posts_.Status(wsDeviceState, kStateValueBattery);

  if (!ReadConfigEntry(kEntryState, d)) return false;
  bool failed = false;
  if (d[1] & kStateRecordError) {
    posts_.Status(wsDeviceError, 0);
    failed = true;
  }
  if (d[2] & kErrorBattery) {
    posts_.Status(wsDeviceError, 1);
    failed = true;
  }
  if (d[2] & kErrorAcknowledge) {
    posts_.Status(wsDeviceError, 2);
    failed = true;
  }
  if (failed) return false;
  const int mode = (d[1] & kStatePrepared) ? kModePrepared
                   : (d[1] & kStateActive) ? kModeActive
                                           : kModeStopped;
  posts_.Status(wsDeviceState, mode);
  recordingActive_ = mode == kModeActive;
  if (d[1] & kStateMemoryFull) posts_.Status(wsDeviceState, kStateValueMemoryFull);
  Origin = GetU16BE(d + 3);

  if (!ReadConfigEntry(kEntryLayout, d)) return false;
  Device.SetMemoryLayout(GetU16BE(d), GetU16BE(d + 2), d[4]);
  posts_.Status(wsMemorySize);
  // Reserved pages above the last page make the ring bound wrap round, and a write
  // pointer outside the ring is no page of it: every read of the scan would be refused,
  // and the logger would look empty instead of broken.
  if (!MemoryLayoutValid(Device.LastPage, Device.ReservedPages) ||
      !RingPointerValid(Origin, Device.LastRingPage)) {
    posts_.Status(wsMemoryLayoutInvalid, Origin);
    return false;
  }
  // The ring may fill the whole memory; the identity page would then lie past its end.
  if (Device.ReservedPages == 0) posts_.Status(wsNoTextPages);
  return true;
}

bool TContThread::ReadPageHeader(std::uint16_t page, PageHeader& header) {
  std::array<std::uint8_t, 8> bytes{};
  if (ReadPageHeaderBytes(Device.Address, page, bytes.data()) != 0) return false;
  header = DecodeHeader(bytes.data(), page);
  return true;
}

std::uint16_t TContThread::Age(std::uint16_t page) const {
  return RingIndex(page, Origin, Device.LastRingPage);
}

std::uint16_t TContThread::PageOfAge(std::uint16_t age) const {
  return RingPage(age, Origin, Device.LastRingPage);
}

void TContThread::AddRecord(std::uint16_t firstPage, std::uint16_t lastPage,
                            const PageHeader& header) {
  auto rec = std::make_unique<TRec>();
  rec->FirstPage = firstPage;
  rec->LastPage = lastPage;
  rec->StartTime = header.Time;
  rec->Span = static_cast<std::int16_t>(Age(lastPage) - Age(firstPage));
  rec->Origin = Origin;
  LastSpan = rec->Span;
  Device.AddRec(std::move(rec));
}

// Walks the ring from the newest page backwards. The newest page of a record links to the
// record's first page, so each record costs two header reads; a record whose start has been
// overwritten runs from the oldest page of the ring.
//
// A page number taken from the logger (a link, or the write pointer behind R0) is checked
// before its page is read: a link damaged in the logger's memory can point past the end of
// memory, the logger refuses that read, and the whole table would be lost instead of the
// one record.
bool TContThread::ScanRecords() {
  const std::uint16_t lastRingPage = Device.LastRingPage;
  std::uint16_t x0 = Age(Origin);
  posts_.Range(static_cast<std::int64_t>(Device.LastPage) - Device.FirstPage);
  LastSpan = 0;

  // A candidate start page at R1: read and checked; false only when the read failed.
  auto readCandidate = [&](std::uint16_t r1, PageHeader& h1, bool& valid) {
    valid = false;
    if (!RingPointerValid(r1, lastRingPage)) return true;
    if (!ReadPageHeader(r1, h1)) return false;
    valid = HeaderValid(h1);
    return true;
  };

  for (;;) {
    posts_.Advance(LastSpan);
    const std::uint16_t r0 = PageOfAge(x0);
    Trace("R0= ", r0);
    if (!RingPointerValid(r0, lastRingPage)) {
      Trace("case 1 (invalid pointer R0)");
      return true;
    }
    PageHeader h0;
    if (!ReadPageHeader(r0, h0)) return false;
    if (!HeaderValid(h0)) {
      Trace("case 1 (invalid page header[R0])");
      return true;
    }
    if (h0.Start) {
      AddRecord(r0, r0, h0);
      Trace("case 2 (ok)");
      if (x0 == 0) return true;
      --x0;
      continue;
    }

    std::uint16_t r1 = h0.Link;
    Trace("R1= ", r1);
    PageHeader h1;
    if (!RingPointerValid(r1, lastRingPage)) {
      Trace("case 3 (invalid pointer R1)");
    } else {
      if (!ReadPageHeader(r1, h1)) return false;
      const std::uint16_t x1 = Age(r1);
      if (!HeaderValid(h1)) {
        Trace("case 3 (invalid page header [R1])");
      } else if (x1 > x0) {
        Trace("case 3 (X1 > X0)");
      } else if (!h1.Start) {
        Trace("case 3 (no start page)");
      } else {
        AddRecord(r1, r0, h1);
        Trace("case 3 (ok)");
        x0 = x1;
        if (x0 == 0) return true;
        --x0;
        continue;
      }
    }

    if (x0 == 0) {
      AddRecord(r0, r0, h0);
      Trace("case 4 (ok)");
      return true;
    }

    // The record's start is gone: it runs from the oldest page that still holds a header.
    bool valid = false;
    r1 = PageOfAge(0);
    Trace("R1= ", r1);
    if (!readCandidate(r1, h1, valid)) return false;
    if (valid) {
      AddRecord(r1, r0, h1);
      Trace("case 5 (ok)");
      return true;
    }
    Trace(RingPointerValid(r1, lastRingPage) ? "case 5 (invalid page header [R1])"
                                             : "case 5 (invalid pointer R1)");
    r1 = PageOfAge(1);
    Trace("R1= ", r1);
    if (!readCandidate(r1, h1, valid)) return false;
    if (!valid) {
      Trace(RingPointerValid(r1, lastRingPage) ? "case 6 (invalid page header [R1])"
                                               : "case 6 (invalid pointer R1)");
    }
    AddRecord(r1, r0, h1);
    Trace(valid ? "case 6 (ok)" : "case 7 (error?)");
    return true;
  }
}

// A logger that is still recording has written on while the ring was walked: records
// whose last page it has overwritten since are dropped, and the oldest record then starts
// at the oldest page of the ring.
bool TContThread::DropOverwrittenRecords() {
  const std::uint16_t lastRingPage = Device.LastRingPage;
  std::uint8_t d[5] = {};
  if (!ReadConfigEntry(kEntryState, d)) return false;
  std::uint16_t written = GetU16BE(d + 3);
  std::uint16_t r0 = 0;
  PageHeader h0;
  for (;;) {
    r0 = written == lastRingPage ? 0 : static_cast<std::uint16_t>(written + 1);
    Trace("R0= ", r0);
    if (!ReadPageHeader(r0, h0)) return false;
    if (!ReadConfigEntry(kEntryState, d)) return false;
    const std::uint16_t now = GetU16BE(d + 3);
    if (now == written) break;
    written = now;  // it wrote another page meanwhile: look at the new oldest page
  }

  Trace("Anz. Rec.", Device.RecCount());
  for (int i = Device.RecCount() - 1; i >= 0; --i) {
    posts_.Advance();
    const std::uint16_t x0 = Age(Device.Rec(i)->LastPage);
    Trace("X0= ", x0);
    const std::uint16_t x1 = Age(r0);
    Trace("X1= ", x1);
    if (x0 >= x1) break;
    Device.DeleteRec(i);
  }
  Trace("Anz. Rec.", Device.RecCount());

  // Only a page that holds a record page can become the oldest record's start. On a ring
  // that has not wrapped yet the page after the write pointer is erased; taking it would
  // date the record from an erased header and make the readout fetch the whole empty ring.
  if (recordingActive_ && Device.RecCount() > 1 && HeaderValid(h0)) {
    TRec* oldest = Device.Rec(Device.RecCount() - 1);
    oldest->FirstPage = r0;
    oldest->Span = static_cast<std::int16_t>(Age(oldest->LastPage) - Age(oldest->FirstPage));
    oldest->StartTime = h0.Time;
    Trace("Anz. Rec.", Device.RecCount());
  }
  return true;
}

void TContThread::ReadIdentityText() {
  Device.IdentityText.clear();
  if (!HasIdPage(Device.ReservedPages)) return;
  std::array<std::uint8_t, kPageSize> page{};
  if (ReadWholePage(Device.Address, Device.IdPage, page.data()) != 0) return;
  for (std::uint8_t b : page) {
    if (b == 0xFF) break;
    if (b >= 0x20) Device.IdentityText.push_back(static_cast<char>(b));
  }
}

// The scan's diagnostic texts name the case each record came from. Nothing reads them in
// the program; they are kept in the code because they document the walk.
void TContThread::Trace(std::string_view /*text*/, long /*value*/) const {}

}  // namespace varnel
