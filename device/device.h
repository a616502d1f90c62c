#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/cfx_content.h"
#include "device/file_name.h"
#include "device/memory_stream.h"
#include "device/module_list.h"
#include "device/page.h"
#include "device/page_cache.h"
#include "device/rec.h"
#include "device/ring.h"

namespace varnel {

// Bits of a logger's channel mask (TDevice::ChannelMask): bit n is set when the logger
// measures channel n. Channels 1 and 2 are the pressures P1 and P2; the five bits from 0x02
// to 0x20 each bring a pair of configuration floats, Floats80[2k] and Floats80[2k + 1].
inline constexpr std::uint16_t kChannelMaskP1 = 0x02;
inline constexpr std::uint16_t kChannelMaskP2 = 0x04;
inline constexpr std::uint16_t kChannelMaskFirstPair = 0x02;
inline constexpr int kChannelMaskPairs = 5;

// The program's picture of the one logger it talks to.
//
// No lock protects it. The main thread writes it before it starts a job and reads it in
// its message handlers; the running worker writes it during the job and hands results over
// through the ordered message queue. The one field that one thread polls while the other
// writes it is OptionsReady: the main thread fills the options first and then sets the
// flag, so a worker that has seen the flag set also sees the options.
class TDevice {
 public:
  static constexpr int kModemSlots = 7;

  TDevice() = default;
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  // --- Identity and memory layout
  std::uint8_t Address = 0;
  std::array<std::uint8_t, 6> Identity{};  // ID d0.d1, version d2.d3, d4 (<= 24), d5
  std::uint32_t SerialNumber = 0;
  std::uint8_t BatteryCapacity = 0;  // percent
  std::uint16_t FirstPage = 0;
  std::uint16_t LastPage = 0;
  std::uint16_t LastRingPage = 0;
  std::uint8_t ReservedPages = 0;
  std::uint16_t IdPage = 0;
  std::uint16_t CommentPage = 0;

  // --- Configuration as read from the device
  std::array<float, 10> Floats80{};
  std::uint8_t Cfg1Bit = 0;
  std::uint32_t Cfg4 = 0;
  std::uint32_t Cfg9 = 0;
  std::uint16_t Cfg6A = 0;
  std::uint16_t Cfg6B = 0;
  std::uint8_t Cfg6C = 0;
  std::uint8_t Cfg7B = 0;
  std::uint16_t Cfg7A = 0;
  float Float96 = 0;
  float Float97 = 0;
  std::array<float, 12> Floats100{};
  std::uint16_t Cfg8 = 0;
  std::uint16_t ChannelMask = 0;  // kChannelMask... above

  std::string IdentityText;  // at most 64 characters
  TMemoryStream CommentText;
  bool ConfigKnown = false;
  bool WideCfg9 = false;
  std::uint32_t ClockToSet = 0;

  // --- Job set-up by the main window
  std::array<std::string, kModemSlots> ModemCmd{};
  // Slots 0-5 are sent when their byte is exactly 1, slot 6 when it is not 0.
  std::array<std::uint8_t, kModemSlots> ModemCmdActive{};
  std::uint8_t PortNumber = 0;
  std::uint16_t ReplyTimeout = 0;  // ms
  // Cleared before a job; set once the options of the reported serial number are loaded.
  std::atomic<bool> OptionsReady{false};

  // --- Per-device options
  bool KnownDevice = false;
  bool ReadActualRec = false;
  std::uint8_t ReadFromMonth = 0;
  std::uint16_t ReadFromYear = 0;
  bool SynchTime = false;
  bool OffsetCorr = false;
  float P1OffsetBar = 0;
  float P2OffsetBar = 0;
  std::string CustomUnit;
  float P1Val = 0;
  float P2Val = 0;
  bool WriteConfig = false;
  bool ConfigFileOk = false;
  bool WLConfig = false;
  bool WriteText = false;
  bool NewID = false;
  bool NewComment = false;
  bool Registered = false;
  std::string ConfigFile;
  // Read only the pages written since the last contact and take the older ones from the
  // page cache of that contact (an option of its own beyond the registered values above).
  bool ReadOnlyNewPages = false;
  // The cache of the last contact, loaded by the main thread with the options; empty when
  // the option is off or there is no usable cache.
  std::shared_ptr<const PageCache> CachedPages;

  // --- The configuration to write, as the configuration file gave it, and the new texts
  // (the identity text and the comment are also set from the registered options). The
  // file's bus address arrives in Cfx.Address; the bus itself talks to Address above.
  CfxContent Cfx;

  // The modem command just sent or the modem's last answer. Written by the worker; the
  // main thread takes the text from the message that announces it, not from here.
  std::string ModemText;

  // --- Records, newest first
  // The record at i, or nullptr when i is out of range.
  TRec* Rec(int i) const;
  int RecCount() const { return static_cast<int>(records_.size()); }
  // Appends; the device owns the record. Returns its index.
  int AddRec(std::unique_ptr<TRec> rec);
  // Frees and removes record i with its pages; nothing happens when i is out of range.
  void DeleteRec(int i);
  // Frees every record with its pages, from the last to the first.
  void ClearRecs();

  // --- Data files written
  // The file name at i, or nullptr when i is out of range.
  TFName* FileName(int i) const;
  int FileCount() const { return static_cast<int>(files_.size()); }
  int AddFile(std::filesystem::path name);
  void ClearFiles() { files_.clear(); }

  // Fills LastRingPage, IdPage and CommentPage from the last page and the reserved pages.
  void SetMemoryLayout(std::uint16_t firstPage, std::uint16_t lastPage, std::uint8_t reservedPages);

 private:
  std::vector<std::unique_ptr<TRec>> records_;
  std::vector<std::unique_ptr<TFName>> files_;
};

}  // namespace varnel
