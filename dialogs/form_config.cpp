#include "dialogs/form_config.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialogs/alerts_page.h"
#include "dialogs/dialog_support.h"
#include "dialogs/form_dir.h"
#include "lang/text_ids.h"

namespace varnel {

TFormConfig::TFormConfig(QWidget* owner) : QDialog(owner, NoCloseBoxFlags()) {
  setObjectName(QStringLiteral("FormConfig"));
  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  TabSheet1 = Named(new QWidget, "TabSheet1");
  TabSheet2 = Named(new QWidget, "TabSheet2");
  PageControl1->addTab(TabSheet1, QString());
  PageControl1->addTab(TabSheet2, QString());
  TabSheet3 = Named(new AlertsPage, "TabSheet3");
  PageControl1->addTab(TabSheet3, QString());

  // Page General
  LbLanguage = Named(new QLabel(TabSheet1), "LbLanguage");
  CbLanguage = Named(new QComboBox(TabSheet1), "CbLanguage");
  LbChange = Named(new QLabel(TabSheet1), "LbChange");
  LbChange->setWordWrap(true);
  ChBAutoPort = Named(new QCheckBox(TabSheet1), "ChBAutoPort");
  LbFixPort = Named(new QLabel(TabSheet1), "LbFixPort");
  CbPort = Named(new QComboBox(TabSheet1), "CbPort");
  for (int i = 1; i <= 9; ++i) CbPort->addItem(QString::number(i));
  LbIntPath = Named(new QLabel(TabSheet1), "LbIntPath");
  EdIntPath = Named(new QLineEdit(TabSheet1), "EdIntPath");
  EdIntPath->setReadOnly(true);
  btnIDC = Named(new QPushButton(QStringLiteral("..."), TabSheet1), "btnIDC");
  LbConfPath = Named(new QLabel(TabSheet1), "LbConfPath");
  EdConfPath = Named(new QLineEdit(TabSheet1), "EdConfPath");
  EdConfPath->setReadOnly(true);
  btnConfig = Named(new QPushButton(QStringLiteral("..."), TabSheet1), "btnConfig");
  ChBBackup = Named(new QCheckBox(TabSheet1), "ChBBackup");
  LbDatabase = Named(new QLabel(TabSheet1), "LbDatabase");
  EdDatabase = Named(new QLineEdit(TabSheet1), "EdDatabase");
  EdDatabase->setPlaceholderText(QStringLiteral("postgresql://user@host:5432/db"));

  auto* general = new QGridLayout(TabSheet1);
  general->addWidget(LbLanguage, 0, 0);
  general->addWidget(CbLanguage, 0, 1);
  general->addWidget(LbChange, 1, 0, 1, 3);
  general->addWidget(ChBAutoPort, 2, 0, 1, 3);
  general->addWidget(LbFixPort, 3, 0);
  general->addWidget(CbPort, 3, 1);
  general->addWidget(LbIntPath, 4, 0, 1, 3);
  general->addWidget(EdIntPath, 5, 0, 1, 2);
  general->addWidget(btnIDC, 5, 2);
  general->addWidget(LbConfPath, 6, 0, 1, 3);
  general->addWidget(EdConfPath, 7, 0, 1, 2);
  general->addWidget(btnConfig, 7, 2);
  general->addWidget(ChBBackup, 8, 0, 1, 3);
  general->addWidget(LbDatabase, 9, 0, 1, 3);
  general->addWidget(EdDatabase, 10, 0, 1, 3);
  general->setRowStretch(11, 1);
  general->setColumnStretch(1, 1);

  // Page Modem. The four commands every modem needs are fixed: their boxes are never shown.
  LbInitCmd = Named(new QLabel(TabSheet2), "LbInitCmd");
  CheckBox1 = Named(new QCheckBox(LiteralCaption(QStringLiteral("AT&D0")), TabSheet2), "CheckBox1");
  CheckBox2 = Named(new QCheckBox(LiteralCaption(QStringLiteral("AT&H0")), TabSheet2), "CheckBox2");
  CheckBox3 = Named(new QCheckBox(LiteralCaption(QStringLiteral("ATS0=2")), TabSheet2), "CheckBox3");
  CheckBox4 = Named(new QCheckBox(QStringLiteral("AT+IPR=9600"), TabSheet2), "CheckBox4");
  const char* hiddenLabels[] = {"Set DTR-Signal active", "No flowcontrol",
                                "Amount of ringtones before connecting = 2", "Set to 9600 baud"};
  QCheckBox* hidden[] = {CheckBox1, CheckBox2, CheckBox3, CheckBox4};
  auto* modem = new QGridLayout(TabSheet2);
  modem->addWidget(LbInitCmd, 0, 0, 1, 3);
  for (int i = 0; i < 4; ++i) {
    auto* l = new QLabel(QLatin1String(hiddenLabels[i]), TabSheet2);
    l->setObjectName(QStringLiteral("LbHidden%1").arg(i + 1));
    hidden[i]->setVisible(false);
    l->setVisible(false);
  }
  CheckBox5 = Named(new QCheckBox(LiteralCaption(QStringLiteral("AT&V")), TabSheet2), "CheckBox5");
  LbGetConfiguration = Named(new QLabel(TabSheet2), "LbGetConfiguration");
  CheckBox7 = Named(new QCheckBox(TabSheet2), "CheckBox7");
  RbSpeak_OFF = Named(new QRadioButton(QStringLiteral("ATM0"), TabSheet2), "RbSpeak_OFF");
  LbSpeakerOff = Named(new QLabel(TabSheet2), "LbSpeakerOff");
  RbSpeak_ON = Named(new QRadioButton(QStringLiteral("ATM1"), TabSheet2), "RbSpeak_ON");
  LbSpeakerOn = Named(new QLabel(TabSheet2), "LbSpeakerOn");
  CheckBox6 = Named(new QCheckBox(TabSheet2), "CheckBox6");
  EdUserString = Named(new QLineEdit(TabSheet2), "EdUserString");
  LbCommandsHint = Named(new QLabel(TabSheet2), "LbCommandsHint");
  LbCommandsHint->setTextFormat(Qt::PlainText);
  modem->addWidget(CheckBox5, 1, 1);
  modem->addWidget(LbGetConfiguration, 1, 2);
  modem->addWidget(CheckBox7, 2, 0);
  modem->addWidget(RbSpeak_OFF, 2, 1);
  modem->addWidget(LbSpeakerOff, 2, 2);
  modem->addWidget(RbSpeak_ON, 3, 1);
  modem->addWidget(LbSpeakerOn, 3, 2);
  modem->addWidget(CheckBox6, 4, 0, 1, 3);
  modem->addWidget(EdUserString, 5, 0, 1, 3);
  modem->addWidget(LbCommandsHint, 6, 0, 1, 3);
  modem->setRowStretch(7, 1);
  modem->setColumnStretch(2, 1);

  Button1 = Named(new QPushButton(this), "Button1");
  Button2 = Named(new QPushButton(this), "Button2");
  for (QPushButton* b : {Button1, Button2, btnIDC, btnConfig}) b->setAutoDefault(false);
  btnIDC->setFixedWidth(40);
  btnConfig->setFixedWidth(40);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl1, 1);
  layout->addLayout(buttons);

