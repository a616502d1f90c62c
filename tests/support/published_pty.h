#pragma once
#include <string>

#include "tests/support/sim_process.h"

namespace varnel::testsupport {

// A pseudo-terminal whose line end is published as COM `port` in a ports folder of its own,
// which VARNEL_PORTS of this process then names: the program under test opens that COM
// port, the test plays the far end on Master() (non-blocking). Removed with the object.
class PublishedPty {
 public:
  explicit PublishedPty(int port, const std::string& prefix = "varnel-pty");
  ~PublishedPty();
  PublishedPty(const PublishedPty&) = delete;
  PublishedPty& operator=(const PublishedPty&) = delete;

  bool Ok() const { return master_ >= 0; }
  int Master() const { return master_; }

 private:
  TempDir dir_;
  int master_ = -1;
};

}  // namespace varnel::testsupport
