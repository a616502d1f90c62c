#pragma once
#include <cstdint>

namespace varnel {

// The number of a job: what the host asks a worker to do next.
using JobKind = std::uint32_t;
inline constexpr JobKind kJobModemContents = 0;  // modem set-up, wait for the call, contents
inline constexpr JobKind kJobReadRecords = 1;    // read the selected records, write options
inline constexpr JobKind kJobNextCall = 2;       // wait for the next call, then contents
inline constexpr JobKind kJobReadRecordsToo = 3; // the same job as 1
inline constexpr JobKind kJobDirectContents = 4; // contents without any modem dialogue
inline constexpr JobKind kJobHangUp = 9;         // only wait for the modem to hang up

}  // namespace varnel
