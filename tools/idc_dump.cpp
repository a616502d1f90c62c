// idc-dump: prints a .idc data file as JSON (the default) or as CSV, one row per
// measurement. Exits with 0 on success, 1 when the file cannot be read or is not a valid
// data file (the reason, with the byte offset, goes to standard error), 2 on a wrong
// command line.
#include <cstring>
#include <iostream>
#include <string>

#include "files/file_error.h"
#include "files/idc_reader.h"
#include "files/idc_text.h"

namespace {

constexpr const char* kUsage =
    "usage: idc-dump [--json | --csv] FILE.IDC\n"
    "  --json  the whole file as one JSON object (default)\n"
    "  --csv   one line per measurement: datetime,kind,value,extra\n"
    "          (datetime local time in ISO 8601; kind 0-14 the channel, 15 event,\n"
    "          16 time marker)\n";

}  // namespace

int main(int argc, char** argv) {
  bool csv = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      csv = false;
    } else if (arg == "--csv") {
      csv = true;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
      std::cerr << "idc-dump: unknown option " << arg << "\n" << kUsage;
      return 2;
    } else {
      if (arg == "--") {
        if (++i >= argc) break;
      }
      if (!path.empty()) {
        std::cerr << "idc-dump: one file at a time\n" << kUsage;
        return 2;
      }
      path = argv[i];
    }
  }
  if (path.empty()) {
    std::cerr << kUsage;
    return 2;
  }

  try {
    const varnel::IdcFile file = varnel::ReadIdcFile(path);
    if (csv) {
      varnel::WriteIdcCsv(std::cout, file);
    } else {
      varnel::WriteIdcJson(std::cout, file);
    }
    std::cout.flush();
    if (!std::cout) {
      std::cerr << "idc-dump: cannot write the output\n";
      return 1;
    }
  } catch (const varnel::FileError& e) {
    std::cerr << "idc-dump: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "idc-dump: " << path << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}