  connect(Button1, &QPushButton::clicked, this, &TFormConfig::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFormConfig::Button2Click);
  connect(btnIDC, &QPushButton::clicked, this, &TFormConfig::btnIDCClick);
  connect(btnConfig, &QPushButton::clicked, this, &TFormConfig::btnConfigClick);
  connect(ChBAutoPort, &QCheckBox::toggled, this, &TFormConfig::ChBAutoPortClick);
  connect(CheckBox7, &QCheckBox::toggled, this, &TFormConfig::CheckBox7Click);
  connect(CheckBox6, &QCheckBox::toggled, this, &TFormConfig::CheckBox6Click);

  // FormCreate
  Accepted = false;
  const char* commands[] = {"AT&D0", "AT&H0", "ATS0=2", "AT+IPR=9600", "AT&V"};
  for (int i = 0; i < 5; ++i) ModemCommands[static_cast<std::size_t>(i)] = QLatin1String(commands[i]);
  CommandBoxes = {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5, CheckBox6};
  CheckBox1->setChecked(true);
  CheckBox3->setChecked(true);
  RbSpeak_OFF->setChecked(true);
  ApplyLanguage();
  ChBAutoPortClick();
  CheckBox7Click();
  CheckBox6Click();
  PageControl1->setCurrentIndex(0);
  setMinimumWidth(460);
  InstallKeyPreview(this);
}

void TFormConfig::ApplyLanguage() {
  setWindowTitle(Tx(kTextConfigTitle));
  PageControl1->setTabText(0, Tx(kTextConfigGeneral));
  PageControl1->setTabText(1, Tx(kTextConfigModem));
  PageControl1->setTabText(2, Tx(kTextAlertsPage));
  TabSheet3->ApplyLanguage();
  LbLanguage->setText(Tx(kTextLanguage));
  ChBAutoPort->setText(Tx(kTextAutodetectPorts));
  LbChange->setText(KeepMarksWithWord(Tx(kTextRestartHint)));
  CbLanguage->clear();
  for (int id = kTextEnglish; id <= kTextGerman; ++id) CbLanguage->addItem(Tx(id));
  LbInitCmd->setText(Tx(kTextInitCommands));
  Button1->setText(Tx(kTextOk));
  Button2->setText(Tx(kTextCancel));
  LbFixPort->setText(Tx(kTextFixedPorts));
  LbIntPath->setText(Tx(kTextDataFolderLabel));
  LbConfPath->setText(Tx(kTextConfigFolderLabel));
  LbGetConfiguration->setText(Tx(kTextGetConfiguration));
  LbSpeakerOff->setText(Tx(kTextSpeakerOff));
  LbSpeakerOn->setText(Tx(kTextSpeakerOn));
  LbCommandsHint->setText(Tx(kTextCommandsHint));
  CheckBox6->setText(Tx(kTextUserCommands));
  ChBBackup->setText(Tx(kTextCreateBackup));
  LbDatabase->setText(Tx(kTextDatabaseSetting));
}

