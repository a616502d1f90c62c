#include "gui/desktop_check.h"

#include <cstdlib>
#include <cstring>

namespace varnel {

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::string MissingDesktopProblem(int argc, char** argv) {
#if defined(_WIN32) || defined(__APPLE__)
  (void)argc;
  (void)argv;
  return {};
#else
  // A platform chosen by the caller (offscreen, a VNC server, ...) is the caller's business.
  if (IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return {};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0) {
      return {};
    }
  }
  return "varnel needs a desktop (no X11 or Wayland display is set); start it on one, or under "
         "xvfb-run, or collect without a window with varnel-collect";
#endif
}

}  // namespace varnel
