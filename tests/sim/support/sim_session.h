#pragma once
#include <memory>
#include <string>
#include <vector>

#include "tests/sim/support/line_client.h"
#include "tests/support/json_reader.h"
#include "tests/support/sim_process.h"

namespace varnel::simtest {

using testsupport::Json;
using testsupport::ReadWholeFile;
using testsupport::SimProcess;
using testsupport::TempDir;

// A running vtq-sim with a scratch folder for its ports and files, and the host's end of
// its COM link open.
struct SimSession {
  TempDir dir{"vtq-sim-test"};
  SimProcess sim;
  std::unique_ptr<LineClient> line;

  std::string File(const std::string& name) const { return dir / name; }
  // Starts vtq-sim with args and opens COM<port>; true when both worked.
  bool Start(const std::vector<std::string>& args, int port = 1);
};

}  // namespace varnel::simtest
