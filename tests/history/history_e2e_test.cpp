// The contact history written by real calls against the simulator on a pseudo-terminal,
// varnel-history on it, the Data view and idc-plot on the files those calls wrote.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineSeries>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

#include "alerts/alert_book.h"
#include "app/facade_link.h"
#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "database/contact_store.h"
#include "e2e_checks.h"
#include "history/data_view.h"
#include "history/history_windows.h"
#include "history/loggers_view.h"
#include "logic_fixture.h"
#include "tests/support/child_process.h"

namespace varnel {
namespace {

using namespace test;

// The device clock `offset` seconds off the PC clock, as vtq-sim's --clock takes it.
std::string ClockOffBy(int offset) {
  return QDateTime::currentDateTime().addSecs(offset).toString("yyyy-MM-ddTHH:mm:ss").toStdString();
}

class History : public TempStore {
 protected:
  void SetUp() override {
    TempStore::SetUp();
    ports_ = Root() + "/ports";
    data_ = Root() + "/data files";
    truth_ = Root() + "/truth.json";
    QDir().mkpath(ports_);
  }
  QString HistoryPath() const { return Root() + "/data/varnel/history.sqlite"; }
  testsupport::ChildProcess::Environment Env() const {
    return {{"XDG_CONFIG_HOME", (Root() + "/config").toStdString()},
            {"XDG_DATA_HOME", (Root() + "/data").toStdString()},
            {"VARNEL_PORTS", ports_.toStdString()}};
  }
  // Runs a program to its end; its exit code, its output in `out`.
  int Run(const char* program, const std::vector<std::string>& args, std::string& out,
          int timeoutMs) {
    testsupport::ChildProcess p;
    EXPECT_TRUE(p.Start(program, args, Env())) << p.Error();
    int code = p.Wait(timeoutMs);
    if (code == -1) p.Stop(SIGKILL, 2000);
    out = p.Output();
    return code;
  }
  int Collect(const std::vector<std::string>& args, int timeoutMs = 120000) {
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--data", data_.toStdString()});
    const std::string program = ProgramIn(VARNEL_COLLECT_PATH, ProgramFolder()).toStdString();
    const int code = Run(program.c_str(), all, collectOut_, timeoutMs);
    collectOuts_ += collectOut_;
    return code;
  }
  // The fault lines of every collector run's output and of the program log, less those
  // the test provokes.
  std::string CollectFaults(const std::vector<std::string>& allowed = {}) const {
    return FaultLines(collectOuts_, allowed) +
           LogFaultLines(ProgramFolder() + "/varnel-collect.LOG", allowed);
  }
  QJsonDocument HistoryJson(const std::vector<std::string>& args) {
    std::string out;
    std::vector<std::string> all = {"--json"};
    all.insert(all.end(), args.begin(), args.end());
    EXPECT_EQ(Run(VARNEL_HISTORY_PATH, all, out, 20000), 0) << out;
    return QJsonDocument::fromJson(QByteArray::fromStdString(out));
  }
  std::vector<ContactFigures> Rows() {
    ContactStore store(HistoryPath());
    std::string error;
    auto rows = store.Contacts(std::nullopt, &error);
    EXPECT_TRUE(error.empty()) << error;
    return rows;
  }
  // Pages of the single record vtq-sim holds.
  int TruthPages() const {
    const QJsonArray records = ReadTruth(truth_)["records"].toArray();
    EXPECT_EQ(records.size(), 1);
    return records[0].toObject()["pages"].toArray().size();
  }

  QString ports_, data_, truth_;
  SimProcess sim;
  std::string collectOut_, collectOuts_;
};

TEST_F(History, TwoModemCallsGiveTheRowsThatVarnelHistoryShows) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--battery", "37",
                         "--clock", ClockOffBy(3600), "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  const int pages = TruthPages();
  ASSERT_EQ(Collect({"--calls", "2"}, 180000), 0) << collectOut_;
  sim.Stop();

