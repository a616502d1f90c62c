#pragma once
// A running process's figures from /proc: processor time and peak resident memory.
#include <sys/types.h>

namespace varnel::bench {

struct ProcSample {
  bool ok = false;
  double cpuS = 0;    // user + system time
  long long hwmKb = 0;  // VmHWM: the peak resident set
};

ProcSample SampleProcess(pid_t pid);

}  // namespace varnel::bench
