#include "app/program_parts.h"

#include <QCoreApplication>

#include "common/locations.h"
#include "database/database_url.h"

namespace varnel {

namespace {
// The database gets this long to take the last call's rows before the program ends.
constexpr int kDatabaseStopMs = 15000;
}  // namespace

ProgramParts::ProgramParts(QString databaseUrl)
    : history_(DefaultHistoryPath()),
      database_(
          nullptr,
          [databaseUrl] { return databaseUrl.isEmpty() ? ReadDatabaseUrlSetting() : databaseUrl; },
          [this](DatabaseEvent event, const std::string& detail) {
            if (logic_) logic_->DatabaseNotice(static_cast<int>(event), detail);
          }) {}

LogicEnvironment ProgramParts::Environment() {
  LogicEnvironment env;
  env.Link = &link_;
  env.Services = {&history_, &database_};
  return env;
}

void ProgramParts::Finish() {
  if (!database_.Stop(kDatabaseStopMs) && logic_) {
    logic_->DatabaseNotice(static_cast<int>(DatabaseEvent::StillWriting), std::string());
  }
  QCoreApplication::sendPostedEvents();
}

}  // namespace varnel
