#include "sim/at_interpreter.h"

#include <cctype>
#include <cstdio>

namespace varnel::sim {

namespace {
std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// Reads a decimal number at s[i]; returns `fallback` when there is none.
int Number(std::string_view s, std::size_t& i, int fallback) {
  if (i >= s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return fallback;
  int v = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && v < 100000)
    v = v * 10 + (s[i++] - '0');
  return v;
}
}  // namespace

std::string AtInterpreter::Result(bool ok) const {
  if (quiet_) return "";
  if (verbose_) return ok ? "\r\nOK\r\n" : "\r\nERROR\r\n";
  return ok ? "0\r" : "4\r";
}

std::string AtInterpreter::Feed(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    if (echo_) out.push_back(c);
    if (c == '\r') {
      out += Execute(line_);
      line_.clear();
    } else if (c == '\b' || c == 0x7F) {
      if (!line_.empty()) line_.pop_back();
    } else if (c == '\n') {
      // the line feed after the carriage return has no meaning
    } else if (line_.size() < 80) {
      line_.push_back(c);
      if (line_.size() == 2 && Upper(line_) == "A/") {
        out += Execute(last_);
        line_.clear();
      }
    }
  }
  return out;
}

std::string AtInterpreter::Settings() const {
  char buf[256];
  std::string s = "\r\nACTIVE PROFILE:\r\n";
  std::snprintf(buf, sizeof buf, "E%d L%d M%d Q%d V%d X%d &C%d &D%d &H%d\r\n", echo_ ? 1 : 0,
                flags_.at("L"), flags_.at("M"), quiet_ ? 1 : 0, verbose_ ? 1 : 0, flags_.at("X"),
                flags_.at("&C"), flags_.at("&D"), flags_.at("&H"));
  s += buf;
  std::string regs;
  for (const auto& [n, v] : sregs_) {
    std::snprintf(buf, sizeof buf, "S%02d:%03d ", n, v);
    regs += buf;
  }
  if (!regs.empty()) regs.pop_back();
  s += regs + "\r\n";
  std::snprintf(buf, sizeof buf, "+IPR=%d\r\n", ipr_);
  s += buf;
  return s;
}

bool AtInterpreter::Run(std::string_view cmds, std::string& info) {
  std::size_t i = 0;
  while (i < cmds.size()) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(cmds[i++])));
    switch (c) {
      case ' ':
        break;
      case 'E':
        echo_ = Number(cmds, i, 0) != 0;
        break;
      case 'V':
        verbose_ = Number(cmds, i, 0) != 0;
        break;
      case 'Q':
        quiet_ = Number(cmds, i, 0) != 0;
        break;
      case 'L':
      case 'M':
      case 'X':
        flags_[std::string(1, c)] = Number(cmds, i, 0);
        break;
      case 'H':
      case 'O':
        Number(cmds, i, 0);
        break;
      case 'Z':
        Number(cmds, i, 0);
        echo_ = verbose_ = true;
        quiet_ = false;
        break;
      case 'I':
        Number(cmds, i, 0);
        info += "\r\nLine modem stand-in 9600\r\n";
        break;
      case 'S': {
        const int reg = Number(cmds, i, -1);
        if (reg < 0) return false;
        if (i < cmds.size() && cmds[i] == '=') {
          ++i;
          sregs_[reg] = Number(cmds, i, 0) & 0xFF;
        } else if (i < cmds.size() && cmds[i] == '?') {
          ++i;
          char buf[16];
          std::snprintf(buf, sizeof buf, "\r\n%03d\r\n", sregs_.count(reg) ? sregs_[reg] : 0);
          info += buf;
        } else {
          return false;
        }
        break;
      }
      case '&': {
        if (i >= cmds.size()) return false;
        const char k = static_cast<char>(std::toupper(static_cast<unsigned char>(cmds[i++])));
        if (!std::isalpha(static_cast<unsigned char>(k))) return false;
        const int v = Number(cmds, i, 0);
        if (k == 'V') {
          info += Settings();
        } else if (k == 'F') {
          echo_ = verbose_ = true;
          quiet_ = false;
        } else {
          flags_["&" + std::string(1, k)] = v;
        }
        break;
      }
      case '+': {
        // Extended commands run to the next ";" or the end of the line.
        std::size_t end = cmds.find(';', i);
        if (end == std::string_view::npos) end = cmds.size();
        const std::string ext = Upper(cmds.substr(i, end - i));
        if (ext.rfind("IPR=", 0) == 0) {
          std::size_t j = 4;
          const int v = Number(ext, j, -1);
          if (v <= 0 || j != ext.size()) return false;
          ipr_ = v;
        }
        i = end < cmds.size() ? end + 1 : end;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

std::string AtInterpreter::Execute(const std::string& raw) {
  std::size_t b = 0;
  while (b < raw.size() && raw[b] == ' ') ++b;
  const std::string line = raw.substr(b);
  if (line.size() < 2 || Upper(line.substr(0, 2)) != "AT") return "";
  last_ = line;
  ++commandsRun_;
  std::string info;
  const bool ok = Run(std::string_view(line).substr(2), info);
  // Settings changed by the line (ATV0, ATQ1) already apply to its own result.
  return info + Result(ok);
}

}  // namespace varnel::sim
