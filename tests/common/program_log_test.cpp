// The program log: line form, continuation lines, and a log that is never created by a line.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "common/locale_text.h"
#include "common/program_log.h"
#include "tests/common/temp_store.h"

namespace varnel {
namespace {

class ProgramLogFile : public test::TempStore {
 protected:
  QByteArray Content() const {
    QFile f(LogPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
};

TEST_F(ProgramLogFile, ALineIsStampTabTextCrLf) {
  ProgramLog log(LogPath());
  ASSERT_TRUE(log.CreateIfMissing());
  const QString before = NowText();
  ASSERT_TRUE(log.AddToLogFile("Cancelled !"));
  const QString after = NowText();
  const QByteArray text = Content();
  ASSERT_TRUE(text.endsWith("\tCancelled !\r\n")) << text.toStdString();
  const QByteArray stamp = text.left(text.indexOf('\t'));
  EXPECT_TRUE(stamp == before.toLocal8Bit() || stamp == after.toLocal8Bit()) << stamp.toStdString();
  EXPECT_EQ(text.count('\n'), 1);
}

TEST_F(ProgramLogFile, CrLfInsideTheTextContinuesWithoutStampAndEmptyTextKeepsTheStamp) {
  ProgramLog log(LogPath());
  ASSERT_TRUE(log.CreateIfMissing());
  ASSERT_TRUE(log.AddToLogFile("Head:\r\n\t\t\tone\r\n\t\t\ttwo"));
  ASSERT_TRUE(log.AddToLogFile(""));
  const QList<QByteArray> lines = Content().split('\n');
  ASSERT_EQ(lines.size(), 5);  // four lines and the empty piece after the last LF
  EXPECT_TRUE(lines[0].endsWith("\tHead:\r"));
  EXPECT_FALSE(lines[0].startsWith('\t'));
  EXPECT_EQ(lines[1], "\t\t\tone\r");
  EXPECT_EQ(lines[2], "\t\t\ttwo\r");
  EXPECT_TRUE(lines[3].endsWith("\t\r"));
  EXPECT_GT(lines[3].size(), 2);
  EXPECT_TRUE(lines[4].isEmpty());
}

TEST_F(ProgramLogFile, AMissingLogIsNotCreatedAndTheLineIsLost) {
  ProgramLog log(LogPath());
  EXPECT_FALSE(log.AddToLogFile("lost"));
  EXPECT_FALSE(QFileInfo::exists(LogPath()));
  ASSERT_TRUE(log.CreateIfMissing());
  EXPECT_TRUE(log.AddToLogFile("kept"));
  ASSERT_TRUE(QFile::remove(LogPath()));
  EXPECT_FALSE(log.AddToLogFile("dropped after deletion"));
  EXPECT_FALSE(QFileInfo::exists(LogPath()));
  ASSERT_TRUE(log.CreateIfMissing());
  EXPECT_TRUE(log.AddToLogFile("after re-creation"));
  EXPECT_TRUE(Content().endsWith("\tafter re-creation\r\n"));
  EXPECT_FALSE(Content().contains("dropped"));
}

TEST_F(ProgramLogFile, CreatingKeepsAnExistingLog) {
  ProgramLog log(LogPath());
  ASSERT_TRUE(log.CreateIfMissing());
  ASSERT_TRUE(log.AddToLogFile("first"));
  ASSERT_TRUE(log.CreateIfMissing());
  EXPECT_TRUE(Content().contains("first"));
}

TEST_F(ProgramLogFile, TextsAreWrittenInTheSystemEncoding) {
  ProgramLog log(LogPath());
  ASSERT_TRUE(log.CreateIfMissing());
  ASSERT_TRUE(log.AddToLogFile("M\xC3\xA4rz"));
  EXPECT_TRUE(Content().endsWith(QString::fromUtf8("\tM\xC3\xA4rz\r\n").toLocal8Bit()));
}

}  // namespace
}  // namespace varnel
