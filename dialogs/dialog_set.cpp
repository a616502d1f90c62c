#include "dialogs/dialog_set.h"

#include "alerts/alert_settings.h"
#include "app/main_logic.h"
#include "dialogs/alerts_page.h"
#include "common/database_setting.h"
#include "dialogs/dialog_support.h"
#include "dialogs/form_add_dev.h"
#include "dialogs/form_config.h"
#include "dialogs/form_dir.h"
#include "dialogs/form_log_file.h"
#include "dialogs/form_logger_config.h"
#include "dialogs/form_message.h"
#include "lang/text_ids.h"

namespace varnel {

DialogSet::DialogSet(QWidget* owner, MainLogic& logic) : logic_(logic) {
  config_ = std::make_unique<TFormConfig>(owner);
  loggerConfig_ = std::make_unique<TFormLoggerConfig>(owner);
  dir_ = std::make_unique<TFormDir>(owner);
  addDev_ = std::make_unique<TFormAddDev>(owner);
  logFile_ = std::make_unique<TFormLogFile>(logic.Log(), owner);
  message_ = std::make_unique<TFormMessage>(owner);

  config_->SetDirDialog(dir_.get());
  loggerConfig_->SetAddDeviceDialog(addDev_.get());
  loggerConfig_->SetMessageBox(message_.get());
  loggerConfig_->ConfigFileFolder = [this] {
    return QString::fromStdString(logic_.ConfigFileFolder());
  };
  addDev_->SetMessageBox(message_.get());
  logFile_->SetMessageBox(message_.get());
}

DialogSet::~DialogSet() = default;

void DialogSet::ShowConfigForm() {
  config_->TabSheet3->OnTest = OnTestAlert;
  varnel::ShowConfigForm(logic_, *config_, OnAlertSettings);
}

void DialogSet::ShowLoggerConfig() { loggerConfig_->exec(); }

void DialogSet::ShowLogFile() { logFile_->exec(); }

void DialogSet::ShowWarning(const QString& text) {
  message_->ShowMessageBox(text, Tx(kTextMessageTitle), mkOk, MessageIcon::Warning);
}

bool ShowConfigForm(MainLogic& logic, TFormConfig& form,
                    const std::function<void(const AlertSettings&)>& alertsChanged) {
  form.SetValues(logic.ConfigFormInput());
  form.SetDatabaseUrl(ReadDatabaseUrlSetting());
  form.TabSheet3->SetValues(ReadAlertSettings());
  form.exec();
  if (!form.Accepted) return false;
  logic.ApplyConfigForm(form.Values());
  WriteDatabaseUrlSetting(form.DatabaseUrl());
  const AlertSettings alerts = form.TabSheet3->Values();
  WriteAlertSettings(alerts);
  if (alertsChanged) alertsChanged(alerts);
  return true;
}

}  // namespace varnel
