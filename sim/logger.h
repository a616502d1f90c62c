#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/command_handler.h"
#include "sim/logger_device.h"
#include "sim/prng.h"
#include "sim/record_book.h"
#include "sim/record_writer.h"

namespace varnel::sim {

// Misbehaviour on purpose, for the reliability tests of the collector.
struct LoggerFaults {
  int ignoreIdentity = 0;            // the first N identity requests go unanswered
  double corruptFraction = 0.0;      // this share of replies gets one bit flipped (seeded)
  int stopAfterPageReads = -1;       // after N page reads the logger falls silent for the call
  int hangupAfterPageReads = -1;     // after N page reads of the first call the line drops during the next reply
  std::optional<std::uint32_t> nextSerial;  // the serial number reported from the next call on
  struct ErrorReply {
    std::uint8_t function = 0;
    std::uint8_t code = 0;
    int skip = 0;                    // requests of that function answered normally first
  };
  std::vector<ErrorReply> errorReplies;
};

struct LoggerSetup {
  std::uint8_t address = 250;
  MemoryLayout layout;
  LoggerRegisters registers;
  std::uint64_t seed = 1;
  FillSettings fill;
  std::optional<std::uint32_t> clock;  // initial device time; default: after the newest record
  int recordEvery = 0;                 // write a ring page every N requests while recording
  int pagesBetweenCalls = 0;           // pages of the newest run written after each call
  int entriesBetweenCalls = 0;         // entries added to the newest run after each call
  std::string identityText = "Pump station 4";
  std::string commentText;
  LoggerFaults faults;
};

// The logger behind the line: turns complete request frames into reply bytes, applies the
// faults, and keeps recording while it is active.
class Logger {
 public:
  struct Answer {
    std::vector<std::uint8_t> reply;     // bytes to send; empty for no reply
    std::size_t hangUpAfter = kNoHangUp; // the line drops after this many reply bytes
    bool forUs = false;                  // addressed to this logger (or to all) with a good CRC
    bool restarted = false;
    std::string note;                    // why there is no or an altered reply
    static constexpr std::size_t kNoHangUp = static_cast<std::size_t>(-1);
  };

  explicit Logger(const LoggerSetup& setup);
  // "" when the memory could be built, else why not.
  const std::string& error() const { return error_; }

  Answer Handle(const std::vector<std::uint8_t>& frame, std::int64_t nowMs);
  // Calls delimit the per-call faults: a new call starts fresh, and a changed serial number
  // takes effect from the call after the first.
  void CallEnded();

  const LoggerDevice& device() const { return device_; }
  LoggerDevice& device() { return device_; }
  const RecordBook& book() const { return book_; }
  int callNumber() const { return call_; }
  std::uint64_t pagesRecorded() const { return pagesRecorded_; }

 private:
  void Record(std::int64_t nowMs);

  LoggerSetup setup_;
  LoggerDevice device_;
  RecordBook book_;
  RecordWriter writer_;
  Prng faultRng_;
  std::string error_;

  int call_ = 1;
  int identityIgnored_ = 0;
  int pageReadsThisCall_ = 0;
  bool silent_ = false;
  bool hungUp_ = false;
  bool newRecordDue_ = false;
  std::uint64_t framesForUs_ = 0;
  std::uint64_t pagesRecorded_ = 0;
  std::map<std::uint8_t, int> requestsByFunction_;
};

}  // namespace varnel::sim
