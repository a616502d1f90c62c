#include "app/main_logic.h"
#include "lang/text_ids.h"

namespace varnel {

// In the order of DatabaseEvent, the texts follow each other in the string table: four from
// kTextDatabaseUnreachable on (unreachable, caught up, a file that cannot be read, a URL that
// cannot be used), then, past the setting's caption, two from kTextDatabaseRefused on
// (refused by the database, still writing when the program ends), then three from
// kTextDatabaseNotAnswering on (not answering, set aside, outbox not writable).
void MainLogic::DatabaseNotice(int event, const std::string& detail) {
  if (event < 0 || event > 8) return;
  const int text = event < 4   ? kTextDatabaseUnreachable + event
                   : event < 6 ? kTextDatabaseRefused + event - 4
                               : kTextDatabaseNotAnswering + event - 6;
  MemoAndLog(detail.empty() ? Text(text) : Text(text) + ": " + detail);
}

void MainLogic::AlertNotice(const std::string& line) { MemoAndLog(line, MemoTone::Warning); }

}  // namespace varnel