void TFormConfig::ChBAutoPortClick() {
  const bool fixed = !ChBAutoPort->isChecked();
  CbPort->setEnabled(fixed);
  LbFixPort->setEnabled(fixed);
}

void TFormConfig::CheckBox7Click() {
  const bool on = CheckBox7->isChecked();
  RbSpeak_OFF->setEnabled(on);
  RbSpeak_ON->setEnabled(on);
}

void TFormConfig::CheckBox6Click() { EdUserString->setEnabled(CheckBox6->isChecked()); }

void TFormConfig::SetValues(const ConfigFormValues& v) {
  languageIndexIn_ = v.LanguageIndex;
  amountPortsIndexIn_ = v.AmountPortsIndex;
  LanguageBase = static_cast<std::int16_t>(v.LanguageIndex * 1000);
  ChBAutoPort->setChecked(v.AutoPorts);
  EdIntPath->setText(QString::fromStdString(v.DataFolder));
  EdConfPath->setText(QString::fromStdString(v.ConfigFileFolder));
  ChBBackup->setChecked(v.CreateBackup);
  CbPort->setCurrentIndex(v.AmountPortsIndex);
  ChBAutoPortClick();
  CheckBox5->setChecked(v.CommandBoxes[4]);
  CheckBox7->setChecked(v.SpeakerBox);
  if (v.SpeakerBox && v.SpeakerOn) {
    RbSpeak_ON->setChecked(true);
  } else {
    RbSpeak_OFF->setChecked(true);
  }
  CheckBox7Click();
  EdUserString->setText(QString::fromStdString(v.UserCommand));
  CheckBox6->setChecked(v.UserCommandBox);
  CheckBox6Click();
}

void TFormConfig::SetDatabaseUrl(const QString& url) { EdDatabase->setText(url); }
QString TFormConfig::DatabaseUrl() const { return EdDatabase->text().trimmed(); }

ConfigFormValues TFormConfig::Values() const {
  ConfigFormValues v;
  // A list left without a choice (a stored value outside it) keeps what was handed over.
  const int language = CbLanguage->currentIndex();
  v.LanguageIndex = language >= 0 ? language : languageIndexIn_;
  v.AutoPorts = ChBAutoPort->isChecked();
  v.DataFolder = EdIntPath->text().toStdString();
  v.ConfigFileFolder = EdConfPath->text().toStdString();
  v.CreateBackup = ChBBackup->isChecked();
  const int ports = CbPort->currentIndex();
  v.AmountPortsIndex = ports >= 0 ? ports : amountPortsIndexIn_;
  for (std::size_t i = 0; i < 5; ++i) v.CommandBoxes[i] = CommandBoxes[i]->isChecked();
  v.SpeakerBox = CheckBox7->isChecked();
  v.SpeakerOn = RbSpeak_ON->isChecked();
  v.UserCommand = EdUserString->text().toStdString();
  v.UserCommandBox = CheckBox6->isChecked();
  for (std::size_t i = 0; i < 7; ++i) v.ActiveCommands[i] = ActiveCommands[i].toStdString();
  return v;
}

void TFormConfig::showEvent(QShowEvent* event) {
  CbLanguage->setCurrentIndex(LanguageBase / 1000);
  QDialog::showEvent(event);
}

void TFormConfig::Button1Click() {
  Accepted = true;
  for (QString& c : ActiveCommands) c.clear();
  for (std::size_t i = 0; i < 5; ++i) {
    if (CommandBoxes[i]->isChecked()) ActiveCommands[i] = ModemCommands[i];
  }
  if (CheckBox7->isChecked()) {
    ActiveCommands[5] = RbSpeak_OFF->isChecked() ? RbSpeak_OFF->text() : RbSpeak_ON->text();
  }
  // Kept whether its box is ticked or not; the box's flag says whether it is sent.
  ActiveCommands[6] = EdUserString->text();
  done(QDialog::Accepted);
}

void TFormConfig::Button2Click() {
  Accepted = false;
  done(QDialog::Rejected);
}

void TFormConfig::ChooseFolder(QLineEdit* edit) {
  if (!dir_) return;
  const QString path = edit->text();
  // An empty path names no drive: the chooser shows the folder it showed last.
  dir_->SetDrive(path);
  if (!path.isEmpty() && QFileInfo(path).isDir() && dir_->DriveWritable()) dir_->SetFolder(path);
  dir_->exec();
  if (dir_->Accepted) edit->setText(dir_->Folder());
}

void TFormConfig::btnIDCClick() { ChooseFolder(EdIntPath); }

void TFormConfig::btnConfigClick() { ChooseFolder(EdConfPath); }

bool TFormConfig::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (IsEnterKey(key)) {
      Button1Click();
      return true;
    }
    if (key == Qt::Key_Escape) {
      Button2Click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace varnel
