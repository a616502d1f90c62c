// Where things live: the folder rule for the data folders, and the program log beside the
// program or in the per-user data folder.
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "common/locations.h"
#include "tests/common/temp_store.h"

namespace varnel {
namespace {

class Locations : public test::TempStore {};

TEST_F(Locations, AFolderThatCannotBeWrittenIsReplacedByThePerUserDataFolder) {
  QDir().mkpath(Root() + "/ro");
  const auto readOnly = [this](const QString& f) { return f != Root() + "/ro"; };
  // The program's folder, reached through the rule, gives way to the documents folder.
  const auto programReadOnly = [this](const QString& f) { return f != ProgramFolder(); };
  bool toDocuments = false;
  EXPECT_EQ(ResolveFolderSetting("", ProgramFolder(), programReadOnly, &toDocuments),
            DocumentsDataFolder());
  EXPECT_TRUE(toDocuments);
#ifdef Q_OS_WIN
  // Windows keeps the drive's root, as the other programs of the device line do.
  EXPECT_EQ(ResolveFolderSetting(Root() + "/ro", ProgramFolder(), readOnly), "C:");
  return;
#endif
  EXPECT_EQ(ResolveFolderSetting(Root() + "/ro", ProgramFolder(), readOnly, &toDocuments),
            Root() + "/data/varnel");
  EXPECT_FALSE(toDocuments);
  EXPECT_TRUE(QFileInfo(Root() + "/data/varnel").isDir());
  EXPECT_EQ(ResolveFolderSetting(Root() + "/ro", ProgramFolder()), Root() + "/ro");
}

TEST_F(Locations, TheLogLiesBesideTheProgramWithTheExtensionReplaced) {
  EXPECT_EQ(DefaultLogFilePath(ProgramFolder() + "/Varnel.exe"), ProgramFolder() + "/Varnel.LOG");
  EXPECT_EQ(DefaultLogFilePath(ProgramFolder() + "/varnel-collect"),
            ProgramFolder() + "/varnel-collect.LOG");
}

TEST_F(Locations, AnUnwritableProgramFolderSendsTheLogToThePerUserDataFolder) {
  const QString ro = Root() + "/ro";
  QDir().mkpath(ro);
  const auto readOnly = [ro](const QString& f) { return f != ro; };
#ifdef Q_OS_WIN
  const QString perUser = Root() + "/data/Varnel";  // %LOCALAPPDATA%\Varnel
#else
  const QString perUser = Root() + "/data/varnel";
#endif
  EXPECT_EQ(DefaultLogFilePath(ro + "/Varnel.exe", readOnly), perUser + "/Varnel.LOG");
  EXPECT_TRUE(QFileInfo(perUser).isDir());
  EXPECT_FALSE(FolderWritable(Root() + "/missing"));
  EXPECT_TRUE(FolderWritable(ro));
}

}  // namespace
}  // namespace varnel