  const QJsonArray loggers = HistoryJson({}).array();
  ASSERT_EQ(loggers.size(), 1) << collectOut_;
  const QJsonObject line = loggers[0].toObject();
  EXPECT_EQ(line["serial"].toInt(), 40123);
  EXPECT_EQ(line["identity"].toString(), "Pump station 4");
  EXPECT_EQ(line["contacts"].toInt(), 2);
  EXPECT_EQ(line["battery"].toInt(), 37);
  EXPECT_EQ(line["last_result"].toString(), "complete");
  EXPECT_LT(line["days_since"].toDouble(), 0.01);

  const QJsonArray contacts = HistoryJson({"40123"}).object()["contacts"].toArray();
  ASSERT_EQ(contacts.size(), 2);
  const QJsonObject first = contacts[0].toObject(), second = contacts[1].toObject();
  EXPECT_NEAR(first["clock_s"].toDouble(), 3600, 30);
  EXPECT_TRUE(first["clock_set"].toBool());  // the default options set the clock
  EXPECT_NEAR(second["clock_s"].toDouble(), 0, 5);
  for (const QJsonObject& c : {first, second}) {
    EXPECT_EQ(c["battery"].toInt(), 37);
    EXPECT_EQ(c["firmware"].toString(), "3.12");
    EXPECT_EQ(c["records_listed"].toInt(), 1);
    EXPECT_EQ(c["records_read"].toInt(), 1);
    EXPECT_EQ(c["pages_read"].toInt(), pages);
    EXPECT_EQ(c["last_page"].toInt(), 2047);
    EXPECT_EQ(c["result"].toString(), "complete");
    EXPECT_GT(c["line_bytes"].toDouble(), pages * 64.0);
    EXPECT_GT(c["duration_s"].toDouble(), 1.0);
    ASSERT_EQ(c["files"].toArray().size(), 1);
    EXPECT_TRUE(QFile::exists(c["files"].toArray()[0].toString()));
  }
  EXPECT_GT(QDateTime::fromString(second["time"].toString(), "yyyy-MM-dd HH:mm:ss"),
            QDateTime::fromString(first["time"].toString(), "yyyy-MM-dd HH:mm:ss"));
  EXPECT_EQ(CollectFaults(), "");
}

TEST_F(History, ContactsThatGaveNoFileAreRecordedWithTheirResult) {
  // A logger that holds no record, then one that refuses to identify itself.
  ASSERT_TRUE(sim.Start({"--port", "1", "--echo", "--records", "0"}, ports_.toStdString()));
  EXPECT_NE(Collect({"--direct"}), 0) << collectOut_;
  sim.Stop();
  ASSERT_TRUE(sim.Start({"--port", "1", "--echo", "--error-reply", "0x30:1"}, ports_.toStdString()));
  EXPECT_NE(Collect({"--direct"}), 0) << collectOut_;
  sim.Stop();

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u) << CollectFaults();
  EXPECT_EQ(rows[0].SerialNumber, 40123u);
  EXPECT_EQ(rows[0].Result, ContactResult::Complete);
  EXPECT_EQ(rows[0].RecordsListed, 0);
  EXPECT_TRUE(rows[0].Files.empty());
  EXPECT_EQ(rows[1].SerialNumber, 0u);
  EXPECT_EQ(rows[1].Result, ContactResult::NoCommunication);
  EXPECT_TRUE(rows[1].Files.empty());
  EXPECT_EQ(CollectFaults({"No communication! Please check connection and port-nr."}), "");
}

