#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device.h"
#include "device/page_cache.h"

// What one contact with a logger showed: the figures the window logic saw during the call,
// kept per contact in the history, and the consumers they go to. No Qt.
namespace varnel {

// Stored by name (ContactResultName); new results are added at the end.
enum class ContactResult {
  Complete,         // every selected record read (or none to read) and the files written
  Partial,          // the reading broke off after some pages
  Dropped,          // the line went before anything was read
  DeviceChanged,    // another logger answered during the readout
  NoCommunication,  // no logger answered
  FilesNotWritten,  // records were read, but their data files were not (all) written
  Stopped,          // Start was released (or the program ended) during the reading
  FallbackFolder,   // as Complete, but the data folder could not take the files: they lie in
                    // the fallback folder
};

// "complete", "partial", ... as stored and printed; ParseContactResult is its inverse.
const char* ContactResultName(ContactResult result);
std::optional<ContactResult> ParseContactResult(const std::string& name);

struct ContactFigures {
  std::int64_t Time = 0;          // PC time of the contact's start, seconds since 1970 (UTC)
  std::uint32_t SerialNumber = 0;  // 0 when the logger did not say
  std::string IdentityText;
  std::string DeviceId;  // "d0.d1" of the identity reply
  std::string Firmware;  // "d2.d3"
  std::optional<int> Battery;               // percent
  std::optional<std::int64_t> ClockOffset;  // device clock minus PC clock, seconds
  bool ClockSet = false;                    // the device clock was set to the PC's in this call
  std::optional<int> LastPage;
  std::optional<int> ReservedPages;
  std::optional<double> RingUse;  // share of the record ring that the records fill, 0..1
  int StateBits = 0;              // bit n: device state n (0 stopped ... 3 memory full) reported
  int ErrorBits = 0;              // bit n: device error n (0 record, 1 battery, 2 ack) reported
  int RecordsListed = 0;
  int RecordsRead = 0;
  int PagesRead = 0;
  std::uint64_t LineBytes = 0;  // sent and received during the call
  double Duration = 0.0;        // seconds from the connection (or the job start) to its end
  ContactResult Result = ContactResult::Dropped;
  std::vector<std::string> Files;  // data files written, full paths
  std::string DataFolder;          // the data folder of the run (a file may lie outside it)
  std::string Collector;           // the PC that took the call (its host name)
  int Port = 0;                    // its COM port number; 0: not known
  // Which contact of this run it is (counted from 1; 0: not counted). Not stored: it tells
  // a service the contact that ends from the one it was told of when it began.
  std::uint64_t Number = 0;
};

// The data files that one file worker wrote for a contact.
struct CallFiles {
  const TDevice& Device;  // its file list is these files, in the order written
  bool AllRecords = true;  // false: the worker stopped or failed after these
  const PageCache* Cache = nullptr;  // the pages of its records, with the option to read
                                     // only new pages
};

// One consumer of what each contact gave, registered once at start (the data files' own
// steps, the history, the database): the window logic calls every one in the order
// registered, on its own thread, so a service hands slow work to a thread of its own.
class ContactService {
 public:
  virtual ~ContactService() = default;
  // A contact began (its Number and Time are set, little else yet).
  virtual void ContactOpened(const ContactFigures& /*contact*/) {}
  // A data file was committed under its name. Called on the file worker's thread, at once:
  // a service must be safe to call from there and must not hold it up.
  virtual void FileCommitted(const std::string& /*path*/) {}
  // The file worker of a contact wrote at least one data file.
  virtual void FilesWritten(const CallFiles& /*files*/) {}
  // The contact is over and its figures complete. Returns an empty text on success, else
  // the reason it could not be kept (the logic logs it and goes on).
  virtual std::string ContactEnded(const ContactFigures& /*contact*/) { return {}; }
  // The operator (or the collector) started collecting: a service may catch up with what it
  // could not keep before. Must return at once.
  virtual void CollectingStarted() {}
};

}  // namespace varnel
