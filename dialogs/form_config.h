#pragma once
#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

#include "app/config_form_values.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

// "Configuration": language, serial ports, the two working folders, the backup of data files
// and the modem's initialisation commands. It holds no settings of its own: the window fills
// it before showing it and takes the values back after OK.
namespace varnel {

class AlertsPage;
class TFormDir;

class TFormConfig : public QDialog {
  Q_OBJECT
 public:
  explicit TFormConfig(QWidget* owner = nullptr);

  void SetDirDialog(TFormDir* dialog) { dir_ = dialog; }

  // What the window hands over before showing, and what it takes back after OK.
  void SetValues(const ConfigFormValues& values);
  ConfigFormValues Values() const;
  // The database URL field (stored by the caller, beside the other settings).
  void SetDatabaseUrl(const QString& url);
  QString DatabaseUrl() const;

  bool Accepted = false;
  std::int16_t LanguageBase = 0;
  std::array<QString, 5> ModemCommands;
  // The boxes of commands 0-4 and, as number 5, the user-command box.
  std::array<QCheckBox*, 6> CommandBoxes{};
  std::array<QString, 7> ActiveCommands;

  QTabWidget* PageControl1;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  AlertsPage* TabSheet3;
  QLabel* LbLanguage;
  QComboBox* CbLanguage;
  QLabel* LbChange;
  QCheckBox* ChBAutoPort;
  QLabel* LbFixPort;
  QComboBox* CbPort;
  QLabel* LbIntPath;
  QLineEdit* EdIntPath;
  QPushButton* btnIDC;
  QLabel* LbConfPath;
  QLineEdit* EdConfPath;
  QPushButton* btnConfig;
  QCheckBox* ChBBackup;
  QLabel* LbDatabase;
  QLineEdit* EdDatabase;
  QLabel* LbInitCmd;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox4;
  QCheckBox* CheckBox5;
  QLabel* LbGetConfiguration;
  QCheckBox* CheckBox7;
  QRadioButton* RbSpeak_OFF;
  QLabel* LbSpeakerOff;
  QRadioButton* RbSpeak_ON;
  QLabel* LbSpeakerOn;
  QCheckBox* CheckBox6;
  QLineEdit* EdUserString;
  QLabel* LbCommandsHint;
  QPushButton* Button1;
  QPushButton* Button2;

 public slots:
  void Button1Click();
  void Button2Click();
  void reject() override { Button2Click(); }
  void btnIDCClick();
  void btnConfigClick();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyLanguage();
  void ChBAutoPortClick();
  void CheckBox7Click();
  void CheckBox6Click();
  void ChooseFolder(QLineEdit* edit);

  TFormDir* dir_ = nullptr;
  // What the window handed over: kept where the operator left a list without a choice.
  int languageIndexIn_ = 0;
  int amountPortsIndexIn_ = 3;
};

}  // namespace varnel
