#pragma once
// The data files a fleet's collectors wrote, held against the fleet's truth: each answered
// call should have given one file of the logger's newest record (the collector's default
// read rule for a logger it does not know), entry for entry.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/fleet_truth.h"

namespace varnel::bench {

struct FileFigures {
  int callsExpected = 0;    // answered calls in the truth
  int callsWithFile = 0;    // of those, calls a file matches entry for entry
  int files = 0;            // data files found (backups not counted)
  int duplicateFiles = 0;   // files of a call another file already stands for
  int strayFiles = 0;       // files that match no call (wrong content, unreadable)
  long long entriesExpected = 0, entriesInMatchedFiles = 0;
  std::vector<std::string> notes;  // the first few strays and misses, for the report
  // Per serial: entries of all its answered calls' newest records (for the database check).
  std::map<std::uint32_t, long long> entriesBySerial;
  std::map<std::uint32_t, int> filesBySerial;  // matched files per serial
};

// `dataFolders`: the folders the collectors wrote to, each holding one folder per serial.
FileFigures CheckFiles(const std::vector<testsupport::FleetTruth>& truths,
                       const std::vector<std::filesystem::path>& dataFolders);

}  // namespace varnel::bench
