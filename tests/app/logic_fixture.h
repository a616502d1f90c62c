#pragma once
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "app/main_logic.h"
#include "manual_timer.h"
#include "recording_launcher.h"
#include "recording_link.h"
#include "recording_view.h"
#include "tests/common/temp_store.h"

namespace varnel::test {

// The window logic with a recording view, link, launcher and manual timers.
class LogicTest : public TempStore {
 protected:
  void MakeLogic(QStringList arguments = {}) {
    LogicEnvironment env;
    env.Arguments = arguments;
    env.ProgramPath = ProgramPath();
    env.Link = &link;
    env.Observer = &view;
    env.Timers = &timers;
    env.Launcher = &launcher;
    env.Pause = [this](int ms) { pauses.push_back(ms); };
    logic = std::make_unique<MainLogic>(view, env);
  }
  void Create(QStringList arguments = {}) {
    MakeLogic(arguments);
    logic->FormCreate();
  }
  // Start pressed with the port opening; the memo is emptied afterwards.
  void StartRunning() {
    logic->PressStart();
    ASSERT_TRUE(logic->StartDown());
    view.memo.clear();
  }
  ManualTimer& RestartTimer() { return *timers.made.at(1); }
  std::vector<std::string> LoggedTexts() const {
    std::vector<std::string> out;
    for (const auto& l : LogLines()) out.push_back(AfterStamp(l));
    return out;
  }

  RecordingView view;
  RecordingLink link;
  ManualTimerFactory timers;
  RecordingLauncher launcher;
  std::vector<int> pauses;
  std::unique_ptr<MainLogic> logic;
};

}  // namespace varnel::test
