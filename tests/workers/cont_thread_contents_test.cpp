// The record scan on memories laid out by hand: a damaged link must cost the records it
// concerns, not the whole table.
#include <gtest/gtest.h>

#include "fake_logger.h"
#include "test_host.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kT = 760000000;
constexpr std::uint16_t kLastPage = 107;
constexpr std::uint8_t kReserved = 8;  // ring 0..99
constexpr std::uint16_t kWritePointer = 60;

// A ring that has wrapped: record Y on pages 21..60 (60 written last); below it the rest of
// an older record X on pages 61..99 and 0..20, whose first page has been overwritten.
FakeLogger::Memory WrappedRing() {
  FakeLogger::Memory m;
  m.lastPage = kLastPage;
  m.reservedPages = kReserved;
  m.writePointer = kWritePointer;
  m.pages.assign(kLastPage + 1, FakeLogger::Erased());
  for (int p = 21; p <= 60; ++p) m.pages[p] = FakeLogger::RecordPage(p, 21, kT + 1000 + 60 * static_cast<std::uint32_t>(p));
  for (int p = 61; p <= 99; ++p) m.pages[p] = FakeLogger::RecordPage(p, 40, kT + 60 * static_cast<std::uint32_t>(p - 61));
  for (int p = 0; p <= 20; ++p) m.pages[p] = FakeLogger::RecordPage(p, 40, kT + 60 * static_cast<std::uint32_t>(p + 39));
  return m;
}

std::vector<int> RunContents(FakeLogger& logger, TestHost& host) {
  EXPECT_TRUE(logger.Ok());
  EXPECT_TRUE(host.Start());
  EXPECT_TRUE(host.RunUntil([&] { return !host.Results().empty(); }, 20s));
  host.Drain(30ms);
  return host.Results();
}

TestHost::Setup Direct() {
  TestHost::Setup s;
  s.port = FakeLogger::kPort;
  s.address = 250;
  s.readAfterContents = false;
  return s;
}

TEST(ContentsScan, WrappedRingGivesTheNewestRecordAndTheRestBelowIt) {
  FakeLogger logger(WrappedRing());
  TestHost host(Direct());
  EXPECT_EQ(RunContents(logger, host), std::vector<int>{wdContentsRead});
  ASSERT_EQ(host.Device().RecCount(), 2);
  EXPECT_EQ(host.Device().Rec(0)->FirstPage, 21);
  EXPECT_EQ(host.Device().Rec(0)->LastPage, 60);
  EXPECT_EQ(host.Device().Rec(0)->Span, 39);
  EXPECT_EQ(host.Device().Rec(0)->StartTime, kT + 1000 + 60 * 21);
  // The older record runs from the oldest page of the ring.
  EXPECT_EQ(host.Device().Rec(1)->FirstPage, 61);
  EXPECT_EQ(host.Device().Rec(1)->LastPage, 20);
  EXPECT_EQ(host.Device().Rec(1)->Span, 59);
  EXPECT_EQ(host.Device().Rec(1)->StartTime, kT);
}

TEST(ContentsScan, LinkToAYoungerPageFallsBackToTheOldestPage) {
  auto memory = WrappedRing();
  memory.pages[20] = FakeLogger::RecordPage(20, 45, kT + 60 * 59);  // 45 is younger than 20
  FakeLogger logger(memory);
  TestHost host(Direct());
  EXPECT_EQ(RunContents(logger, host), std::vector<int>{wdContentsRead});
  ASSERT_EQ(host.Device().RecCount(), 2);
  EXPECT_EQ(host.Device().Rec(1)->FirstPage, 61);
  EXPECT_EQ(host.Device().Rec(1)->LastPage, 20);
}

TEST(ContentsScan, LinkPastTheEndOfMemoryCostsOnlyItsRecord) {
  auto memory = WrappedRing();
  memory.pages[60] = FakeLogger::RecordPage(60, 5000, kT + 1000 + 60 * 60);  // damaged
  FakeLogger logger(memory);
  TestHost host(Direct());
  EXPECT_EQ(RunContents(logger, host), std::vector<int>{wdContentsRead});
  // The newest page's record cannot be told apart: it runs from the oldest page.
  ASSERT_EQ(host.Device().RecCount(), 1);
  EXPECT_EQ(host.Device().Rec(0)->FirstPage, 61);
  EXPECT_EQ(host.Device().Rec(0)->LastPage, 60);
  for (int page : logger.PagesAsked()) EXPECT_LE(page, kLastPage);
}

TEST(ContentsScan, StartPageLinkingElsewhereIsNoStart) {
  auto memory = WrappedRing();
  memory.pages[21][1] = 22;  // a start page must link to itself
  FakeLogger logger(memory);
  TestHost host(Direct());
  EXPECT_EQ(RunContents(logger, host), std::vector<int>{wdContentsRead});
  // Page 21 is no valid start for Y, which then runs from the oldest page; nothing older.
  ASSERT_EQ(host.Device().RecCount(), 1);
  EXPECT_EQ(host.Device().Rec(0)->FirstPage, 61);
  EXPECT_EQ(host.Device().Rec(0)->LastPage, 60);
}

}  // namespace
}  // namespace varnel::testing
