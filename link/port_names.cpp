#include "link/port_names.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace varnel {

namespace {
// The COM numbers that were reached through their link in this process, one bit each.
std::atomic<std::uint32_t> g_linkedPorts{0};

std::uint32_t PortBit(int portNumber) {
  return portNumber >= 0 && portNumber < 32 ? 1u << portNumber : 0u;
}
}  // namespace

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
  if (std::filesystem::is_symlink(link, ec) || std::filesystem::exists(link, ec)) {
    g_linkedPorts |= PortBit(portNumber);
    return link;
  }
  if (portNumber < 1) return {};
  // A port reached through its link keeps to it: while the link is gone (its modem
  // unplugged, its adapter renamed) the port is missing, and the default device is some
  // other line that must not be talked to.
  if ((g_linkedPorts.load() & PortBit(portNumber)) != 0) return {};
  return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace varnel
