#include "bench/fleet-day/proc_figures.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace varnel::bench {

ProcSample SampleProcess(pid_t pid) {
  ProcSample s;
  if (pid <= 0) return s;
  const std::string dir = "/proc/" + std::to_string(pid);
  std::ifstream stat(dir + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return s;
  // The name in parentheses may hold blanks: the fields are counted after its ")".
  const auto close = line.rfind(')');
  if (close == std::string::npos) return s;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) {
      stime = std::stoull(field);
      break;
    }
  }
  s.cpuS = static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  std::ifstream status(dir + "/status");
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) s.hwmKb = std::stoll(line.substr(6));
  }
  s.ok = true;
  return s;
}

}  // namespace varnel::bench
