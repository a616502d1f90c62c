#include "tests/support/published_pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

namespace varnel::testsupport {

PublishedPty::PublishedPty(int port, const std::string& prefix) : dir_(prefix) {
  ::setenv("VARNEL_PORTS", dir_.path().c_str(), 1);
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    return;
  }
  std::filesystem::create_symlink(::ptsname(master_),
                                  std::filesystem::path(dir_.path()) / ("com" + std::to_string(port)));
}

PublishedPty::~PublishedPty() {
  if (master_ >= 0) ::close(master_);
}

}  // namespace varnel::testsupport
