#include "link/port_owner.h"

namespace varnel {

std::string DescribePortOwner(const PortOwner& owner) {
  if (owner.pid <= 0) return owner.program;
  const std::string pid = "pid " + std::to_string(owner.pid);
  return owner.program.empty() ? pid : owner.program + ", " + pid;
}

}  // namespace varnel
