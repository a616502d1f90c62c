// The supplied module idc2csv: the CSV beside a data file, the file list of the last
// readout, its registration, and the program as the collector starts it.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include "app/modules.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "files/idc_blocks.h"
#include "temp_store.h"
#include "modules/idc2csv/csv_export.h"

namespace varnel::idc2csv {
namespace {

class Idc2Csv : public test::TempStore {
 protected:
  // A data file of two entries.
  QString DataFile(const QString& name) {
    const QString path = Root() + "/" + name;
    IdcLoggerInfo logger;
    logger.SerialNumber = 7;
    logger.ChannelMask = 0x03;
    const std::vector<IdcEntry> entries = {{36526.5, 0, 1.5f, 0}, {36526.75, 15, 2.0f, 99}};
    WriteIdcFile(path.toStdString(), kIdcVersionText, logger, {}, entries);
    return path;
  }
  static QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  static constexpr const char* kExpected =
      "datetime,kind,value,extra\n"
      "2000-01-01T12:00:00,0,1.5,0\n"
      "2000-01-01T18:00:00,15,2,99\n";
};

TEST_F(Idc2Csv, TheCsvGoesBesideTheFileWithItsExtensionReplaced) {
  EXPECT_EQ(CsvPathFor("/d/4711/W 1_00.IDC"), "/d/4711/W 1_00.csv");
  EXPECT_EQ(CsvPathFor("/d/a.b/noext"), "/d/a.b/noext.csv");
}

TEST_F(Idc2Csv, ADataFileBecomesOneLinePerMeasurement) {
  const QString f = DataFile("Well 3_00.IDC");
  EXPECT_EQ(ConvertToCsv(f), "");
  EXPECT_EQ(Read(Root() + "/Well 3_00.csv"), kExpected);
}

TEST_F(Idc2Csv, ABrokenFileGivesAReasonAndNoCsv) {
  const QString f = DataFile("cut.idc");
  QFile::resize(f, QFileInfo(f).size() - 1);
  EXPECT_NE(ConvertToCsv(f), "");
  EXPECT_FALSE(QFile::exists(Root() + "/cut.csv"));
  EXPECT_NE(ConvertToCsv(Root() + "/missing.idc"), "");
}

TEST_F(Idc2Csv, TheFileListIsReadInPositionOrder) {
  RegistryKey list(QString(kCommonKeySlash) + "Files");
  for (int i = 11; i >= 0; --i) list.WriteString("File" + QString::number(i), "f" + QString::number(i));
  list.WriteString("Other", "x");
  list.Sync();
  QStringList expected;
  for (int i = 0; i < 12; ++i) expected << "f" + QString::number(i);
  EXPECT_EQ(FileListFromStore(), expected);
}

TEST_F(Idc2Csv, RegisteringMakesItAnAvailableModule) {
  const QString program = DataFile("stands-for-the-program");
  RegisterModule("idc2csv", program, "CSV export", true);
  ModuleSet set;
  LoadModules(set);
  ASSERT_EQ(set.Available.Count(), 1);
  EXPECT_EQ(set.Available.Item(0)->Description, "CSV export");
  EXPECT_EQ(QString::fromStdString(set.Available.Item(0)->Path), program);
  EXPECT_TRUE(set.Available.Item(0)->OnlyOneFile);
}

TEST_F(Idc2Csv, StartedWithFilesItConvertsTheLastReadout) {
  const QString a = DataFile("A_00.IDC"), b = DataFile("B_00.IDC");
  TDevice d;
  d.AddFile(a.toStdString());
  d.AddFile(b.toStdString());
  WriteFileList(d);
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", Root() + "/config");
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(Root());
  p.start(QStringLiteral(IDC2CSV_PATH), {"Files"});
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  EXPECT_EQ(Read(Root() + "/A_00.csv"), kExpected);
  EXPECT_EQ(Read(Root() + "/B_00.csv"), kExpected);

  // With one file path it converts that file; a broken one gives exit status 1.
  QFile::remove(Root() + "/A_00.csv");
  p.start(QStringLiteral(IDC2CSV_PATH), {a});
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_EQ(Read(Root() + "/A_00.csv"), kExpected);
  p.start(QStringLiteral(IDC2CSV_PATH), {Root() + "/nothing.idc"});
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitCode(), 1);
}

}  // namespace
}  // namespace varnel::idc2csv
