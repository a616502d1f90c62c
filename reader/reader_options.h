#pragma once
#include <optional>
#include <string>
#include <vector>

namespace varnel::reader {

// The command line of vtq-read: COMn (or n) [--data DIR] [--all] [--keep-clock].
struct ReaderOptions {
  int port = 0;
  std::string dataDir = ".";
  bool allRecords = false;  // every record, not only the current one
  bool keepClock = false;   // leave the logger's clock as it is
  bool help = false;
};

// Parses the arguments after the program name; the error text is set when they are wrong.
std::optional<ReaderOptions> ParseReaderOptions(const std::vector<std::string>& args,
                                                std::string& error);

extern const char* const kReaderUsage;

}  // namespace varnel::reader
