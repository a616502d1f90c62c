#include "app/main_logic.h"

namespace varnel {

// In the order of DatabaseEvent: texts 940 ... 943 (unreachable, caught up, a file that
// cannot be read, a URL that cannot be used), then 945 (refused by the database) and 946
// (still writing when the program ends).
void MainLogic::DatabaseNotice(int event, const std::string& detail) {
  if (event < 0 || event > 5) return;
  const int text = event < 4 ? 940 + event : 941 + event;
  MemoAndLog(detail.empty() ? Text(text) : Text(text) + ": " + detail);
}

}  // namespace varnel
