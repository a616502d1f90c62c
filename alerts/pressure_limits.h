#pragma once
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "files/idc_reader.h"

// Pressure limits per logger: the lowest and highest P1 and P2 an operator accepts, in the
// unit the data file gives its channel. Each new file's entries are checked against them; a
// reading outside raises an alert that names the first reading outside and the extreme one.
namespace varnel {

struct ChannelLimits {
  std::optional<double> Low;
  std::optional<double> High;
};

struct LoggerLimits {
  ChannelLimits P[2];  // P1 (channel 0), P2 (channel 1)
};

// [Notify] Limits\<serial>\P1Low, P1High, P2Low, P2High (on Windows the key
// ...\Corvane\Notify\Limits\<serial>); a value that is not a number is no limit.
std::map<std::uint32_t, LoggerLimits> ReadPressureLimits();

// Readings of one channel on one side of its limit in a file.
struct LimitBreach {
  int Channel = 0;     // 0: P1, 1: P2
  bool Below = false;  // below the low limit; else above the high one
  double Limit = 0.0;
  std::string Unit;
  double First = 0.0;  // the first reading outside, and its logger time as text
  std::string FirstTime;
  double Extreme = 0.0;  // the lowest (highest) reading outside, and its time
  std::string ExtremeTime;
};

// The breaches of `limits` in the measurements of `file`, at most one per channel and side.
std::vector<LimitBreach> CheckPressureLimits(const IdcFile& file, const LoggerLimits& limits);

// "first 0.42 bar at 2026-12-11 03:10:00, lowest 0.31 bar at 2026-12-11 03:40:00 (limit 0.5 bar)"
std::string LimitBreachText(const LimitBreach& breach);

}  // namespace varnel
