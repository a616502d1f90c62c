#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/fleet.h"
#include "sim/logger.h"
#include "sim/modem.h"

namespace varnel::sim {

struct SimOptions {
  // line
  int port = 1;
  std::string device;          // a serial device instead of a pseudo-terminal
  bool forceLink = false;
  unsigned baud = 0;           // 0: full speed
  bool echo = false;
  int replyDelayMs = 0;
  // modem
  bool modem = false;
  ModemSettings modemSettings;
  double lingerSeconds = 3.0;  // after the last call, before exiting
  FleetSettings fleet;         // several loggers behind the modem
  // logger
  int address = -1;            // -1: 250 direct, 251 behind the modem
  LoggerSetup logger;
  // output
  std::string truthPath;
  std::string framesPath;
  std::string memoryDumpPath;

  bool help = false;
};

struct ParsedOptions {
  SimOptions options;
  std::string error;  // "" when the command line was understood
};

ParsedOptions ParseSimOptions(const std::vector<std::string>& args);
std::string SimHelpText();
// The option names the parser knows ("--port", ...), for checking the help text.
std::vector<std::string> SimOptionNames();

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM[:SS]" or a plain number of seconds, as device time
// (seconds since 2000-01-01 00:00:00); empty when the text is neither.
std::optional<std::uint32_t> ParseDeviceTime(const std::string& text);

}  // namespace varnel::sim
