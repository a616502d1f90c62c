#pragma once
// The window logic running in modem mode with its log emptied: the set-up of the tests of
// what follows the end of each job.
#include <QDate>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "lang/text_ids.h"
#include "logic_fixture.h"
#include "varnel_version.h"
#include "workers/worker_messages.h"

namespace varnel::test {

inline std::uint32_t SecondsOf(int year, int month, int day) {
  return static_cast<std::uint32_t>(QDate(2000, 1, 1).daysTo(QDate(year, month, day)) * 86400);
}

class WorkerDone : public LogicTest {
 protected:
  void SetUp() override {
    LogicTest::SetUp();
    CreateRunning();
  }
  void CreateRunning() {
    Create();
    logic->SetShowTime(false);
    link.modem = true;
    StartRunning();
    link.jobs.clear();
    QFile::resize(LogPath(), 0);
  }
  // Registers modules (name, one-file flag) with program files in the test folder, chooses
  // them in this order and starts the window again, as at the next program start.
  QStringList ChooseModules(const std::vector<std::pair<QString, bool>>& modules) {
    QStringList paths;
    RegistryKey exec(kExecutableKey);
    int i = 0;
    for (const auto& [name, oneFile] : modules) {
      const QString path = Root() + "/m/" + name.toLower();
      QDir().mkpath(Root() + "/m");
      QFile f(path);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      RegistryKey key(QString(kModulesKey) + "\\" + name);
      key.WriteString("Path", path);
      key.WriteString("Description", name);
      key.WriteFlag("OnlyOneFile", oneFile);
      exec.WriteString("Exec" + QString::number(i++), name);
      paths << path;
    }
    logic.reset();
    CreateRunning();
    return paths;
  }
  void AddRecords(std::initializer_list<std::uint32_t> starts) {
    TDevice& d = *logic->FDevice;
    d.LastRingPage = 1000;
    for (std::uint32_t s : starts) {
      auto rec = std::make_unique<TRec>();
      rec->StartTime = s;
      rec->Span = 100;
      d.AddRec(std::move(rec));
    }
  }
  std::vector<std::uint32_t> Kinds() const {
    std::vector<std::uint32_t> k;
    for (const auto& j : link.jobs) k.push_back(j.kind);
    return k;
  }
  // A file worker's run with the files of its readout on disk in the data folder (named
  // from `first` on); what its start showed is cleared.
  QStringList MakeFiles(int n, int first = 1, int readResult = wdRecordsRead) {
    logic->WMWorkerDone(readResult);
    view.memo.clear();
    QFile::resize(LogPath(), 0);
    QStringList names;
    const QString folder = Root() + "/data/4711";
    QDir().mkpath(folder);
    for (int i = first; i < first + n; ++i) {
      const QString name = folder + QString("/W_%1.idc").arg(i);
      QFile f(name);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      f.write("data" + QByteArray::number(i));
      names << name;
      link.fileThreads.back().report->AddFile(name.toStdString());
    }
    return names;
  }
  // The done message of the last file worker started (of none: an unknown one).
  void FilesDone(std::int64_t flag) {
    logic->WMFilesDone(flag, link.fileThreads.empty() ? 0 : link.fileThreads.back().report->Run);
  }
};

}  // namespace varnel::test
