#include "tests/sim/support/sim_session.h"

namespace varnel::simtest {

bool SimSession::Start(const std::vector<std::string>& args, int port) {
  if (!sim.Start(args, dir / "ports", 5000)) return false;
  line = std::make_unique<LineClient>(dir / ("ports/com" + std::to_string(port)));
  return line->ok();
}

}  // namespace varnel::simtest
