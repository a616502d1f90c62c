// Reading only new pages, with varnel-collect as a process against a logger that records
// between calls: every file is byte for byte the file a full readout of the same memory
// writes, and the line carries only the new pages plus the one re-read, except where the
// cache cannot be trusted.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include "app/registered_devices.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "device/page_cache.h"
#include "logic_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace varnel {
namespace {

using test::TempStore;
using testsupport::SimProcess;

// A 200-page ring whose newest record holds pages 24..123 (seed 3) and grows by 20 pages
// after every call: its new pages cross page 0 at the fifth call, and at the seventh it
// has overwritten its own first page.
const std::vector<std::string> kLogger = {
    "--echo", "--seed", "3", "--records", "3", "--record-pages", "40", "--newest-pages", "100",
    "--last-page", "207", "--reserved-pages", "8", "--pages-between-calls", "20"};

struct Call {
  QByteArray file;  // the one data file of the call
  QString output;
};

class ReadOnlyNewPages : public TempStore {
 protected:
  void SetUp() override {
    TempStore::SetUp();
    RegistryKey(QString(kRegisteredDevicesKey) + "\\40123").WriteFlag("SynchTime", true);
  }

  void SetOption(bool on) {
    RegistryKey dev(QString(kRegisteredDevicesKey) + "\\40123");
    dev.WriteFlag(QLatin1String(kReadOnlyNewPagesValue), on);
    dev.Sync();
  }

  // Starts a logger in a folder of its own (`name`), with its frame log.
  void StartLogger(const std::string& name, std::vector<std::string> args) {
    const QString folder = Root() + "/" + QString::fromStdString(name);
    QDir().mkpath(folder + "/ports");
    QDir().mkpath(folder + "/files");
    ports_ = folder + "/ports";
    data_ = folder + "/files";
    frames_ = folder + "/frames.jsonl";
    args.insert(args.end(), {"--port", "1", "--frames", frames_.toStdString()});
    sim_ = std::make_unique<SimProcess>();
    ASSERT_TRUE(sim_->Start(args, ports_.toStdString())) << sim_->Error();
  }

  // One direct readout by varnel-collect: the new data file of it and what it printed.
  Call Collect() {
    const QDir folder(data_ + "/40123");
    const QStringList before = folder.entryList({"*.IDC"}, QDir::Files);
    testsupport::ChildProcess collect;
    EXPECT_TRUE(collect.Start(VARNEL_COLLECT_PATH, {"--direct", "--data", data_.toStdString()},
                              {{"XDG_CONFIG_HOME", (Root() + "/config").toStdString()},
                               {"XDG_DATA_HOME", (Root() + "/data").toStdString()},
                               {"VARNEL_PORTS", ports_.toStdString()}}));
    const int code = collect.Wait(90000);
    if (code == -1) collect.Stop(SIGKILL, 2000);
    Call call;
    call.output = QString::fromStdString(collect.Output());
    EXPECT_EQ(code, 0) << call.output.toStdString();
    QStringList added = QDir(data_ + "/40123").entryList({"*.IDC"}, QDir::Files);
    for (const QString& f : before) added.removeAll(f);
    added = added.filter(QRegularExpression("^((?!_BAK).)*$"));  // not the backup copy
    EXPECT_EQ(added.size(), 1) << call.output.toStdString();
    if (added.size() == 1) {
      QFile f(data_ + "/40123/" + added[0]);
      if (f.open(QIODevice::ReadOnly)) call.file = f.readAll();
    }
    return call;
  }

  // Ring pages the logger sent in block reads of call `call` (not headers, not the pages
  // above the ring).
  int RecordPagesOnTheLine(int call, int lastRingPage = 199) const {
    QFile f(frames_);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    int pages = 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
      const QJsonObject o = QJsonDocument::fromJson(line).object();
      if (o.value("call").toInt() != call || o.value("function").toInt() != 68) continue;
      const QByteArray data = QByteArray::fromHex(o.value("data").toString().toLatin1());
      if (data.size() != 3) continue;
      const int start = static_cast<std::uint8_t>(data[0]) << 8 | static_cast<std::uint8_t>(data[1]);
      if (start <= lastRingPage) pages += static_cast<std::uint8_t>(data[2]);
    }
    return pages;
  }

  std::filesystem::path CacheFile() const {
    return PageCacheFile((Root() + "/data/varnel/page-cache").toStdString(), 40123);
  }

  QString ports_, data_, frames_;
  std::unique_ptr<SimProcess> sim_;
};

