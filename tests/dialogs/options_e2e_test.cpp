// A logger registered and given its one-shot options in the dialog; the next simulated call
// carries them out (the simulator confirms the writes) while the operator is typing in the
// dialog again, the readout resets the entry around the typed text, and the dialog shows the
// reset entry with the typed text and its last contact at the next showing.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <algorithm>

#include "app/facade_link.h"
#include "app/main_logic.h"
#include "app/registered_device_store.h"
#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "dialog_test_support.h"
#include "dialogs/dialog_set.h"
#include "dialogs/float_edit.h"
#include "dialogs/form_add_dev.h"
#include "dialogs/form_logger_config.h"
#include "e2e_checks.h"
#include "manual_timer.h"
#include "recording_view.h"

namespace varnel {

using test::WhenModal;

void Tick(QAbstractButton* box) {
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

class OptionsE2e : public QObject {
  Q_OBJECT
 private slots:
  void optionsSetInTheDialogAreCarriedOutAndReset();
};

void OptionsE2e::optionsSetInTheDialogAreCarriedOutAndReset() {
  test::TempHome home;
  const QString ports = home.Root() + "/ports", data = home.Root() + "/data-files";
  QDir().mkpath(ports);
  QDir().mkpath(data);
  qputenv("VARNEL_PORTS", ports.toLocal8Bit());
  RegistryKey(kCommonKey).WriteString("Internal-Path", data);

  FacadeLink link;
  test::RecordingView view;
  test::ManualTimerFactory timers;
  LogicEnvironment env;
  env.ProgramPath = home.ProgramPath();
  env.Link = &link;
  env.Timers = &timers;
  env.Observer = &view;
  auto logic = std::make_unique<MainLogic>(view, env);
  logic->FormCreate();
  DialogSet dialogs(nullptr, *logic);

  // The operator registers the logger and sets its options.
  bool failed = false;
  WhenModal<TFormLoggerConfig>([&](TFormLoggerConfig* d) {
    WhenModal<TFormAddDev>([](TFormAddDev* a) {
      QTest::keyClicks(a->EdSN, "40123");
      QTest::mouseClick(a->btnOK, Qt::LeftButton);
    }, &failed);
    QTest::mouseClick(d->btnAdd, Qt::LeftButton);
    QTest::keyClicks(d->EdDescription, "Pump station");
    Tick(d->ChBOffset);
    d->FeP1->selectAll();
    QTest::keyClicks(d->FeP1, "25");
    d->CbPUnit->setCurrentIndex(1);  // mbar
    Tick(d->ChBWriteConfig);
    Tick(d->ChBWriteID);
    Tick(d->ChBID);
    QTest::keyClicks(d->EdID, "Renamed well");
    Tick(d->ChBComment);
    QTest::keyClicks(d->Memo1, "Line one");
    QTest::keyClick(d->Memo1, Qt::Key_Return);
    QTest::keyClicks(d->Memo1, "Line two");
    QTest::mouseClick(d->btnClose, Qt::LeftButton);
  }, &failed);
  dialogs.ShowLoggerConfig();
  QVERIFY(!failed);
  QVERIFY(RegisteredDeviceStore().Contains("40123"));

  // The logger calls in once.
  test::SimProcess sim;
  const QString truthPath = home.Root() + "/truth.json";
  QVERIFY2(sim.Start({"--port", "1", "--modem", "--records", "1", "--record-pages", "6",
                      "--calls", "1", "--truth", truthPath.toStdString()},
                     ports.toStdString()),
           sim.Output().c_str());
  const std::string resetLine = "Logger Configuration set to default values";
  // The operator has the dialog open again and is adding to the description when the
  // call carries the options out: the typed text stays, the rest shows the reset entry.
  bool timedOut = false;
  WhenModal<TFormLoggerConfig>([&](TFormLoggerConfig* d) {
    QTest::keyClicks(d->EdDescription, ", east gate");
    logic->PressStart();
    QElapsedTimer t;
    t.start();
    while (!(std::count(view.memo.begin(), view.memo.end(), resetLine) == 1 &&
             !view.filesDone.empty()) && !timedOut) {
      timedOut = t.elapsed() >= 90000;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    [&] {
      QCOMPARE(d->EdDescription->text(), QString("Pump station, east gate"));
      QVERIFY(!d->ChBOffset->isChecked() && !d->ChBWriteConfig->isChecked());
      QVERIFY(d->LbStoreNotice->isVisible());
    }();
    QTest::mouseClick(d->btnClose, Qt::LeftButton);
  }, &failed);
  dialogs.ShowLoggerConfig();
  if (timedOut) {
    std::string memo;
    for (const std::string& line : view.memo) memo += line + "\n";
    QFAIL((sim.Output() + memo).c_str());
  }
  QVERIFY(!failed);
  logic->ReleaseStart();
  QVERIFY(logic->WaitUntilIdle(10000));
  sim.Stop();

  // The simulator received the offset, the identity and the comment.
  const QJsonObject truth = test::ReadTruth(truthPath);
  QCOMPARE(truth.value("identityText").toString(), QString("Renamed well"));
  QCOMPARE(truth.value("commentText").toString(), QString("Line one\r\nLine two"));
  const QJsonArray offsets = truth.value("received").toObject().value("offsets").toArray();
  QVERIFY(!offsets.isEmpty());
  const std::string corrected = "Offset corrected - P1: " + FixedText(25.0, 7, 3).toStdString() + "mbar";
  QVERIFY(std::count(view.memo.begin(), view.memo.end(), corrected) == 1);

  // At the next showing the dialog shows the reset entry, the kept description and the last
  // contact.
  WhenModal<TFormLoggerConfig>([&](TFormLoggerConfig* d) {
    QCOMPARE(d->LbDevices->count(), 1);
    QCOMPARE(d->EdDescription->text(), QString("Pump station, east gate"));
    QVERIFY(!d->ChBOffset->isChecked() && !d->ChBWriteConfig->isChecked());
    QVERIFY(!d->ChBID->isChecked() && !d->ChBComment->isChecked());
    QVERIFY(d->RbActRec->isChecked() && d->CbSyncClock->isChecked());
    QVERIFY(!d->LbLastExecDate->text().isEmpty());
    QTest::mouseClick(d->btnClose, Qt::LeftButton);
  }, &failed);
  dialogs.ShowLoggerConfig();
  QVERIFY(!failed);
  const DeviceValues after = RegisteredDeviceStore().Read("40123").Values;
  QVERIFY(!after.OffsetCorr && !after.NewID && !after.NewComment);
  QCOMPARE(after.CustomUnit, QString("bar"));  // the shown unit, saved at closing
  QVERIFY(!after.LastContact.isEmpty());
  logic.reset();
  qunsetenv("VARNEL_PORTS");
}

}  // namespace varnel

QTEST_MAIN(varnel::OptionsE2e)
#include "options_e2e_test.moc"
