// The read/write options dialog over the registered-devices store: saving on switch, add and
// close, deleting, the enabling rules, the limits, the .cfx header check, and entries that a
// readout resets.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>

#include "app/registered_device_store.h"
#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "dialog_test_support.h"
#include "dialogs/float_edit.h"
#include "dialogs/form_add_dev.h"
#include "dialogs/form_logger_config.h"
#include "dialogs/form_message.h"
#include "files/cfx_writer.h"
#include "lang/lang.h"

namespace varnel {

using test::WhenModal;

// A click on the box of a check box or radio button (its middle may lie beyond its text).
void Tick(QAbstractButton* box) {
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

class LoggerConfig : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void anEmptyStoreDisablesThePanelAndWritesNothing();
  void addingSwitchingAndClosingSaveAllNineteenValues();
  void missingValuesKeepThePreviousDevicesControls();
  void deletingAsksAndRemovesTheEntryUnsaved();
  void enablingRulesFollowTheBoxesAndKeepTheTexts();
  void offsetsAndTextsKeepTheirLimits();
  void theConfigFileHeaderDecidesTheWaterLevelBox();
  void anEntryChangedWhileShownKeepsWhatWasTypedAndSaysSo();
  void fitsALaptopScreenInTheLongestLanguage();

 private:
  // Opens the dialog; `act` runs while it is shown, then Close is clicked.
  void WithDialog(const std::function<void(TFormLoggerConfig&)>& act);
  void AddDevice(TFormLoggerConfig& d, const QString& serial);

  std::unique_ptr<test::TempHome> home_;
  std::unique_ptr<TFormMessage> message_;
  std::unique_ptr<TFormAddDev> addDev_;
  std::unique_ptr<TFormLoggerConfig> form_;
  RegisteredDeviceStore store_;
};

void LoggerConfig::init() {
  home_ = std::make_unique<test::TempHome>();
  message_ = std::make_unique<TFormMessage>();
  addDev_ = std::make_unique<TFormAddDev>();
  addDev_->SetMessageBox(message_.get());
  form_ = std::make_unique<TFormLoggerConfig>();
  form_->SetAddDeviceDialog(addDev_.get());
  form_->SetMessageBox(message_.get());
  form_->ConfigFileFolder = [this] { return home_->Root(); };
}

void LoggerConfig::cleanup() {
  form_.reset();
  addDev_.reset();
  message_.reset();
  home_.reset();
}

void LoggerConfig::WithDialog(const std::function<void(TFormLoggerConfig&)>& act) {
  bool failed = false;
  WhenModal<TFormLoggerConfig>([&](TFormLoggerConfig* d) {
    act(*d);
    if (d->isVisible()) QTest::mouseClick(d->btnClose, Qt::LeftButton);
  }, &failed);
  form_->exec();
  QVERIFY(!failed);
}

void LoggerConfig::AddDevice(TFormLoggerConfig& d, const QString& serial) {
  WhenModal<TFormAddDev>([serial](TFormAddDev* a) {
    QTest::keyClicks(a->EdSN, serial);
    QTest::keyClick(a->EdSN, Qt::Key_Return);
  });
  QTest::mouseClick(d.btnAdd, Qt::LeftButton);
}

void LoggerConfig::anEmptyStoreDisablesThePanelAndWritesNothing() {
  WithDialog([](TFormLoggerConfig& d) {
    QVERIFY(!d.Panel1->isEnabled());
    QVERIFY(!d.btnDel->isEnabled());
    QCOMPARE(d.LbDevices->count(), 0);
  });
  QVERIFY(store_.List().isEmpty());
}

void LoggerConfig::addingSwitchingAndClosingSaveAllNineteenValues() {
  const QDate today = QDate::currentDate();
  WithDialog([&](TFormLoggerConfig& d) {
    AddDevice(d, "100");
    QCOMPARE(d.CurrentSN, QString("100"));
    QVERIFY(d.Panel1->isEnabled());
    QCOMPARE(d.focusWidget(), d.EdDescription);
    QVERIFY(!store_.Contains("100"));  // the entry comes into being at its first save
    QTest::keyClicks(d.EdDescription, "Pump station");
    Tick(d.RbReadFrom);
    d.CbMonth->setCurrentIndex(2);
    d.SpYear->setValue(2023);
    Tick(d.ChBReadNewPages);
    Tick(d.ChBOffset);
    d.FeP1->selectAll();
    QTest::keyClicks(d.FeP1, "12.5");
    d.CbPUnit->setCurrentIndex(1);
    Tick(d.ChBWriteConfig);
    Tick(d.ChBWriteID);
    Tick(d.ChBID);
    QTest::keyClicks(d.EdID, "Well 7");
    Tick(d.ChBComment);
    QTest::keyClicks(d.Memo1, "two");
    QTest::keyClick(d.Memo1, Qt::Key_Return);  // a new line in the memo, not Close
    QTest::keyClicks(d.Memo1, "lines");
    QVERIFY(d.isVisible());

    // Adding the next device saves the one shown.
    AddDevice(d, "200");
    QVERIFY(store_.Contains("100"));
    QCOMPARE(d.EdDescription->text(), QString());
    QVERIFY(d.RbActRec->isChecked());
    QVERIFY(!d.ChBOffset->isChecked() && !d.ChBReadNewPages->isChecked());

    // Switching saves the outgoing device whether or not anything changed.
    QTest::mouseClick(d.LbDevices->viewport(), Qt::LeftButton, {},
                      d.LbDevices->visualItemRect(d.LbDevices->item(0)).center());
    QCOMPARE(d.CurrentSN, QString("100"));
    QVERIFY(store_.Contains("200"));
    QCOMPARE(d.EdDescription->text(), QString("Pump station"));
    QCOMPARE(d.FeP1->GetValue(), 12.5);
    QCOMPARE(d.Memo1->toPlainText(), QString("two\nlines"));
    QVERIFY(d.CbMonth->isEnabled() && d.ChBReadNewPages->isChecked());
    QTest::keyClicks(d.EdDescription, " east");
    QTest::keyClick(d.EdDescription, Qt::Key_Return);  // Enter closes and saves
    QVERIFY(!d.isVisible());
  });

  const StoredDevice a = store_.Read("100");
  QCOMPARE(int(a.Present.count()), kDeviceValueCount);
  const DeviceValues& v = a.Values;
  QCOMPARE(v.Description, QString("Pump station east"));
  QVERIFY(!v.ReadActualRec);
  QCOMPARE(v.ReadFromMonth, 2);
  QCOMPARE(v.ReadFromYear, 2023);
  QVERIFY(v.SynchTime && v.OffsetCorr && v.WriteConfig && v.WriteText && v.NewID && v.NewComment);
  QCOMPARE(v.P1Val, OffsetText(12.5));
  QCOMPARE(v.P1Val, FixedText(12.5, 7, 6));
  QCOMPARE(v.P2Val, OffsetText(0));
  QCOMPARE(v.PUnit, 1);
  QCOMPARE(v.CustomUnit, QString("mbar"));
  QCOMPARE(v.ID, QString("Well 7"));
  QCOMPARE(v.Comment, QString("two\r\nlines"));
  QVERIFY(!v.WLConfig);
  // The page-cache setting is kept beside the nineteen values, under its own name.
  QVERIFY(store_.ReadOnlyNewPages("100"));
  QVERIFY(!store_.ReadOnlyNewPages("200"));

  // The new device holds the defaults, with an empty description and last contact.
  const StoredDevice b = store_.Read("200");
  QCOMPARE(int(b.Present.count()), kDeviceValueCount);
  QVERIFY(b.Values.ReadActualRec && b.Values.SynchTime && !b.Values.OffsetCorr);
  QCOMPARE(b.Values.ReadFromMonth, today.month() - 1);
  QCOMPARE(b.Values.ReadFromYear, today.year());
  QCOMPARE(b.Values.Description, QString());
  QCOMPARE(b.Values.LastContact, QString());
  QCOMPARE(store_.List(), (QStringList{"100", "200"}));
}

void LoggerConfig::missingValuesKeepThePreviousDevicesControls() {
  DeviceValues full;
  full.Description = "complete";
  full.OffsetCorr = true;
  full.P1Val = OffsetText(3);
  full.LastContact = "yesterday";
  QVERIFY(store_.Write("1", full));
  // An entry another program wrote with one value only.
  RegistryKey(QString(kRegisteredDevicesKey) + "\\2").WriteString("Description", "partial");
  WithDialog([&](TFormLoggerConfig& d) {
    QCOMPARE(d.EdDescription->text(), QString("complete"));
    QTest::mouseClick(d.LbDevices->viewport(), Qt::LeftButton, {},
                      d.LbDevices->visualItemRect(d.LbDevices->item(1)).center());
    QCOMPARE(d.CurrentSN, QString("2"));
    // Only the outgoing device is saved: the one just shown keeps its single value.
    QCOMPARE(int(store_.Read("2").Present.count()), 1);
    QCOMPARE(d.EdDescription->text(), QString("partial"));
    QVERIFY(d.ChBOffset->isChecked());  // kept from "1"
    QCOMPARE(d.FeP1->GetValue(), 3.0);
    QCOMPARE(d.LbLastExecDate->text(), QString("yesterday"));
  });
}

void LoggerConfig::deletingAsksAndRemovesTheEntryUnsaved() {
  QVERIFY(store_.Write("A", DeviceValues{}));
  WithDialog([&](TFormLoggerConfig& d) {
    QTest::keyClicks(d.EdDescription, "edited, never saved");
    WhenModal<TFormMessage>([](TFormMessage* m) { QTest::mouseClick(m->BtR, Qt::LeftButton); });
    QTest::mouseClick(d.btnDel, Qt::LeftButton);  // No
    QCOMPARE(d.LbDevices->count(), 1);
    QString question;
    WhenModal<TFormMessage>([&](TFormMessage* m) {
      question = m->LbText->text();
      QVERIFY(m->BtR->hasFocus());
      QTest::mouseClick(m->BtM, Qt::LeftButton);
    });
    QTest::mouseClick(d.btnDel, Qt::LeftButton);  // Yes
    QCOMPARE(question, QString("Do you really want to delete the selected device ?"));
    QCOMPARE(d.LbDevices->count(), 0);
    QVERIFY(!d.Panel1->isEnabled());
    QVERIFY(!d.btnDel->isEnabled());
  });
  QVERIFY(store_.List().isEmpty());
}

void LoggerConfig::enablingRulesFollowTheBoxesAndKeepTheTexts() {
  DeviceValues v;
  v.WriteConfig = v.WriteText = v.NewID = v.NewComment = true;
  v.ConfigFile = "/cfg/a.cfx";
  v.ID = "kept id";
  v.Comment = "kept comment";
  QVERIFY(store_.Write("7", v));
  WithDialog([&](TFormLoggerConfig& d) {
    QVERIFY(d.BtnOpenFile->isEnabled() && d.ChBWriteID->isEnabled() && d.EdID->isEnabled() &&
            d.Memo1->isEnabled());
    QVERIFY(!d.CbMonth->isEnabled() && !d.FeP1->isEnabled());
    QVERIFY(!d.EdIntPath->isEnabled() && !d.ChBWL->isEnabled());
    Tick(d.ChBWriteConfig);  // untick
    QVERIFY(!d.ChBWriteID->isChecked() && !d.ChBID->isChecked() && !d.ChBComment->isChecked());
    QVERIFY(!d.ChBWriteID->isEnabled() && !d.ChBID->isEnabled() && !d.EdID->isEnabled() &&
            !d.Memo1->isEnabled() && !d.BtnOpenFile->isEnabled());
    QCOMPARE(d.EdIntPath->text(), QString("/cfg/a.cfx"));
    QCOMPARE(d.EdID->text(), QString("kept id"));
    QCOMPARE(d.Memo1->toPlainText(), QString("kept comment"));
    // Clear gives the defaults but keeps the description and the last contact.
    d.EdDescription->setText("desc");
    d.LbLastExecDate->setText("then");
    Tick(d.ChBOffset);
    QTest::mouseClick(d.btnReset, Qt::LeftButton);
    QVERIFY(!d.ChBOffset->isChecked() && !d.FeP1->isEnabled());
    QCOMPARE(d.EdIntPath->text(), QString());
    QCOMPARE(d.EdDescription->text(), QString("desc"));
    QCOMPARE(d.LbLastExecDate->text(), QString("then"));
  });
}

void LoggerConfig::offsetsAndTextsKeepTheirLimits() {
#ifdef Q_OS_WIN
  // Moving the focus between the edits of a modal dialog is not always delivered on the
  // offscreen platform under Wine, and the edit's leave rule waits for it.
  QSKIP("Not under Wine: the focus moves that this case relies on are not delivered reliably");
#endif
  QVERIFY(store_.Write("5", DeviceValues{}));
  WithDialog([&](TFormLoggerConfig& d) {
    // Focus events reach a window only once it is active, and a loaded machine may run this
    // before the platform has activated the new dialog.
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    Tick(d.ChBOffset);
    d.FeP1->selectAll();
    QTest::keyClicks(d.FeP1, "-1.2.3--");  // one mark, one minus
    QCOMPARE(d.FeP1->text(), QString("-1") + TFloatEdit::DecimalSeparator() + "23");
    d.FeP2->selectAll();
    QTest::keyClicks(d.FeP2, "-");  // not a number: saved as zero
    d.FeP1->setFocus();
    QCOMPARE(d.FeP2->palette().color(QPalette::Base), QColor(Qt::white));
    d.FeP1->clear();
    d.FeP2->setFocus();
    QCOMPARE(d.FeP1->text(), QString("0"));  // an edit left empty reads 0

    Tick(d.ChBWriteConfig);
    Tick(d.ChBWriteID);
    Tick(d.ChBID);
    QTest::keyClicks(d.EdID, QString(70, 'i'));
    QCOMPARE(d.EdID->text().size(), TFormLoggerConfig::kMaxIdLength);
    Tick(d.ChBComment);
    d.Memo1->setFocus();
    QTest::keyClicks(d.Memo1, QString(440, 'c'));
    QTest::keyClick(d.Memo1, Qt::Key_Return);  // CR LF counts two
    QTest::keyClicks(d.Memo1, QString(20, 'd'));
  });
  const DeviceValues v = store_.Read("5").Values;
  QCOMPARE(v.P2Val, OffsetText(0));
  QCOMPARE(v.P1Val, OffsetText(0));
  QCOMPARE(v.ID, QString(63, 'i'));
  QCOMPARE(v.Comment.size(), TFormLoggerConfig::kMaxCommentLength);
  QCOMPARE(v.Comment, QString(440, 'c') + "\r\n" + QString(5, 'd'));
}

void LoggerConfig::theConfigFileHeaderDecidesTheWaterLevelBox() {
  const QString wl = home_->Root() + "/level.cfx";
  const QString broken = home_->Root() + "/broken.cfx";
  CfxContent content;
  content.NewIdText = "WL";
  WriteConfigFile(wl.toStdString(), content, CfxHead{"writer_wl", " 2.17"});
  {
    QFile f(broken);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("WRITER_WL 2.17\x05");  // breaks off inside the comment length
  }
  QVERIFY(store_.Write("9", DeviceValues{}));
  auto choose = [](const QString& file) {
    WhenModal<QFileDialog>([file](QFileDialog* f) {
      test::ChooseFile(f, file);
    });
  };
  WithDialog([&](TFormLoggerConfig& d) {
    Tick(d.ChBWriteConfig);
    Tick(d.ChBWriteID);
    Tick(d.ChBComment);
    d.Memo1->setPlainText("old comment");
    choose(wl);
    QTest::mouseClick(d.BtnOpenFile, Qt::LeftButton);
    QCOMPARE(d.EdIntPath->text(), QDir::toNativeSeparators(wl));
    QVERIFY(d.ChBWL->isChecked());

    // The notice is the dialog's to show; the comment box holds what goes into the logger.
    choose(broken);
    QString notice;
    WhenModal<TFormMessage>([&](TFormMessage* m) {
      notice = m->LbText->text();
      QTest::mouseClick(m->BtM, Qt::LeftButton);
    });
    QTest::mouseClick(d.BtnOpenFile, Qt::LeftButton);
    QCOMPARE(notice, QString("The chosen file is not a valid configuration-file (*.cfx) !"));
    QVERIFY(d.ChBWL->isChecked());  // keeps its state
    QCOMPARE(d.Memo1->toPlainText(), QString("old comment"));
    QTest::mouseClick(d.btnClose, Qt::LeftButton);
  });
  QCOMPARE(store_.Read("9").Values.Comment, QString("old comment"));
  WithDialog([&](TFormLoggerConfig& d) {
    WhenModal<QFileDialog>([](QFileDialog* f) { f->reject(); });
    QTest::mouseClick(d.BtnOpenFile, Qt::LeftButton);
    QCOMPARE(d.EdIntPath->text(), QString());
    QVERIFY(!d.ChBWL->isChecked());
  });
}

void LoggerConfig::anEntryChangedWhileShownKeepsWhatWasTypedAndSaysSo() {
  DeviceValues v;
  v.Description = "before";
  v.OffsetCorr = true;
  v.P1Val = OffsetText(5);
  v.WriteConfig = true;
  v.ConfigFile = "/cfg/a.cfx";
  QVERIFY(store_.Write("40123", v));
  // A call carries the options out while the operator is changing some of them: what was
  // typed stays, the sections left alone show the reset entry.
  WithDialog([&](TFormLoggerConfig& d) {
    d.FeP1->selectAll();
    QTest::keyClicks(d.FeP1, "7");
    Tick(d.CbSyncClock);
    QVERIFY(store_.Reset("40123", QDate(2026, 3, 9), "09.03.2026 10:00:00"));
    QCOMPARE(d.FeP1->text(), QString("7"));
    QVERIFY(d.ChBOffset->isChecked() && d.FeP1->isEnabled());
    QVERIFY(!d.CbSyncClock->isChecked());
    QVERIFY(!d.ChBWriteConfig->isChecked() && !d.BtnOpenFile->isEnabled());
    QCOMPARE(d.EdIntPath->text(), QString());
    QCOMPARE(d.EdDescription->text(), QString("before"));  // the reset keeps it
    QCOMPARE(d.LbLastExecDate->text(), QString("09.03.2026 10:00:00"));
    QVERIFY(d.LbStoreNotice->isVisible());
    QCOMPARE(d.LbStoreNotice->text(),
             QString("The stored options of device 40123 were changed meanwhile (by a call or by "
                     "another program).\n"
                     "Kept as you changed them: Offset correction\n"
                     "Now as stored: Readout Options, Write Configuration, Last contact to "
                     "device"));
  });
  DeviceValues after = store_.Read("40123").Values;
  QVERIFY(after.OffsetCorr && !after.SynchTime && !after.WriteConfig);
  QCOMPARE(after.P1Val, OffsetText(7));
  QCOMPARE(after.ConfigFile, QString());
  QCOMPARE(after.ReadFromMonth, 2);
  QCOMPARE(after.LastContact, QString("09.03.2026 10:00:00"));

  // Another program resets it while the operator types: the save at closing keeps the
  // typed description, does not arm the carried-out configuration again, and says so.
  QVERIFY(store_.Write("40123", v));
  QString told;
  WithDialog([&](TFormLoggerConfig& d) {
    QTest::keyClicks(d.EdDescription, " and after");
    RegistryKey key(QString(kRegisteredDevicesKey) + "\\40123");
    key.WriteFlag("WriteConfig", false);
    key.WriteString("LastContact", "elsewhere");
    QVERIFY(key.Sync());
    WhenModal<TFormMessage>([&](TFormMessage* m) {
      told = m->LbText->text();
      QTest::mouseClick(m->BtM, Qt::LeftButton);
    });
  });
  QCOMPARE(told, QString("The stored options of device 40123 were changed meanwhile (by a call or "
                         "by another program).\n"
                         "Now as stored: Write Configuration, Last contact to device\n"
                         "Your changes have been saved."));
  after = store_.Read("40123").Values;
  QCOMPARE(after.Description, QString("before and after"));
  QVERIFY(after.OffsetCorr && !after.WriteConfig);
  QCOMPARE(after.LastContact, QString("elsewhere"));
}

// German has the longest texts. Every option ticked and filled, the dialog asks for no more
// than a 1366 x 768 screen leaves above its task bar, and at that size nothing needs
// scrolling; on a smaller screen it stays whole on the screen and scrolls.
void LoggerConfig::fitsALaptopScreenInTheLongestLanguage() {
  DeviceValues v;
  v.Description = "Pumping station east, north bank";
  v.ReadActualRec = false;
  v.OffsetCorr = v.WriteConfig = v.WriteText = v.NewID = v.NewComment = true;
  v.ConfigFile = home_->Root() + "/configuration files/well 7 north bank.cfx";
  v.ID = "Well 7";
  v.Comment = "Replaced sensor P2\r\nafter the flood";
  v.LastContact = "09.12.2026 03:15:00";
  store_.Write("40123", v);
  const std::int16_t language = LanguageBase();
  SetLanguageBase(2000);
  TFormLoggerConfig german;
  SetLanguageBase(language);
  german.show();
  QVERIFY(QTest::qWaitForWindowExposed(&german));

  const QSize wanted = german.sizeHint();
  QVERIFY2(wanted.width() <= 1366 && wanted.height() <= 720,
           qPrintable(QString("%1 x %2").arg(wanted.width()).arg(wanted.height())));
  const QRect screen = german.screen()->availableGeometry();
  QVERIFY(screen.contains(german.frameGeometry()));
  auto* scroll = german.findChild<QScrollArea*>();
  QVERIFY(scroll);
  german.resize(wanted);
  QTRY_VERIFY(!scroll->verticalScrollBar()->isVisible() && !scroll->horizontalScrollBar()->isVisible());
  german.close();
}

}  // namespace varnel

QTEST_MAIN(varnel::LoggerConfig)
#include "logger_config_test.moc"
