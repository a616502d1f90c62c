#include "reader/reader_options.h"

#include <cctype>

namespace varnel::reader {

const char* const kReaderUsage =
    "usage: vtq-read COMn [--data DIR] [--all] [--keep-clock]\n"
    "  Reads the logger wired to serial port COMn (address 250, no modem) once and writes\n"
    "  one .idc file per record read into DIR/<serial>/ (DIR defaults to the current folder;\n"
    "  it is created when missing, and a folder that cannot take files is refused before\n"
    "  the logger is touched).\n"
    "  --all         read every record (default: the current record only)\n"
    "  --keep-clock  do not set the logger's clock to the PC clock\n"
    "Exit status: 0 files written, 2 bad command line, 3 the port could not be opened,\n"
    "5 no file written.\n";

namespace {

// "COM3", "com3" or "3": the port number 0..9, or -1.
int PortNumberOf(std::string text) {
  if (text.size() > 3) {
    std::string head = text.substr(0, 3);
    for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (head == "COM") text = text.substr(3);
  }
  if (text.size() != 1 || !std::isdigit(static_cast<unsigned char>(text[0]))) return -1;
  return text[0] - '0';
}

}  // namespace

std::optional<ReaderOptions> ParseReaderOptions(const std::vector<std::string>& args,
                                                std::string& error) {
  ReaderOptions o;
  bool havePort = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--all") {
      o.allRecords = true;
    } else if (a == "--keep-clock") {
      o.keepClock = true;
    } else if (a == "--data") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--data expects a folder";
        return std::nullopt;
      }
      o.dataDir = args[++i];
    } else if (!havePort && PortNumberOf(a) >= 0) {
      o.port = PortNumberOf(a);
      havePort = true;
    } else {
      error = "unexpected argument: " + a;
      return std::nullopt;
    }
  }
  if (!havePort && !o.help) {
    error = "which port? give COM1 ... COM9";
    return std::nullopt;
  }
  return o;
}

}  // namespace varnel::reader
