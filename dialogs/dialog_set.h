#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "alerts/alert_settings.h"

class QWidget;

// The program's dialogs, created once at start in the program's order (configuration,
// read/write options, folder chooser, add-device prompt, log viewer, message box) and alive
// until the program ends; each is shown modally when needed.
namespace varnel {

class MainLogic;
class TFormAddDev;
class TFormConfig;
class TFormDir;
class TFormLogFile;
class TFormLoggerConfig;
class TFormMessage;

class DialogSet {
 public:
  // `owner` is the main window (the dialogs centre on it); `logic` its logic, which owns
  // the settings and the program log.
  DialogSet(QWidget* owner, MainLogic& logic);
  ~DialogSet();
  DialogSet(const DialogSet&) = delete;
  DialogSet& operator=(const DialogSet&) = delete;

  // The Options menu: "Configuration" (filled from the logic and taken back after OK),
  // "Read/Write Options", "Show Logfile".
  void ShowConfigForm();
  void ShowLoggerConfig();
  void ShowLogFile();
  // The warning that refuses the close while the program runs.
  void ShowWarning(const QString& text);

  // The alerts page's "Send a test alert" (run on a thread of its own; not set: no button),
  // and what applies stored alert settings at once.
  std::function<std::vector<std::string>(const AlertSettings&)> OnTestAlert;
  std::function<void(const AlertSettings&)> OnAlertSettings;

  TFormConfig& FormConfig() { return *config_; }
  TFormLoggerConfig& FormLoggerConfig() { return *loggerConfig_; }
  TFormDir& FormDir() { return *dir_; }
  TFormAddDev& FormAddDev() { return *addDev_; }
  TFormLogFile& FormLogFile() { return *logFile_; }
  TFormMessage& FormMessage() { return *message_; }

 private:
  MainLogic& logic_;
  std::unique_ptr<TFormConfig> config_;
  std::unique_ptr<TFormLoggerConfig> loggerConfig_;
  std::unique_ptr<TFormDir> dir_;
  std::unique_ptr<TFormAddDev> addDev_;
  std::unique_ptr<TFormLogFile> logFile_;
  std::unique_ptr<TFormMessage> message_;
};

// Fills the configuration dialog from the logic, shows it modally, and hands the values back
// to the logic when it was left with OK (the alert settings are stored and handed to
// `alertsChanged`). True when it was.
bool ShowConfigForm(MainLogic& logic, TFormConfig& form,
                    const std::function<void(const AlertSettings&)>& alertsChanged = {});

}  // namespace varnel
