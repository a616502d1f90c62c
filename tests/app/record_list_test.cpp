// The record list: columns, share of the ring, and the records ticked for reading.
#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>

#include "app/record_list.h"
#include "common/locale_text.h"

namespace varnel {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace record_list_test {

// Seconds since 2000-01-01 of a date at midnight.
std::uint32_t SecondsOf(int year, int month, int day) {
  return static_cast<std::uint32_t>(QDate(2000, 1, 1).daysTo(QDate(year, month, day)) * 86400);
}

void AddRecord(TDevice& d, std::uint32_t start, std::int16_t span) {
  auto rec = std::make_unique<TRec>();
  rec->StartTime = start;
  rec->Span = span;
  d.AddRec(std::move(rec));
}

TEST(RecordList, NumbersAreRightAlignedToFivePlacesAndSharesToSix) {
  TDevice d;
  d.LastRingPage = 1000;
  for (int i = 0; i < 12; ++i) AddRecord(d, SecondsOf(2024, 1, 1) + 3600u * i, 250);
  const RecordListText list = BuildRecordList(d, "VTQ Record contents");
  ASSERT_EQ(list.Entries.size(), 12u);
  const std::string time0 = DeviceTimeText(SecondsOf(2024, 1, 1)).toStdString();
  EXPECT_EQ(list.Entries[0].Text, "    1    " + time0 + "  25.0    ");
  EXPECT_EQ(list.Entries[11].Text.substr(0, 9), "   12    ");
  EXPECT_FALSE(list.Entries[0].Ticked);
}

// Dates of different lengths ("3 Mar 2024", "20 Feb 2024" in many locales) must not
// push the shares out of their column.
TEST(RecordList, SharesStayInOneColumnWhateverTheDateLengths) {
  TDevice d;
  d.LastRingPage = 1000;
  AddRecord(d, SecondsOf(2024, 3, 3) + 3600u, 20);
  AddRecord(d, SecondsOf(2024, 2, 20) + 13 * 3600u, 155);
  AddRecord(d, SecondsOf(2024, 12, 28) + 23 * 3600u, 5);
  const auto entries = BuildRecordList(d, "H").Entries;
  ASSERT_EQ(entries.size(), 3u);
  for (const RecordEntry& e : entries) EXPECT_EQ(e.Text.size(), entries[0].Text.size()) << e.Text;
  EXPECT_EQ(entries[1].Text.substr(entries[1].Text.size() - 10), "  15.5    ");
}

TEST(RecordList, ASpanOfZeroShowsZeroWithTheSystemSeparator) {
  TDevice d;
  d.LastRingPage = 4000;
  AddRecord(d, 0, 0);
  const auto list = BuildRecordList(d, "H");
  const std::string text = list.Entries[0].Text;
  const std::string sep = QString(QLocale::system().decimalPoint()).toStdString();
  EXPECT_EQ(text.substr(text.size() - 9 - sep.size()), "   0" + sep + "0    ");
}

TEST(RecordList, TheShareUsesTheRingSizeAndAnEmptyLayoutShowsZero) {
  TDevice d;
  d.LastRingPage = 3;
  AddRecord(d, 0, 1);
  EXPECT_NE(BuildRecordList(d, "H").Entries[0].Text.find("  33.3    "), std::string::npos);
  TDevice empty;
  AddRecord(empty, 0, 7);
  EXPECT_NE(BuildRecordList(empty, "H").Entries[0].Text.find("   0.0    "), std::string::npos);
}

TEST(RecordList, TheLogTextIsAHeadingAndOneLinePerRecordWithThreeTabs) {
  TDevice d;
  d.LastRingPage = 100;
  for (int i = 0; i < 3; ++i) AddRecord(d, SecondsOf(2023, 5, 1 + i), 10);
  const auto list = BuildRecordList(d, "VTQ Record contents");
  const std::string expected =
      "VTQ Record contents:\r\n"
      "\t\t\t    1    " + DeviceTimeText(SecondsOf(2023, 5, 1)).toStdString() + "\r\n" +
      "\t\t\t    2    " + DeviceTimeText(SecondsOf(2023, 5, 2)).toStdString() + "\r\n" +
      "\t\t\t    3    " + DeviceTimeText(SecondsOf(2023, 5, 3)).toStdString();
  EXPECT_EQ(list.LogText, expected);
}

class ReadRule : public ::testing::Test {
 protected:
  void SetUp() override {
    d.LastRingPage = 100;
    AddRecord(d, SecondsOf(2006, 3, 1), 1);   // newest
    AddRecord(d, SecondsOf(2005, 1, 1), 1);
    AddRecord(d, SecondsOf(2004, 12, 31), 1);
    AddRecord(d, SecondsOf(2005, 2, 1), 1);
    entries = BuildRecordList(d, "H").Entries;
  }
  std::vector<bool> Ticks() const {
    std::vector<bool> t;
    for (const auto& e : entries) t.push_back(e.Ticked);
    return t;
  }
  TDevice d;
  std::vector<RecordEntry> entries;
};

TEST_F(ReadRule, OnlyTheCurrentRecordWhenAsked) {
  d.ReadActualRec = true;
  TickByReadRule(d, entries);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, false, false}));
}

TEST_F(ReadRule, FromJanuary2005EveryLaterRecordPlusTheFirst) {
  d.ReadActualRec = false;
  d.ReadFromMonth = 1;
  d.ReadFromYear = 2005;
  TickByReadRule(d, entries);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false, true}));
}

TEST_F(ReadRule, TheMonthCountsOnlyInTheSameYear) {
  d.ReadActualRec = false;
  d.ReadFromMonth = 2;
  d.ReadFromYear = 2005;
  TickByReadRule(d, entries);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, false, true}));
  d.ReadFromMonth = 12;
  d.ReadFromYear = 2004;
  entries = BuildRecordList(d, "H").Entries;
  TickByReadRule(d, entries);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true, true}));
}

TEST_F(ReadRule, ASingleRecordIsTickedWhateverTheRule) {
  TDevice one;
  one.LastRingPage = 10;
  AddRecord(one, SecondsOf(2001, 1, 1), 0);
  one.ReadActualRec = false;
  one.ReadFromYear = 2030;
  auto list = BuildRecordList(one, "H").Entries;
  TickByReadRule(one, list);
  EXPECT_TRUE(list[0].Ticked);
}

}  // namespace record_list_test
}  // namespace varnel
