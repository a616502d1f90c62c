#pragma once
#include <string>
#include <utility>
#include <vector>

// One alert into the system's own log, where a site's monitoring already looks: on Linux the
// journal, with the alert's fields as fields of the entry a rule can match (syslog where no
// journal runs); on Windows the Application event log under the source the installer
// registers.
namespace varnel {

struct SystemLogEntry {
  bool Cleared = false;  // notice (Windows: information) when cleared, else warning
  std::string Subject;   // the entry's message
  std::string Body;      // the mail's body: what, whom, since, the figures
  // NAME=value pairs; names of capitals, digits and '_' ("VARNEL_ALERT_KEY").
  std::vector<std::pair<std::string, std::string>> Fields;
};

// Empty when the entry went in; otherwise why not.
std::string WriteSystemLog(const SystemLogEntry& entry);

// The journal's native datagram: one field per line, a value with a line break in it as
// its name, a newline, its 64-bit little-endian length and the bytes.
std::string JournalDatagram(const std::vector<std::pair<std::string, std::string>>& fields);

}  // namespace varnel
