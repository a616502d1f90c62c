#include "sim/port_link.h"

#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "link/port_names.h"

namespace varnel::sim {

namespace fs = std::filesystem;

std::string PortLink::Publish(int portNumber, const std::string& target, bool force) {
  Remove();
  const fs::path link = PortLinkPath(portNumber);
  std::error_code ec;
  fs::create_directories(link.parent_path(), ec);
  if (ec) return "cannot create the ports folder " + link.parent_path().string() + ": " + ec.message();

  std::string previous;
  const fs::file_status st = fs::symlink_status(link, ec);
  if (fs::exists(st)) {
    if (!fs::is_symlink(st))
      return link.string() + " exists and is not a link; it is left alone";
    const fs::path old = fs::read_symlink(link, ec);
    // A link left by a simulator that was killed can point at the very device this one
    // got (the system hands the number out again): that is no other simulator's link.
    const bool live = fs::exists(link, ec) && old != target;
    if (live && !force)
      return link.string() + " already points at " + old.string() +
             " (another simulator, or a real port); use --force-link to take it over";
    if (live) previous = old.string();
  }
  // Make the new link beside it and rename it over the old one, so the name never vanishes.
  const fs::path tmp = link.string() + ".new" + std::to_string(::getpid());
  fs::remove(tmp, ec);
  fs::create_symlink(target, tmp, ec);
  if (ec) return "cannot create " + tmp.string() + ": " + ec.message();
  fs::rename(tmp, link, ec);
  if (ec) {
    fs::remove(tmp, ec);
    return "cannot create " + link.string();
  }
  path_ = link.string();
  target_ = target;
  previous_ = previous;
  return "";
}

void PortLink::Remove() {
  if (path_.empty()) return;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path_, ec)) && fs::read_symlink(path_, ec) == target_) {
    fs::remove(path_, ec);
    if (!previous_.empty()) fs::create_symlink(previous_, path_, ec);
  }
  path_.clear();
  target_.clear();
  previous_.clear();
}

}  // namespace varnel::sim