TEST_F(History, ADirectReadoutIsRecordedAndItsThreeChannelFileShownAndPlotted) {
  // The identity text as the logger keeps it: "Brücke 7" in 8-bit code-page bytes.
  ASSERT_TRUE(sim.Start({"--port", "1", "--echo", "--records", "1", "--channels", "7", "--battery", "64",
                         "--id-text", "Br\xFC" "cke 7", "--clock", ClockOffBy(-600),
                         "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  const int pages = TruthPages();
  ASSERT_EQ(Collect({"--direct"}), 0) << collectOut_;
  sim.Stop();

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  const ContactFigures& c = rows[0];
  EXPECT_EQ(c.SerialNumber, 40123u);
  EXPECT_EQ(c.Battery, 64);
  ASSERT_TRUE(c.ClockOffset);
  EXPECT_NEAR(static_cast<double>(*c.ClockOffset), -600, 30);
  EXPECT_EQ(c.PagesRead, pages);
  EXPECT_EQ(c.Result, ContactResult::Complete);
  ASSERT_EQ(c.Files.size(), 1u);
  const QString file = QString::fromStdString(c.Files[0]);
  EXPECT_EQ(CollectFaults(), "");

  // The identity text reads the same in the history, varnel-history and the Loggers view
  // as in the data file's name.
  const QString text = QString::fromUtf8("Br\xC3\xBC" "cke 7");
  EXPECT_TRUE(QFileInfo(file).fileName().startsWith(text + "_")) << c.Files[0];
  EXPECT_EQ(c.IdentityText, text.toStdString());
  EXPECT_EQ(HistoryJson({})[0]["identity"].toString().toStdString(), text.toStdString());
  std::string table;
  ASSERT_EQ(Run(VARNEL_HISTORY_PATH, {}, table, 20000), 0) << table;
  const QStringList lines = QString::fromStdString(table).split('\n');
  ASSERT_GE(lines.size(), 2) << table;
  EXPECT_TRUE(lines[1].contains(" " + text + " ")) << table;
  EXPECT_EQ(lines[1].indexOf(QRegularExpression("\\d{4}-\\d\\d-\\d\\d ")),
            lines[0].indexOf("last_contact"))
      << table;  // the columns stay aligned behind the "ü"
  // An alert the collector of this PC has open for the logger is marked in both.
  Alert open;
  open.Key = "40123/battery low";
  open.Serial = 40123;
  open.What = "Battery low";
  ASSERT_TRUE(AlertBook(DefaultAlertBookPath()).Raise(open));
  EXPECT_EQ(HistoryJson({})[0]["alerts"].toArray(), QJsonArray{"battery low"});
  // The Loggers window as the menu opens it over a main window in the screen's corner: the
  // whole window on that screen, the time of contact written as the other windows write
  // times, and Escape closes it.
  QWidget main;
  const QRect screen = main.screen()->availableGeometry();
  main.setGeometry(screen.right() - 200, screen.bottom() - 150, 180, 120);
  main.show();
  const QPointer<LoggersView> window = ShowLoggersWindow(&main, data_, HistoryPath());
  LoggersView& loggers = *window;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !loggers.Loading(); }, 20000));
  ASSERT_EQ(loggers.Table()->rowCount(), 1) << loggers.ErrorText().toStdString();
  EXPECT_EQ(loggers.Table()->item(0, 1)->text().toStdString(), text.toStdString());
  const int last = loggers.Table()->columnCount() - 1;
  EXPECT_EQ(loggers.Table()->item(0, last)->text().toStdString(), "Battery low");
  const QDateTime lastContact = QDateTime::fromSecsSinceEpoch(loggers.Loggers()[0].LastContact);
  EXPECT_EQ(loggers.Table()->item(0, 2)->text().toStdString(),
            DateTimeText(lastContact.date(), lastContact.time()).toStdString());
  EXPECT_TRUE(screen.contains(loggers.frameGeometry()));
  QTest::keyClick(loggers.Table(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000));

  // The Data view, offscreen: three curves, each with points, and its check box.
  DataView view(data_);
  ASSERT_EQ(view.NewestFile(40123), QFileInfo(file).absoluteFilePath());
  view.show();
  view.LoadNewestInBackground(40123);  // as the window does it: behind the event loop
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view.Loading(); }, 20000));
  ASSERT_EQ(view.LoadedPath(), QFileInfo(file).absoluteFilePath()) << view.ErrorText().toStdString();
  ASSERT_EQ(view.Chart().Channels.size(), 3u);
  for (QLineSeries* s : view.Chart().Channels) EXPECT_GT(s->count(), 0) << s->name().toStdString();
  ASSERT_EQ(view.SeriesBoxes().size(), 5u);  // three channels, events, time markers
  QCheckBox* second = view.SeriesBoxes()[1];
  QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(8, second->height() / 2));
  EXPECT_FALSE(view.Chart().Channels[1]->isVisible());
  EXPECT_TRUE(view.Chart().Channels[0]->isVisible());

  // The same plot as a picture, without a window: the first curve's colour is there.
  const QString png = Root() + "/plot.png";
  std::string out;
  ASSERT_EQ(Run(IDC_PLOT_PATH, {file.toStdString(), png.toStdString()}, out, 30000), 0) << out;
  const QImage image(png);
  ASSERT_FALSE(image.isNull());
  const QColor curve = ChannelColour(0);
  int hits = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (std::abs(p.red() - curve.red()) < 12 && std::abs(p.green() - curve.green()) < 12 &&
          std::abs(p.blue() - curve.blue()) < 12) {
        ++hits;
      }
    }
  }
  EXPECT_GT(hits, 200);
}

