#pragma once
#include <string>
#include <vector>

// The command line of the console collector.
namespace varnel::cli {

struct CollectOptions {
  int port = 0;           // 0: the stored port
  std::string dataDir;    // empty: the stored data folder
  int calls = 0;          // 0: until stopped
  bool debug = false;     // as the command-line word "DEBUG"
  bool direct = false;    // a logger wired to the port, no modem
  int timeoutSeconds = 0; // 0: no limit
  bool help = false;
  bool status = false;    // print the state of the running collector(s) and exit
  bool notifyTest = false;  // send a test alert through every channel that is set, and exit
  std::string database;   // database URL for this run; empty: the [Database] Url= setting
  std::string error;      // set when the command line is not understood
};

CollectOptions ParseCollectOptions(const std::vector<std::string>& args);
std::string CollectHelpText();

// Exit codes of varnel-collect.
inline constexpr int kExitDone = 0;          // the calls or the direct readout went through,
                                             // or a signal stopped the run in order
inline constexpr int kExitNotRunning = 1;    // --status: a collector shown is not running
inline constexpr int kExitUsage = 2;         // the command line is not understood
inline constexpr int kExitPortFailed = 3;    // the serial port could not be opened (also:
                                             // another program holds it)
inline constexpr int kExitTimedOut = 4;      // --timeout ran out first
inline constexpr int kExitNoData = 5;        // direct readout: no file was written

}  // namespace varnel::cli
