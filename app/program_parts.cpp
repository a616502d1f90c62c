#include "app/program_parts.h"

#include <QCoreApplication>

#include <QDateTime>

#include "common/locations.h"
#include "database/database_url.h"
#include "history/history_settings.h"
#include "lang/lang.h"

namespace varnel {

namespace {
// The database gets this long to take the last call's rows before the program ends.
constexpr int kDatabaseStopMs = 15000;
// How often the alerts look at the collector and (now and then) at every logger.
constexpr int kAlertCheckMs = 60000;
// The alert mail of the last call gets this long to go out; the rest is kept for the next start.
constexpr int kAlertMailStopMs = 5000;

// The tests shorten the check with VARNEL_TEST_ALERT_CHECK_MS, to see a collector that keeps
// running notice what only time brings (an overdue logger, the digest hour).
int AlertCheckMs() {
  const int ms = qEnvironmentVariableIntValue("VARNEL_TEST_ALERT_CHECK_MS");
  return ms > 0 ? ms : kAlertCheckMs;
}
}  // namespace

ProgramParts::ProgramParts(QString databaseUrl)
    : history_(DefaultHistoryPath()),
      database_(
          nullptr,
          [databaseUrl] { return databaseUrl.isEmpty() ? ReadDatabaseUrlSetting() : databaseUrl; },
          [this](DatabaseEvent event, const std::string& detail) {
            if (event == DatabaseEvent::Unreachable || event == DatabaseEvent::NotAnswering) {
              if (!databaseDownSince_) databaseDownSince_ = QDateTime::currentSecsSinceEpoch();
            } else if (event == DatabaseEvent::CaughtUp) {
              databaseDownSince_.reset();
            }
            if (logic_) logic_->DatabaseNotice(static_cast<int>(event), detail);
          }),
      alertChannels_(
          ReadAlertSettings(), [this](int id) { return Text(id); },
          [this](const std::string& line) {
            if (logic_) logic_->AlertNotice(line);
          },
          DefaultAlertMailKeepPath()),
      alerts_(alertChannels_, DefaultAlertBookPath(), &history_, ReadHistoryThresholds(),
              [this](int id) { return Text(id); }, ReadPressureLimits()) {
  alertTimer_.setInterval(AlertCheckMs());
  QObject::connect(&alertTimer_, &QTimer::timeout, [this] { CheckAlerts(); });
}

void ProgramParts::Attach(MainLogic& logic) {
  logic_ = &logic;
  alertTimer_.start();
}

std::string ProgramParts::Text(int id) const {
  return logic_ ? logic_->Text(id) : LoadText(id, kEnglishBase);
}

void ProgramParts::CheckAlerts() {
  if (!logic_ || !logic_->StartDown()) return;
  CollectorHealth health;
  health.ModemGoneSince = logic_->ModemGoneSince();
  health.SetupFailingSince = logic_->SetupFailingSince();
  health.DatabaseDownSince = databaseDownSince_;
  health.DataFolder = logic_->DataFolder();
  alerts_.Check(QDateTime::currentSecsSinceEpoch(), health);
}

LogicEnvironment ProgramParts::Environment() {
  LogicEnvironment env;
  env.Link = &link_;
  env.Services = {&history_, &database_, &alerts_};
  return env;
}

void ProgramParts::Finish() {
  alertTimer_.stop();
  alertChannels_.Flush(kAlertMailStopMs);
  if (!database_.Stop(kDatabaseStopMs) && logic_) {
    logic_->DatabaseNotice(static_cast<int>(DatabaseEvent::StillWriting), std::string());
  }
  QCoreApplication::sendPostedEvents();
}

}  // namespace varnel
