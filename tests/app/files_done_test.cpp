// The end of a file worker: the file list, the backups, the modules and the port.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "worker_done_fixture.h"

namespace varnel {
namespace {

using test::SecondsOf;
using test::WorkerDone;
using Lines = std::vector<std::string>;

// A call that broke off in its last record: its file is kept, and every place that tells
// of the call says it is partial.
TEST_F(WorkerDone, APartialReadoutIsCalledPartialInTheMemoAndTheTray) {
  MakeFiles(1, 1, wdRecordsPartly);
  FilesDone(kFilesComplete);
  EXPECT_EQ(view.memo, (Lines{"File W_1.idc created",
                              "Readout broken off; the data file holds the pages read so far",
                              "Backup file(s) created !"}));
  EXPECT_NE(view.activityText.find(": 1 file(s) written, partial"), std::string::npos)
      << view.activityText;
}

TEST_F(WorkerDone, FilesDoneListsTheFilesMakesBackupsAndStartsTheModules) {
  const QStringList programs = ChooseModules({{"One", true}, {"All", false}});
  const QStringList files = MakeFiles(2);
  FilesDone(0x101);  // only the low byte counts
  EXPECT_EQ(view.memo, (Lines{"File W_1.idc created", "File W_2.idc created",
                              "Backup file(s) created !"}));
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(AfterStamp(log[0]), "File W_1.idc created");
  EXPECT_EQ(AfterStamp(log[1]), "File W_2.idc created");
  EXPECT_EQ(log[2], "");  // the last file line is followed by an empty line
  EXPECT_EQ(AfterStamp(log[3]), "Backup file(s) created !");

  QFile backup(Root() + "/data/4711/W_2_BAK.idc");
  ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
  EXPECT_EQ(backup.readAll(), "data2");

  // Full paths with the system's separators, as the device line's other programs read them.
  const auto native = [&files](int i) { return QDir::toNativeSeparators(files[i]); };
  RegistryKey list(QString(kCommonKeySlash) + "Files");
  EXPECT_EQ(list.ReadString("File0"), native(0));
  EXPECT_EQ(list.ReadString("File1"), native(1));
  EXPECT_EQ(logic->FileListKey(), "Files");

  ASSERT_EQ(launcher.starts.size(), 3u);
  EXPECT_EQ(launcher.starts[0].arguments, QStringList{native(0)});
  EXPECT_EQ(launcher.starts[1].arguments, QStringList{native(1)});
  EXPECT_EQ(launcher.starts[0].program, programs[0]);
  EXPECT_EQ(launcher.starts[2].program, programs[1]);
  EXPECT_EQ(launcher.starts[2].arguments, QStringList{"Files"});
  EXPECT_EQ(pauses, (std::vector<int>{200, 200, 200}));
  EXPECT_TRUE(view.enabled["btnReadRec"]);
  EXPECT_EQ(link.closes, 0);  // modem mode keeps the port open
}

TEST_F(WorkerDone, BackupsOverwriteEarlierCopiesAndCanBeSwitchedOff) {
  const QStringList files = MakeFiles(1);
  {
    QFile old(Root() + "/data/4711/W_1_BAK.idc");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("stale backup");
  }
  FilesDone(1);
  QFile b(Root() + "/data/4711/W_1_BAK.idc");
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  EXPECT_EQ(b.readAll(), "data1");
  b.close();

  QFile::remove(Root() + "/data/4711/W_1_BAK.idc");
  RegistryKey(kSettingsKey).WriteFlag("Create-Backup", false);
  logic.reset();
  CreateRunning();
  MakeFiles(1);
  FilesDone(1);
  EXPECT_FALSE(QFile::exists(Root() + "/data/4711/W_1_BAK.idc"));
  EXPECT_EQ(view.memo, Lines{"File W_1.idc created"});
}

TEST_F(WorkerDone, ABackupThatCannotBeMadeIsNamedAndNotReportedAsCreated) {
  const QStringList files = MakeFiles(2);
  // A folder in the way of the first copy.
  ASSERT_TRUE(QDir().mkpath(Root() + "/data/4711/W_1_BAK.idc/in-the-way"));
  FilesDone(1);
  const std::string failed = logic->Text(kTextBackupFailed) + " W_1_BAK.idc";
  EXPECT_EQ(view.memo, (Lines{"File W_1.idc created", "File W_2.idc created", failed}));
  EXPECT_EQ(LoggedTexts().back(), failed);
  EXPECT_TRUE(QFile::exists(Root() + "/data/4711/W_2_BAK.idc"));
  EXPECT_EQ(launcher.starts.size(), 0u);  // no module chosen; the list is still written
  EXPECT_EQ(RegistryKey(QString(kCommonKeySlash) + "Files").ReadString("File1"),
            QDir::toNativeSeparators(files[1]));
}

TEST_F(WorkerDone, NoFileCreatedRunsNoModule) {
  ChooseModules({{"All", false}});
  FilesDone(1);  // flag 1 but an empty list
  FilesDone(0);
  EXPECT_EQ(view.memo, (Lines{"No File created !", "No File created !"}));
  EXPECT_EQ(LoggedTexts(), (Lines{"No File created !", "No File created !"}));
  EXPECT_TRUE(launcher.starts.empty());
  FilesDone(2);  // other values: nothing
  EXPECT_EQ(view.memo.size(), 2u);
}

TEST_F(WorkerDone, FilesDoneOutsideModemModeClosesThePortUnlessKeptOpen) {
  link.modem = false;
  ASSERT_FALSE(logic->KeepPortOpen());  // Start opened the port itself
  FilesDone(0);
  EXPECT_EQ(link.closes, 1);
  EXPECT_TRUE(view.enabled["btnStart"]);
  // A record table read in modem mode chains the readout on the open port.
  link.modem = true;
  AddRecords({SecondsOf(2020, 1, 1)});
  logic->WMWorkerDone(wdContentsRead);
  ASSERT_TRUE(logic->KeepPortOpen());
  link.modem = false;
  FilesDone(0);
  EXPECT_EQ(link.closes, 1);
}

}  // namespace
}  // namespace varnel
