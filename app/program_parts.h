#pragma once
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "alerts/alert_channels.h"
#include "alerts/alert_service.h"

#include "app/facade_link.h"
#include "app/main_logic.h"
#include "database/database_sink.h"
#include "database/contact_store.h"

// The parts around the window logic, built in one place for the window and the console
// collector: the link to the serial line, and the services each contact goes to after the
// data files' own steps -- the history of contacts, the database beside the files, and the
// alerts that read the history.
namespace varnel {

class ProgramParts {
 public:
  // `databaseUrl`: the database to use instead of the stored setting (empty: the setting).
  explicit ProgramParts(QString databaseUrl = {});
  ProgramParts(const ProgramParts&) = delete;
  ProgramParts& operator=(const ProgramParts&) = delete;

  // The window logic's environment with the link and the services; the front end adds the
  // rest (arguments, observer, log file).
  LogicEnvironment Environment();
  // The logic built from it: what the database reports goes to its memo and log, and the
  // alerts look at it every minute while Start is down.
  void Attach(MainLogic& logic);
  AlertChannels& Alerts() { return alertChannels_; }
  // At the end of the program: the rows of the last call go in first, and what the
  // database said about them still reaches the memo and the log.
  void Finish();

 private:
  // First: the parts below ask for it (still null) while they are made.
  MainLogic* logic_ = nullptr;
  FacadeLink link_;
  // Every contact goes into the history; a history that cannot be written is logged and
  // the readout goes on.
  ContactStore history_;
  // With a database set, the entries of the new files follow, off the window's thread.
  DatabaseSink database_;
  std::optional<std::int64_t> databaseDownSince_;
  AlertChannels alertChannels_;
  AlertService alerts_;
  QTimer alertTimer_;

  std::string Text(int id) const;
  void CheckAlerts();
};

}  // namespace varnel
