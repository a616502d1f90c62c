// The window against vtq-sim on a pseudo-terminal: a real click on Start runs a modem call
// through to the hang-up and the restart countdown; Stop in the middle of the next call's
// readout cancels it and brings the window back to rest. A port held by another program is
// refused with a box that names the holder.
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextEdit>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTest>

#include "app/facade_link.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "gui/fill_meter.h"
#include "gui_fixture.h"
#include "link/serial_port.h"
#include "manual_timer.h"
#include "tests/support/sim_process.h"

namespace varnel {

using test::Find;

namespace {

// Longer than the identity field is wide.
constexpr const char* kIdentity = "Well 7 at the northern pumping station near the old mill";

// Real Qt timers for the clock and the activity bar; the 80 s restart countdown (the
// second timer the logic makes) fires only when the test says so.
class CountdownByHand : public TimerFactory {
 public:
  std::unique_ptr<LogicTimer> Create() override {
    if (++made_ == 2) {
      auto t = std::make_unique<test::ManualTimer>();
      countdown = t.get();
      return t;
    }
    return real_.Create();
  }
  test::ManualTimer* countdown = nullptr;

 private:
  QtTimerFactory real_;
  int made_ = 0;
};

}  // namespace

class WindowE2eTest : public QObject {
  Q_OBJECT

 private slots:
  void ModemCallThenStopDuringTheNextReadout() {
    test::GuiStore store;
    const QString ports = store.Root() + "/ports", data = store.Root() + "/data-files";
    QDir().mkpath(ports);
    QDir().mkpath(data);
    qputenv("VARNEL_PORTS", ports.toLocal8Bit());
    RegistryKey(kCommonKey).WriteString("Internal-Path", data);
    RegistryKey(kSettingsKey).WriteFlag("Show-Time", false);

    // Paced at 9600 baud, so that a readout lasts long enough to be stopped.
    testsupport::SimProcess sim;
    QVERIFY2(sim.Start({"--port", "1", "--modem", "--records", "3", "--baud", "9600",
                        "--id-text", kIdentity, "--call-after", "2.6"},
                       ports.toStdString()),
             sim.Output().c_str());

    FacadeLink link;
    CountdownByHand timers;
    LogicEnvironment env;
    env.ProgramPath = store.ProgramPath();
    env.Link = &link;
    env.Timers = &timers;
    TfrmMain w(env);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    auto* gauge = Find<QProgressBar>(w, "ProgressBar");
    int gaugeTop = 0;
    connect(gauge, &QProgressBar::valueChanged, this, [&](int v) { gaugeTop = std::max(gaugeTop, v); });
    auto* start = Find<QPushButton>(w, "SpBStartModem");
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(w.Logic().StartDown());

    // One call: the readout, the files, the hang-up that starts the wait for the next call.
    QTRY_VERIFY_WITH_TIMEOUT(test::MemoLines(w).contains("Modem disconnected"), 60000);
    const QStringList first = test::MemoLines(w);
    const QString missing = test::MissingInOrder(first, {
        "Write to modem: AT", "Waiting for call from VTQ-Datacollector...",
        "Modem connected to device", "Device detected:", "ID 5.1 - Version  3.12", "SN 40123",
        "VTQ - Battery-Capacity: 87%", "Memory: 1 MBit", "Done !",
        "Readout selected records...", "Reading Record 1", "VTQ restarted", "Create file(s)...",
        "Restart connection to modem in 80 seconds", "Modem disconnected"});
    QVERIFY2(missing.isEmpty(), qPrintable("missing or out of order: " + missing + "\n" + first.join('\n')));
    QVERIFY(first.filter(QRegularExpression("^File .*\\.IDC created$")).size() == 1);
    QVERIFY(first.contains("Backup file(s) created !"));
    // The memo keeps its last line in view.
    auto* memo = Find<QTextEdit>(w, "Memo1");
    QCOMPARE(memo->verticalScrollBar()->value(), memo->verticalScrollBar()->maximum());

    // Waiting for the next call: no logger's state is shown; the tray says what happens
    // now and what the call gave.
    QTRY_VERIFY(Find<QLabel>(w, "StatusPanel0")->text().isEmpty());
    const QStringList tip = w.TrayIcon()->toolTip().split('\n');
    QCOMPARE(tip.size(), 3);
    QVERIFY2(tip[1].startsWith("Waiting for a call since "), qPrintable(tip[1]));
    QVERIFY2(tip[2].startsWith("Last call ") && tip[2].endsWith(", SN 40123: 1 file(s) written"),
             qPrintable(tip[2]));
    auto* records = Find<QListWidget>(w, "lbRecords");
    QCOMPARE(records->count(), 3);
    QCOMPARE(records->item(0)->checkState(), Qt::Checked);  // the current record only
    QCOMPARE(records->item(1)->checkState(), Qt::Unchecked);
    QVERIFY(records->item(2)->text().startsWith("    3    "));
    QCOMPARE(Find<QLabel>(w, "LbRecordShare")->text(), QString("Percent of Memory"));
    // A long identity shows from its start.
    auto* identity = Find<QLineEdit>(w, "EditFilename");
    QCOMPARE(identity->text(), QString(kIdentity));
    QCOMPARE(identity->cursorPosition(), 0);
    QVERIFY(gaugeTop > 0);
    QTRY_COMPARE(gauge->value(), 0);
    QVERIFY(start->isChecked());

    // The hang-up ended the countdown and started waiting for the next call.
    QVERIFY(timers.countdown);
    QCOMPARE(timers.countdown->period, 10000);
    QVERIFY(!timers.countdown->active);
    QDir folder(data + "/40123");
    QCOMPARE(folder.entryList({"*.IDC"}, QDir::Files | QDir::CaseSensitive).size(), 1);
    QCOMPARE(folder.entryList({"*_BAK.idc"}, QDir::Files | QDir::CaseSensitive).size(), 1);

    // The next call: Stop while its record is being read.
    const int before = static_cast<int>(test::MemoLines(w).count("Reading Record 1"));
    QTRY_VERIFY_WITH_TIMEOUT(test::MemoLines(w).count("Reading Record 1") > before, 60000);
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!w.Logic().StartDown());
    QVERIFY(!start->isChecked());
    QCOMPARE(start->text(), QString("Start"));
    auto* activity = Find<FillMeter>(w, "ActivityBar");
    QCOMPARE(activity->Value(), 0);
    QVERIFY(activity->Caption().isEmpty());
    QVERIFY(w.Logic().WaitUntilIdle(20000));
    const QStringList after = test::MemoLines(w);
    QVERIFY(after.mid(static_cast<int>(after.lastIndexOf("Reading Record 1"))).contains("Cancelled !"));
    QCOMPARE(gauge->value(), 0);
    QVERIFY(Find<QLabel>(w, "StatusPanel0")->text().isEmpty());
    QVERIFY(w.TrayIcon()->toolTip().startsWith("Varnel\nStopped\nLast call "));

