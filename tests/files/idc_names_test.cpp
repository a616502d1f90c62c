// Names of the data files, their folder per logger, and the backup copy names.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "files/durable_file.h"
#include "files/idc_blocks.h"
#include "files/idc_names.h"
#include "files/idc_reader.h"
#include "files_test_util.h"

namespace varnel {
namespace {

using test::TempDir;

std::tm March7() {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 7;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 9;
  return t;
}

void Touch(const std::filesystem::path& p) { std::ofstream(p) << "x"; }

std::string Content(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(IdcNames, StemWithAndWithoutIdentity) {
  EXPECT_EQ(IdcNameStem("Well 4", March7()), "Well 4_07,03,2024_14,05,09_");
  EXPECT_EQ(IdcNameStem("", March7()), "07,03,2024_14,05,09_");
  std::tm t{};
  t.tm_year = 2001 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 31;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 0;
  EXPECT_EQ(IdcNameStem("x", t), "x_31,12,2001_23,59,00_");
}

TEST(IdcNames, FolderPerSerialNumberAndFirstFreeSequence) {
  TempDir dir;
  const std::filesystem::path first = MakeDataFileName(dir.Path(), 123456, "Well 4", March7());
  EXPECT_EQ(first, (dir.Path() / "123456" / "Well 4_07,03,2024_14,05,09_00.IDC").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "123456"));
  // The name is only chosen; the file worker creates it.
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_EQ(MakeDataFileName(dir.Path(), 123456, "Well 4", March7()), first);

  Touch(first);  // a second record within the same second
  EXPECT_EQ(MakeDataFileName(dir.Path(), 123456, "Well 4", March7()),
            (dir.Path() / "123456" / "Well 4_07,03,2024_14,05,09_01.IDC").string());
  // A gap is filled: 00 and 02 taken gives 01.
  Touch(dir.Path() / "123456" / "Well 4_07,03,2024_14,05,09_02.IDC");
  EXPECT_EQ(std::filesystem::path(MakeDataFileName(dir.Path(), 123456, "Well 4", March7()))
                .filename()
                .string(),
            "Well 4_07,03,2024_14,05,09_01.IDC");
}

TEST(IdcNames, EmptyIdentityStartsWithDate) {
  TempDir dir;
  EXPECT_EQ(std::filesystem::path(MakeDataFileName(dir.Path(), 7, "", March7())).filename(),
            "07,03,2024_14,05,09_00.IDC");
}

TEST(IdcNames, AllHundredOfASecondTakenGivesTheNextSecondsNames) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "9");
  for (int n = 0; n < 100; ++n) {
    char seq[4];
    std::snprintf(seq, sizeof seq, "%02d", n);
    Touch(dir.Path() / "9" / (std::string("A_07,03,2024_14,05,09_") + seq + ".IDC"));
  }
  EXPECT_EQ(std::filesystem::path(MakeDataFileName(dir.Path(), 9, "A", March7())).filename(),
            "A_07,03,2024_14,05,10_00.IDC");
  // Another identity text still has its names.
  EXPECT_EQ(std::filesystem::path(MakeDataFileName(dir.Path(), 9, "B", March7())).filename(),
            "B_07,03,2024_14,05,09_00.IDC");
  // The last second of a year runs over into the next.
  std::tm t = March7();
  t.tm_mon = 11;
  t.tm_mday = 31;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 59;
  for (int n = 0; n < 100; ++n) {
    char seq[4];
    std::snprintf(seq, sizeof seq, "%02d", n);
    Touch(dir.Path() / "9" / (std::string("A_31,12,2024_23,59,59_") + seq + ".IDC"));
  }
  EXPECT_EQ(std::filesystem::path(MakeDataFileName(dir.Path(), 9, "A", t)).filename(),
            "A_01,01,2025_00,00,00_00.IDC");
}

