// The configuration dialog filled from and read back into the window logic: the commands it
// returns, the hidden commands, the language and the folder chooser.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "app/main_logic.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "dialog_test_support.h"
#include "alerts/alert_settings.h"
#include "dialogs/alerts_page.h"
#include "dialogs/dialog_set.h"
#include "dialogs/form_config.h"
#include "dialogs/form_dir.h"
#include "manual_timer.h"
#include "recording_launcher.h"
#include "recording_link.h"
#include "recording_view.h"

namespace varnel {

using test::WhenModal;

void Tick(QAbstractButton* box) {
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

class ConfigForm : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void storedCommands31ComeBackAs21();
  void speakerAndUserCommandRules();
  void enterConfirmsEscapeCancels();
  void aChosenLanguageIsStoredButNotShownUntilTheNextStart();
  void theFolderChooserTakesOverOnlyAConfirmedFolder();
  void theAlertsPageSendsATestAndStoresWhatItShows();

 private:
  void MakeLogic();
  // Shows the dialog through the window's Options entry; `act` runs while it is shown.
  bool Show(const std::function<void(TFormConfig&)>& act);

  std::unique_ptr<test::TempHome> home_;
  test::RecordingView view_;
  test::RecordingLink link_;
  test::ManualTimerFactory timers_;
  test::RecordingLauncher launcher_;
  std::unique_ptr<MainLogic> logic_;
  std::unique_ptr<DialogSet> dialogs_;
};

void ConfigForm::init() { home_ = std::make_unique<test::TempHome>(); }

void ConfigForm::cleanup() {
  dialogs_.reset();
  logic_.reset();
  home_.reset();
}

void ConfigForm::MakeLogic() {
  LogicEnvironment env;
  env.ProgramPath = home_->ProgramPath();
  env.Link = &link_;
  env.Timers = &timers_;
  env.Launcher = &launcher_;
  env.Pause = [](int) {};
  logic_ = std::make_unique<MainLogic>(view_, env);
  logic_->FormCreate();
  dialogs_ = std::make_unique<DialogSet>(nullptr, *logic_);
}

bool ConfigForm::Show(const std::function<void(TFormConfig&)>& act) {
  bool failed = false;
  WhenModal<TFormConfig>([&](TFormConfig* d) {
    act(*d);
    if (d->isVisible()) QTest::mouseClick(d->Button1, Qt::LeftButton);
  }, &failed);
  dialogs_->ShowConfigForm();
  return !failed;
}

void ConfigForm::storedCommands31ComeBackAs21() {
  RegistryKey(kSettingsKey).WriteInt("ActiveModemCmd", 31);
  MakeLogic();
  QVERIFY(Show([](TFormConfig& d) {
    QVERIFY(d.CheckBox5->isChecked());
    QVERIFY(!d.CheckBox1->isVisible() && !d.CheckBox4->isVisible());
  }));
  QCOMPARE(logic_->FDevice->ModemCmd[1], std::string());  // AT&H0 no longer active
  QCOMPARE(logic_->FDevice->ModemCmd[4], std::string("AT&V"));
  logic_->WriteSettings();
  QCOMPARE(RegistryKey(kSettingsKey).ReadInt("ActiveModemCmd", -1), 21);
}

void ConfigForm::speakerAndUserCommandRules() {
  {
    RegistryKey s(kSettingsKey);
    s.WriteInt("ActiveModemCmd", 5 | 32 | 64);
    s.WriteString("SpeakerModemCmd", "ATM2");
    s.WriteString("UserDefModemCmd", "ATX3;ATL1");
  }
  MakeLogic();
  // A loudspeaker command other than ATM0 shows as ATM1 and comes back as ATM1.
  QVERIFY(Show([](TFormConfig& d) {
    QVERIFY(d.CheckBox7->isChecked() && d.RbSpeak_ON->isChecked() && d.RbSpeak_ON->isEnabled());
    QVERIFY(d.EdUserString->isEnabled());
  }));
  QCOMPARE(logic_->FDevice->ModemCmd[5], std::string("ATM1"));

  // Unticked boxes: no loudspeaker command whatever is selected; the user line is kept.
  QVERIFY(Show([](TFormConfig& d) {
    Tick(d.CheckBox7);
    QVERIFY(!d.RbSpeak_OFF->isEnabled() && !d.RbSpeak_ON->isEnabled());
    Tick(d.CheckBox6);
    QVERIFY(!d.EdUserString->isEnabled());
  }));
  const TDevice& dev = *logic_->FDevice;
  QCOMPARE(dev.ModemCmd[5], std::string());
  QCOMPARE(dev.ModemCmd[6], std::string("ATX3;ATL1"));
  QVERIFY(!dev.ModemCmdActive[5] && !dev.ModemCmdActive[6]);
  QCOMPARE(dev.ModemCmd[0], std::string("AT&D0"));
  QCOMPARE(dev.ModemCmd[2], std::string("ATS0=2"));

  // Flag 5 off: ATM0 selected when the dialog opens again.
  QVERIFY(Show([](TFormConfig& d) {
    QVERIFY(!d.CheckBox7->isChecked() && d.RbSpeak_OFF->isChecked());
  }));
}

void ConfigForm::enterConfirmsEscapeCancels() {
  MakeLogic();
  QVERIFY(Show([](TFormConfig& d) {
    d.PageControl1->setCurrentIndex(1);
    Tick(d.CheckBox6);
    QTest::keyClicks(d.EdUserString, "ATZ");
    QTest::keyClick(d.EdUserString, Qt::Key_Return);  // confirms while typing
  }));
  QCOMPARE(logic_->FDevice->ModemCmd[6], std::string("ATZ"));
  QVERIFY(Show([](TFormConfig& d) {
    QCOMPARE(d.PageControl1->currentIndex(), 1);  // opens on the page last shown
    Tick(d.ChBBackup);
    QTest::keyClick(d.EdUserString, Qt::Key_Escape);
  }));
  QVERIFY(logic_->CreateBackup());  // nothing taken over
}

void ConfigForm::aChosenLanguageIsStoredButNotShownUntilTheNextStart() {
  MakeLogic();
  QVERIFY(Show([](TFormConfig& d) { d.CbLanguage->setCurrentIndex(1); }));
  QCOMPARE(int(logic_->LanguageSaved()), 1000);
  QVERIFY(Show([](TFormConfig& d) {
    QCOMPARE(d.CbLanguage->currentIndex(), 1);
    QCOMPARE(d.windowTitle(), QString("Configuration"));
  }));
  logic_->WriteSettings();
  QCOMPARE(RegistryKey(kSettingsKey).ReadInt("Language", -1), 1000);
}

void ConfigForm::theFolderChooserTakesOverOnlyAConfirmedFolder() {
  const QString data = home_->Root() + "/data";
  QDir().mkpath(data + "/sub");
  RegistryKey(kCommonKey).WriteString("Internal-Path", data);
  MakeLogic();
  QVERIFY(Show([&](TFormConfig& d) {
    WhenModal<TFormDir>([](TFormDir* dir) { QTest::keyClick(dir->DirectoryListBox1, Qt::Key_Escape); });
    QTest::mouseClick(d.btnIDC, Qt::LeftButton);
    QCOMPARE(d.EdIntPath->text(), data);
    WhenModal<TFormDir>([&](TFormDir* dir) {
      QCOMPARE(dir->Folder(), QDir::toNativeSeparators(data));
      dir->SetFolder(data + "/sub");
      QTest::mouseClick(dir->BtnOK, Qt::LeftButton);
    });
    QTest::mouseClick(d.btnIDC, Qt::LeftButton);
  }));
  QCOMPARE(QString::fromStdString(logic_->DataFolder()), QDir::toNativeSeparators(data + "/sub"));
}

// The alerts page: a test with what the page shows (not yet stored) runs off the window's
// thread and its outcome is shown; OK stores the page and hands it on at once, Cancel
// neither; what the page does not show (the CA file) is kept.
void ConfigForm::theAlertsPageSendsATestAndStoresWhatItShows() {
  {
    RegistryKey notify(QString::fromLatin1(kSettingsKey) + "Notify");
    notify.WriteString("Mail", "smtp://mail.example.org:587");
    notify.WriteString("MailCaFile", "/etc/site-ca.pem");
    notify.WriteInt("DigestHour", 7);
  }
  MakeLogic();
  std::vector<AlertSettings> tested, applied;
  dialogs_->OnTestAlert = [&tested](const AlertSettings& s) {
    tested.push_back(s);  // on the page's worker thread; read after it reported
    return std::vector<std::string>{"system log: written", "failed: mail: no answer"};
  };
  dialogs_->OnAlertSettings = [&applied](const AlertSettings& s) { applied.push_back(s); };
  QVERIFY(Show([](TFormConfig& d) {
    d.PageControl1->setCurrentWidget(d.TabSheet3);
    AlertsPage& page = *d.TabSheet3;
    QCOMPARE(page.EdMail->text(), QStringLiteral("smtp://mail.example.org:587"));
    QCOMPARE(page.CbDigest->currentText(), QStringLiteral("07:00"));
    QVERIFY(page.btnTest->isVisible());
    page.EdTo->setText(QStringLiteral(" ops@example.org "));
    page.CbDigest->setCurrentIndex(0);  // none
    QTest::mouseClick(page.btnTest, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return !page.Testing(); }, 5000));
    QCOMPARE(page.LbTestResult->text(),
             QStringLiteral("system log: written\nfailed: mail: no answer"));
  }));
  QCOMPARE(tested.size(), std::size_t{1});
  QCOMPARE(tested[0].To, QStringLiteral("ops@example.org"));
  QCOMPARE(tested[0].DigestHour, -1);  // as the page shows it, not as stored
  QCOMPARE(applied.size(), std::size_t{1});
  const AlertSettings stored = ReadAlertSettings();
  QCOMPARE(stored.To, QStringLiteral("ops@example.org"));
  QCOMPARE(stored.DigestHour, -1);
  QCOMPARE(stored.MailCaFile, QStringLiteral("/etc/site-ca.pem"));
  QCOMPARE(applied[0].To, stored.To);

  // Cancel: nothing stored, nothing applied.
  WhenModal<TFormConfig>([](TFormConfig* d) {
    d->TabSheet3->EdTo->setText(QStringLiteral("nobody@example.org"));
    QTest::mouseClick(d->Button2, Qt::LeftButton);
  });
  dialogs_->ShowConfigForm();
  QCOMPARE(ReadAlertSettings().To, QStringLiteral("ops@example.org"));
  QCOMPARE(applied.size(), std::size_t{1});
}

}  // namespace varnel

QTEST_MAIN(varnel::ConfigForm)
#include "config_form_test.moc"