TEST_F(ReadOnlyNewPages, FilesAreThoseOfAFullReadoutAndOnlyNewPagesCrossTheLine) {
  constexpr int kCalls = 7;
  // The same logger read in full at every call: the files to match, and the pages a full
  // readout needs.
  SetOption(false);
  StartLogger("full", kLogger);
  std::vector<Call> full;
  std::vector<int> fullPages;
  for (int call = 1; call <= kCalls; ++call) {
    full.push_back(Collect());
    fullPages.push_back(RecordPagesOnTheLine(call));
    ASSERT_FALSE(full.back().file.isEmpty());
  }
  EXPECT_FALSE(std::filesystem::exists(CacheFile()));  // nothing is cached with the option off
  EXPECT_EQ(fullPages[0], 100);

  SetOption(true);
  StartLogger("incremental", kLogger);
  // What each call does to the cache before it runs, and what the line must then carry.
  enum Before { Nothing, DamageFile, ChangeNewestPage };
  const std::map<int, Before> before = {{4, DamageFile}, {6, ChangeNewestPage}};
  const std::set<int> readInFull = {1, 4, 6, 7};  // no cache; damaged; disagrees; overwritten
  for (int call = 1; call <= kCalls; ++call) {
    SCOPED_TRACE("call " + std::to_string(call));
    const auto what = before.count(call) ? before.at(call) : Nothing;
    if (what == DamageFile) {
      std::fstream f(CacheFile(), std::ios::in | std::ios::out | std::ios::binary);
      f.seekg(40);
      const int byte = f.get();
      f.seekp(40);
      f.put(static_cast<char>(byte ^ 0x10));
    } else if (what == ChangeNewestPage) {
      PageCache cache;
      ASSERT_EQ(ReadPageCache(CacheFile(), cache), CacheRead::Loaded);
      ASSERT_EQ(cache.Records.size(), 1u);
      cache.Records[0].Pages.front().Data[20] ^= 0x01;
      std::string error;
      ASSERT_TRUE(WritePageCache(CacheFile(), cache, error)) << error;
    }
    const Call got = Collect();
    const QString out = got.output;
    EXPECT_EQ(got.file, full[static_cast<std::size_t>(call - 1)].file) << out.toStdString();
    const int pages = RecordPagesOnTheLine(call);
    if (readInFull.count(call)) {
      EXPECT_EQ(pages, fullPages[static_cast<std::size_t>(call - 1)]);
      EXPECT_TRUE(out.contains("No matching pages in the page cache, record read in full"))
          << out.toStdString();
      EXPECT_EQ(out.contains("Page cache damaged, records are read in full"), what == DamageFile);
    } else {
      EXPECT_EQ(pages, 21);
      const int cached = fullPages[static_cast<std::size_t>(call - 1)] - 21;
      EXPECT_TRUE(out.contains(QString("Pages taken from the page cache: %1, pages read: 21").arg(cached)))
          << out.toStdString();
    }
  }
  EXPECT_FALSE(std::filesystem::exists(CacheFile().string() + ".tmp"));

  // Another memory layout under the same serial number: the cache of the last call is not
  // used, and the file is that of a full readout of the new logger.
  std::vector<std::string> bigger = kLogger;
  bigger[std::distance(bigger.begin(), std::find(bigger.begin(), bigger.end(), "--last-page")) + 1] = "407";
  SetOption(false);
  StartLogger("bigger-full", bigger);
  const Call reference = Collect();
  SetOption(true);
  StartLogger("bigger", bigger);
  const Call got = Collect();
  EXPECT_EQ(got.file, reference.file);
  EXPECT_EQ(RecordPagesOnTheLine(1, 399), 100);
  EXPECT_TRUE(got.output.contains("No matching pages in the page cache, record read in full"));
}

// A logger that fills its newest page entry by entry: between calls that page gains entries
// in place (over its old end mark and what followed it) before new pages open. Only the
// grown page and the new ones cross the line; the files are those of full readouts.
TEST_F(ReadOnlyNewPages, ANewestPageThatGainedEntriesIsReadAgainWithTheNewPagesOnly) {
  constexpr int kCalls = 5;
  std::vector<std::string> logger = {"--echo", "--seed", "11", "--records", "2",
                                     "--newest-pages", "30", "--last-page", "207",
                                     "--reserved-pages", "8", "--entries-between-calls", "9"};
  SetOption(false);
  StartLogger("full", logger);
  std::vector<Call> full;
  std::vector<int> fullPages;
  for (int call = 1; call <= kCalls; ++call) {
    full.push_back(Collect());
    fullPages.push_back(RecordPagesOnTheLine(call));
  }
  SetOption(true);
  StartLogger("incremental", logger);
  int grownOnly = 0;
  for (int call = 1; call <= kCalls; ++call) {
    SCOPED_TRACE("call " + std::to_string(call));
    const auto at = static_cast<std::size_t>(call - 1);
    const Call got = Collect();
    EXPECT_EQ(got.file, full[at].file) << got.output.toStdString();
    if (call == 1) continue;
    const int fresh = fullPages[at] - fullPages[at - 1] + 1;  // the new pages and the grown one
    grownOnly += fresh == 1;
    EXPECT_EQ(RecordPagesOnTheLine(call), fresh);
    const QString served = QString("Pages taken from the page cache: %1, pages read: %2")
                               .arg(fullPages[at] - fresh)
                               .arg(fresh);
    EXPECT_TRUE(got.output.contains(served)) << got.output.toStdString();
  }
  EXPECT_GT(grownOnly, 0);  // some calls found no new page, only more entries
}

}  // namespace
}  // namespace varnel
