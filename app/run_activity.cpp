// What the program does now and what the last call gave, said in a few lines for the tray
// icon, where an operator looks for it while the window is hidden.
#include "app/main_logic.h"
#include "common/locale_text.h"
#include "lang/text_ids.h"

namespace varnel {

void MainLogic::ClearDeviceState() {
  loggerOnLine_.reset();
  if (StatusPanel0.empty()) return;
  StatusPanel0.clear();
  view_.SetStatusPanel(0, StatusPanel0);
}

void MainLogic::SayActivity(const std::string& now) {
  activityNow_ = now.empty() ? Text(kTextStopped) : now;
  std::string text = Text(kTextProgramName) + "\n" + activityNow_;
  if (!lastCall_.empty()) text += "\n" + lastCall_;
  view_.SetActivityText(text);
}

void MainLogic::WaitingForCall() {
  loggerOnLine_.reset();
  // The modem answered its set-up: whatever kept it away is over.
  modemGoneSince_.reset();
  setupFailingSince_.reset();
  SayActivity(Text(kTextWaitingSince) + " " + NowText().toStdString());
}

void MainLogic::LoggerOnLine(std::uint32_t serialNumber) {
  loggerOnLine_ = serialNumber;
  SayActivity(Text(kTextReadingLogger) + " " + std::to_string(serialNumber));
}

void MainLogic::CallEnded(const std::string& result, std::optional<std::uint32_t> logger) {
  const std::string who =
      logger ? ", " + Text(kTextSerialNumber) + " " + std::to_string(*logger) : std::string();
  lastCall_ = Text(kTextLastCall) + " " + NowText().toStdString() + who + ": " + result;
  SayActivity(activityNow_);
}

}  // namespace varnel
