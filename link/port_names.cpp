#include "link/port_names.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace varnel {

std::string PortsFolder() {
  if (const char* env = std::getenv("VARNEL_PORTS"); env && *env) return env;
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  } else if (const char* appdata = std::getenv("APPDATA"); appdata && *appdata) {
    base = appdata;
  } else {
    base = ".";
  }
  return base + "/varnel/ports";
}

std::string PortLinkPath(int portNumber) {
  return PortsFolder() + "/com" + std::to_string(portNumber);
}

std::string ResolveComPort(int portNumber) {
  const std::string link = PortLinkPath(portNumber);
  std::error_code ec;
  if (std::filesystem::is_symlink(link, ec) || std::filesystem::exists(link, ec)) return link;
  if (portNumber < 1) return {};
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace varnel