    QVERIFY(w.close());
    sim.Stop();
    qunsetenv("VARNEL_PORTS");
  }

  // The second window of the Startup entry and a menu click: its Start meets the port
  // already held (here by this test, which opens it as any program of ours does).
  void PortHeldByAnotherProgramIsRefusedWithABoxNamingIt() {
    test::GuiStore store;
    const QString ports = store.Root() + "/ports";
    QDir().mkpath(ports);
    qputenv("VARNEL_PORTS", ports.toLocal8Bit());
    testsupport::SimProcess sim;
    QVERIFY2(sim.Start({"--port", "1", "--modem"}, ports.toStdString()), sim.Output().c_str());
    const std::shared_ptr<SerialPort> held = OpenSerialPort(1, true);
    QVERIFY(held);

    FacadeLink link;
    LogicEnvironment env;
    env.ProgramPath = store.ProgramPath();
    env.Link = &link;
    TfrmMain w(env);
    QStringList boxes;
    w.SetWarningBox([&](QWidget*, const QString&, const QString& text) { boxes << text; });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(Find<QPushButton>(w, "SpBStartModem"), Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 10000);
    const QString holder = QString("%1, pid %2")
                               .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                               .arg(QCoreApplication::applicationPid());
    QCOMPARE(boxes[0], "Port in use by another program: COM1 (" + holder + ")");
    QVERIFY(test::MemoLines(w).contains("ERROR: Comport Nr.1 not available !"));
    QVERIFY(!w.Logic().StartDown());

    held->Close();
    QVERIFY(w.close());
    sim.Stop();
    qunsetenv("VARNEL_PORTS");
  }
};

}  // namespace varnel

QTEST_MAIN(varnel::WindowE2eTest)
#include "window_e2e_test.moc"