TEST(IdcNames, CommitNeverReplacesAFileAndTakesTheNextFreeName) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "3");
  const auto taken = dir.Path() / "3" / "x_07,03,2024_14,05,09_00.IDC";
  Touch(taken);
  const auto temp = dir.Path() / "3" / "written";
  std::ofstream(temp) << "new";
  // Moving onto a name that exists fails and leaves both files as they were.
  std::string error;
  EXPECT_EQ(MoveToNewName(temp, taken, error), MoveResult::NameTaken);
  EXPECT_EQ(Content(taken), "x");
  EXPECT_EQ(Content(temp), "new");
  const auto name = CommitDataFile(temp, dir.Path(), 3, "x", March7(), error);
  EXPECT_EQ(name.filename(), "x_07,03,2024_14,05,09_01.IDC") << error;
  EXPECT_EQ(Content(name), "new");
  EXPECT_FALSE(std::filesystem::exists(temp));
  EXPECT_EQ(Content(taken), "x");
}

TEST(IdcNames, ABackupIsReplacedOnlyByACompleteCopy) {
  TempDir dir;
  const auto file = dir.Path() / "x_00.IDC";
  const auto backup = BackupFileName(file);
  std::ofstream(backup) << "old copy";
  std::string error;
  // A copy that cannot be made leaves the earlier one.
  EXPECT_FALSE(CopyReplacing(file, backup, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Content(backup), "old copy");
  std::ofstream(file) << "new data";
  EXPECT_TRUE(CopyReplacing(file, backup, error)) << error;
  EXPECT_EQ(Content(backup), "new data");
  // Nothing else is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(IdcNames, FolderCreatedOneLevelOnly) {
  TempDir dir;
  EXPECT_EQ(MakeDataFileName(dir.Path() / "missing", 5, "x", March7()), "");
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing"));
  // A file where the logger's folder should be.
  Touch(dir.Path() / "5");
  EXPECT_EQ(MakeDataFileName(dir.Path(), 5, "x", March7()), "");
}

#ifndef _WIN32
TEST(IdcNames, DanglingLinkCountsAsTaken) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "1");
  std::filesystem::create_symlink(dir.Path() / "nowhere",
                                  dir.Path() / "1" / "x_07,03,2024_14,05,09_00.IDC");
  EXPECT_EQ(std::filesystem::path(MakeDataFileName(dir.Path(), 1, "x", March7())).filename(),
            "x_07,03,2024_14,05,09_01.IDC");
}
#endif

TEST(IdcNames, InvalidCharactersBecomeUnderscores) {
  const std::string text = std::string("a/b\\c:d*e?f\"g<h>i|j") + '\x01' + "k" + '\0' + "l";
  EXPECT_EQ(ReplaceInvalidNameChars(text, NameRules::Windows), "a_b_c_d_e_f_g_h_i_j_k_l");
  EXPECT_EQ(ReplaceInvalidNameChars(text, NameRules::Posix),
            std::string("a_b\\c:d*e?f\"g<h>i|j") + '\x01' + "k_l");
  // Code page letters are kept.
  EXPECT_EQ(ReplaceInvalidNameChars("Stra\xDF" "e 1", NameRules::Windows), "Stra\xDF" "e 1");
}

TEST(IdcNames, IdentityWithSlashStillGivesAWritableFile) {
  TempDir dir;
  const std::filesystem::path name = MakeDataFileName(dir.Path(), 77, "P1/P2 <east>", March7());
  ASSERT_NE(name, "");
  EXPECT_EQ(std::filesystem::path(name).parent_path(), dir.Path() / "77");
  WriteIdcFile(name, kIdcVersionText, test::SampleLogger(), test::SampleRecord(),
               test::SampleEntries());
  EXPECT_EQ(ReadIdcFile(name).Measurements.size(), test::SampleEntries().size());
}

TEST(IdcNames, BackupName) {
  TempDir dir;
  const auto name = dir.Path() / "1" / "Well 4_07,03,2024_14,05,09_00.IDC";
  EXPECT_EQ(BackupFileName(name.string()),
            (dir.Path() / "1" / "Well 4_07,03,2024_14,05,09_00_BAK.idc").string());
  // Only the extension goes, not a dot inside the identity text.
  EXPECT_EQ(std::filesystem::path(BackupFileName((dir.Path() / "v1.2_x_00.IDC").string()))
                .filename(),
            "v1.2_x_00_BAK.idc");
}

TEST(IdcNames, LocalTimeNowIsPlausible) {
  const std::tm now = LocalTimeNow();
  EXPECT_GE(now.tm_year + 1900, 2024);
  EXPECT_GE(now.tm_mday, 1);
  EXPECT_LE(now.tm_mon, 11);
}

}  // namespace
}  // namespace varnel