TEST_F(History, AHistoryThatCannotBeOpenedLeavesTheReadoutAndItsFilesAsTheyAre) {
  // The data folder's place is taken by a plain file: no history can be made there.
  QDir().mkpath(Root() + "/data");
  QFile blocker(Root() + "/data/varnel");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  ASSERT_TRUE(sim.Start({"--port", "1", "--echo", "--records", "2", "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  ASSERT_EQ(Collect({"--direct"}), 0) << collectOut_;
  sim.Stop();

  const QString out = QString::fromStdString(collectOut_);
  EXPECT_TRUE(out.contains("Backup file(s) created !")) << collectOut_;
  const QStringList files =
      QDir(data_ + "/40123").entryList({"*.IDC"}, QDir::Files).filter(QRegularExpression("^(?!.*_BAK)"));
  ASSERT_EQ(files.size(), 1) << collectOut_;
  const QJsonObject dump = DumpIdc(data_ + "/40123/" + files[0]);
  const QJsonObject truth = ReadTruth(truth_);
  const QJsonObject record = TruthRecordStartingAt(truth, dump["StartTime"].toInteger());
  EXPECT_EQ(CompareWithTruth(dump, record), "");

  // The reason is in the program log.
  const QString logName = out.section("log file: ", 1).section('\n', 0, 0).trimmed();
  QFile log(logName);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << logName.toStdString();
  EXPECT_TRUE(QString::fromLocal8Bit(log.readAll()).contains("Contact history not written: "));
  EXPECT_EQ(CollectFaults({"Contact history not written: "}), "");
}

TEST_F(History, ACallDroppedDuringTheReadoutIsRecordedAsPartial) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--call-after", "2.6", "--calls", "1",
                         "--records", "1", "--record-pages", "300", "--hangup-after-pages", "7",
                         "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  const int pages = TruthPages();
  qputenv("VARNEL_PORTS", ports_.toLocal8Bit());
  QDir().mkpath(data_);
  RegistryKey(kCommonKey).WriteString("Internal-Path", data_);
  FacadeLink link;
  RecordingView view;
  ManualTimerFactory timers;
  ContactStore history(HistoryPath());
  {
    LogicEnvironment env;
    env.ProgramPath = ProgramPath();
    env.Link = &link;
    env.Timers = &timers;
    env.Services = {&history};
    env.Observer = &view;
    MainLogic logic(view, env);
    logic.FormCreate();
    logic.PressStart();
    QElapsedTimer t;
    t.start();
    // The files of the pages read, then either the countdown that waits for the hang-up or,
    // when the dropped line was seen at once, the wait for the next call.
    const auto waitingAgain = [&] {
      return timers.made.at(1)->active || (view.jobs.size() > 1 && view.jobs.back() == 2);
    };
    while (view.filesDone.empty() || !waitingAgain()) {
      ASSERT_LT(t.elapsed(), 90000) << sim.Output();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    logic.ReleaseStart();
    ASSERT_TRUE(logic.WaitUntilIdle(10000));
    ASSERT_TRUE(logic.FormClose());
  }
  qunsetenv("VARNEL_PORTS");
  sim.Stop();

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Result, ContactResult::Partial);
  EXPECT_EQ(rows[0].RecordsRead, 1);
  EXPECT_GT(rows[0].PagesRead, 0);
  EXPECT_LT(rows[0].PagesRead, pages);
  EXPECT_EQ(rows[0].Files.size(), 1u);
  EXPECT_EQ(FaultLines(view.memo) + LogFaultLines(LogPath()), "");
}

}  // namespace
}  // namespace varnel
