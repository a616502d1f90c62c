#pragma once
#include <map>
#include <string>
#include <string_view>

namespace varnel::sim {

// The command side of the PC's modem: collects typed characters into lines, echoes them
// while echo is on, and answers each line that begins with "AT" with its result ("OK",
// "ERROR", or the numeric codes 0 and 4 after ATV0). Lines without "AT" are ignored, as a
// modem does.
class AtInterpreter {
 public:
  explicit AtInterpreter(bool numericResults = false) : verbose_(!numericResults) {}

  // Characters received in command mode; returns what the modem sends back.
  std::string Feed(std::string_view bytes);
  // Drops a half-typed line (when the modem leaves command mode).
  void ClearLine() { line_.clear(); }

  bool echo() const { return echo_; }
  // Lines beginning with "AT" carried out so far.
  int commandsRun() const { return commandsRun_; }
  bool verbose() const { return verbose_; }
  // A line result in the current format, e.g. Result("OK") or a text line.
  std::string Result(bool ok) const;

 private:
  std::string Execute(const std::string& line);
  std::string Settings() const;
  bool Run(std::string_view cmds, std::string& info);

  std::string line_;
  std::string last_;          // for "A/"
  bool echo_ = true;
  bool verbose_ = true;
  bool quiet_ = false;
  int commandsRun_ = 0;
  std::map<std::string, int> flags_ = {{"L", 1}, {"M", 1}, {"X", 4}, {"&C", 1}, {"&D", 2}, {"&H", 3}};
  std::map<int, int> sregs_ = {{0, 0}, {1, 0}, {2, 43}, {3, 13}, {4, 10}, {5, 8}, {6, 2}, {7, 50}};
  int ipr_ = 9600;
};

}  // namespace varnel::sim
