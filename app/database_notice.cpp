#include "app/main_logic.h"

namespace varnel {

// Texts 940 ... 943 in the order of DatabaseEvent: unreachable, caught up, a file that
// cannot be read, a URL that cannot be used.
void MainLogic::DatabaseNotice(int event, const std::string& detail) {
  if (event < 0 || event > 3) return;
  MemoAndLog(Text(940 + event) + ": " + detail);
}

}  // namespace varnel
