#pragma once
#include <string>
#include <vector>

#include "device/device.h"

// The record list that the operator sees after a record table was read, its text for the
// program log, and the rule that ticks the records to read.
namespace varnel {

struct RecordEntry {
  std::string Text;  // number, start time, share of the ring
  bool Ticked = false;
  // The three columns of Text on their own, without padding, for a view that lines them up
  // under headings of its own (empty where only Text was given).
  std::string Number, Start, Share;
};

struct RecordListText {
  std::vector<RecordEntry> Entries;
  // The heading and one line per record, joined by CR LF, for one log call.
  std::string LogText;
};

// One entry per record of the device (newest first): the number right-aligned to five
// places, four blanks, the start time; then the record's share of the ring in percent with
// one decimal, right-aligned to six places, and four blanks. `heading` is the log text's
// first line (without its colon).
RecordListText BuildRecordList(const TDevice& device, const std::string& heading);

// Ticks entry 0 and, unless only the current record is to be read and when there are at
// least two entries, every entry i >= 1 whose record started in or after the device's
// read-from month and year.
void TickByReadRule(const TDevice& device, std::vector<RecordEntry>& entries);

}  // namespace varnel
