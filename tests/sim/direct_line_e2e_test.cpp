// vtq-sim as a process, with the logger wired to its COM link: the commands over the line,
// the memory found where the truth file says, the recording of the host's writes, and the
// pacing of the line.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>

#include "tests/sim/support/ring_reader.h"
#include "tests/sim/support/sim_session.h"

namespace varnel::simtest {
namespace {

namespace fs = std::filesystem;

std::uint32_t Be32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

TEST(DirectLine, EveryCommandOverThePort) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--records", "2", "--last-page", "255", "--reserved-pages", "4", "--serial", "31337"}));
  EXPECT_NE(s.sim.Output().find("COM1 is /dev/pts/"), std::string::npos);
  LineClient& line = *s.line;
  struct Case {
    std::vector<std::uint8_t> request;
    std::size_t length;
  };
  const std::vector<Case> cases = {
      {{250, 0x30}, 10},
      {{250, 0x45}, 8},
      {{250, 0x5C, 1}, 9},
      {{250, 0x5D, 6, 1, 2, 3, 4, 5}, 5},
      {{250, 0x1E, 100}, 8},
      {{250, 0x1F, 100, 0x3F, 0x80, 0, 0}, 5},
      {{250, 0x49, 1}, 9},
      {{250, 0x5F, 0, 0x3F, 0x80, 0, 0}, 5},
      {{250, 0x43, 0, 0, 0, 6}, 10},
      {{250, 0x44, 0, 0, 0}, 12},
      {{250, 0x44, 0, 0, 3}, 196},
      {{250, 0x24, 0, 252, 0, 2, 'H', 'i'}, 5},
  };
  for (const Case& c : cases) {
    const auto reply = line.Exchange(c.request, c.length);
    ASSERT_EQ(reply.size(), c.length) << "function " << int(c.request[1]);
    EXPECT_TRUE(CrcOk(reply));
    EXPECT_EQ(reply[0], 250);
    EXPECT_EQ(reply[1], c.request[1]);
  }
  EXPECT_EQ(Be32(line.Exchange({250, 0x45}, 8), 2), 31337u);

  const auto unknown = line.Exchange({250, 0x12}, 5);
  ASSERT_EQ(unknown.size(), 5u);
  EXPECT_EQ(unknown[1], 0x92);
  EXPECT_EQ(unknown[2], 1);
  EXPECT_TRUE(CrcOk(unknown));
  EXPECT_TRUE(line.Exchange({251, 0x30}, 10, 300).empty()) << "another address";
  EXPECT_TRUE(line.Exchange({0, 0x30}, 10, 300).empty()) << "address 0 is never answered";
  line.Write({250, 0x30, 0x00, 0x00});
  EXPECT_TRUE(line.Read(10, 300).empty()) << "bad CRC";
  EXPECT_EQ(line.Exchange({250, 0x30}, 10).size(), 10u) << "and the next good frame is answered";

  const std::string link = s.dir / "ports/com1";
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(s.sim.Stop(SIGTERM), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link goes with the simulator";
}

// Reads the ring the way the collector does and compares with the truth file.
TEST(DirectLine, RecordsAreWhereTheTruthFileSays) {
  SimSession s;
  const std::string truthPath = s.File("truth.json");
  ASSERT_TRUE(s.Start({"--records", "5", "--wrapped", "--last-page", "511", "--reserved-pages", "6", "--seed", "4",
                       "--channels", "0x0006", "--truth", truthPath, "--comment", "line 1\\nline 2", "--battery", "55"}));
  LineClient& line = *s.line;
  const Json truth = Json::Parse(ReadWholeFile(truthPath));

  const auto layout = line.Exchange({250, 0x5C, 2}, 9);
  ASSERT_EQ(layout.size(), 9u);
  const std::uint16_t lastPage = static_cast<std::uint16_t>(layout[4] * 256 + layout[5]);
  const std::uint16_t n = static_cast<std::uint16_t>(lastPage - layout[6]);
  EXPECT_EQ(lastPage, 511);
  const auto state = line.Exchange({250, 0x5C, 1}, 9);
  const std::uint16_t w = static_cast<std::uint16_t>(state[5] * 256 + state[6]);
  EXPECT_EQ(state[3] & 0x02, 0x02) << "a wrapped ring is full";
  EXPECT_EQ(w, truth["memory"]["writePointer"].AsInt());
  const auto battery = line.Exchange({250, 0x5C, 8}, 9);
  EXPECT_EQ(battery[6], 55);
  EXPECT_EQ(battery[4] * 256 + battery[5], truth["channelMask"].AsInt());

  auto header = [&](std::uint16_t page) {
    const auto r = line.Exchange({250, 0x44, static_cast<std::uint8_t>(page >> 8), static_cast<std::uint8_t>(page), 0}, 12);
    std::array<std::uint8_t, 6> h{};
    if (r.size() == 12) std::copy_n(r.begin() + 2, 6, h.begin());
    return h;
  };
  auto page = [&](std::uint16_t p) {
    const auto r = line.Exchange({250, 0x44, static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p), 1}, 68);
    std::array<std::uint8_t, 64> bytes{};
    if (r.size() == 68) std::copy_n(r.begin() + 2, 64, bytes.begin());
    return bytes;
  };
  const auto records = ScanRing(n, w, header);
  const Json& expected = truth["records"];
  ASSERT_EQ(records.size(), expected.size());
  ASSERT_EQ(records.size(), 5u);
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    const Json& e = expected[i];
    EXPECT_EQ(records[i].firstPage, e["firstPage"].AsInt());
    EXPECT_EQ(records[i].lastPage, e["lastPage"].AsInt());
    EXPECT_EQ(records[i].startTime, e["startTime"].AsInt());
    std::vector<std::array<std::uint8_t, 64>> pages;
    for (std::uint16_t p = records[i].firstPage;; p = p == n ? 0 : p + 1) {
      pages.push_back(page(p));
      if (p == records[i].lastPage) break;
    }
    EXPECT_EQ(static_cast<long long>(pages.size()) - 1, e["span"].AsInt());
    const auto entries = DecodePages(pages);
    ASSERT_EQ(entries.size(), e["entries"].size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const Json& te = e["entries"][k];
      ASSERT_EQ(entries[k].time, te["t"].AsInt()) << k;
      ASSERT_EQ(entries[k].kind, te["kind"].AsInt()) << k;
      ASSERT_EQ(entries[k].extra, te["extra"].AsInt()) << k;
      ASSERT_EQ(!entries[k].value, te["value"].IsNull()) << k;
      if (entries[k].value) {
        ASSERT_EQ(*entries[k].value, static_cast<float>(te["value"].AsNumber())) << k;
      }
    }
  }
  // The identity page and the comment pages above the ring.
  const auto id = page(static_cast<std::uint16_t>(n + 1));
  EXPECT_EQ(std::string(id.begin(), std::find(id.begin(), id.end(), 0xFF)), truth["identityText"].AsString());
  const auto comment = page(static_cast<std::uint16_t>(n + 2));
  EXPECT_EQ(std::string(comment.begin(), std::find(comment.begin(), comment.end(), 0xFF)), "line 1\r\nline 2");
}

TEST(DirectLine, SameSeedGivesTheSameMemoryOnEveryRun) {
  std::vector<std::string> dumps, truths;
  for (const char* seed : {"21", "21", "22"}) {
    SimSession s;
    ASSERT_TRUE(s.Start({"--seed", seed, "--records", "7", "--wrapped", "--memory-dump", s.File("mem.bin"),
                         "--truth", s.File("truth.json"), "--clock", "2024-06-01"}));
    // What goes over the line is the memory that was dumped.
    const auto block = s.line->Exchange({250, 0x44, 0, 0, 10}, 644);
    ASSERT_EQ(block.size(), 644u);
    dumps.push_back(ReadWholeFile(s.File("mem.bin")));
    ASSERT_EQ(dumps.back().size(), 2048u * 64);
    EXPECT_TRUE(dumps.back().substr(0, 640) == std::string(block.begin() + 2, block.end() - 2));
    EXPECT_EQ(s.sim.Stop(SIGINT), 0);
    truths.push_back(ReadWholeFile(s.File("truth.json")));
  }
  EXPECT_TRUE(dumps[0] == dumps[1]);
  EXPECT_FALSE(dumps[0] == dumps[2]);
  // The truth files differ only in the running clock, which is not part of the memory.
  const Json a = Json::Parse(truths[0]), b = Json::Parse(truths[1]);
  EXPECT_EQ(a["records"].size(), b["records"].size());
  EXPECT_EQ(a["memory"]["writePointer"].AsInt(), b["memory"]["writePointer"].AsInt());
}

TEST(DirectLine, WritesOfTheHostAreRecordedInOrder) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--records", "1", "--truth", s.File("truth.json"), "--frames", s.File("frames.jsonl"),
                       "--calls", "1", "--linger", "0.2"}));
  LineClient& line = *s.line;
  const std::vector<std::vector<std::uint8_t>> writes = {
      {250, 0x5D, 0, 2, 0, 0, 0, 0},                 // prepare
      {250, 0x5F, 0, 0x3F, 0x00, 0, 0},               // offset P1 0.5
      {250, 0x1F, 106, 0xC0, 0x00, 0, 0},             // float 106 = -2
      {250, 0x5D, 9, 0, 0, 0x12, 0x34, 0},            // entry 9
      {250, 0x24, 0x07, 0xF8, 0, 2, 'W', '7'},        // identity page 2040
      {250, 0x24, 0x07, 0xF8, 2, 2, 0xFF, 0xFF},
      {250, 0x24, 0x07, 0xF9, 0, 2, 'c', 0xFF},       // comment page 2041
      {250, 0x5D, 3, 0x2E, 0x00, 0x00, 0x01, 0},      // clock
      {250, 0x5D, 0, 5, 0, 0, 0, 0},                  // restart
  };
  for (const auto& w : writes) ASSERT_EQ(line.Exchange(w, 5).size(), 5u);
  // Restarted once with --calls 1: the simulator ends by itself after lingering.
  EXPECT_EQ(s.sim.WaitExit(3000), 0);

  const Json t = Json::Parse(ReadWholeFile(s.File("truth.json")));
  const Json& rx = t["received"];
  EXPECT_EQ(rx["controls"][0].AsInt(), 2);
  EXPECT_EQ(rx["controls"][1].AsInt(), 5);
  EXPECT_EQ(rx["restarts"].AsInt(), 1);
  EXPECT_EQ(rx["offsets"][0]["value"].AsNumber(), 0.5);
  EXPECT_EQ(rx["floats"][0]["index"].AsInt(), 106);
  EXPECT_EQ(rx["config"][1]["entry"].AsInt(), 9);
  EXPECT_EQ(rx["clockSets"][0].AsInt(), 0x2E000001);
  EXPECT_EQ(t["identityText"].AsString(), "W7");
  EXPECT_EQ(t["commentText"].AsString(), "c");
  EXPECT_EQ(t["state"].AsInt() & 0x60, 0x40) << "recording again after the restart";

  // The frame log has one line per request, in the order sent.
  const std::string log = ReadWholeFile(s.File("frames.jsonl"));
  std::size_t at = 0, i = 0;
  double lastT = 0;
  while (at < log.size()) {
    const std::size_t end = log.find('\n', at);
    const Json line = Json::Parse(log.substr(at, end - at));
    ASSERT_LT(i, writes.size());
    EXPECT_EQ(line["function"].AsInt(), writes[i][1]);
    EXPECT_GE(line["t"].AsNumber(), lastT);
    EXPECT_EQ(line["reply"].AsString().size(), 10u);
    lastT = line["t"].AsNumber();
    ++i;
    at = end + 1;
  }
  EXPECT_EQ(i, writes.size());
}

TEST(DirectLine, RecordingLoggerWritesPagesAsRequestsGoBy) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--recording", "10", "--records", "3", "--wrapped", "--last-page", "63", "--reserved-pages",
                       "3", "--truth", s.File("truth.json")}));
  LineClient& line = *s.line;
  const Json before = Json::Parse(ReadWholeFile(s.File("truth.json")));
  const long long newestFirst = before["records"][0]["firstPage"].AsInt();
  auto writePointer = [&] {
    const auto r = line.Exchange({250, 0x5C, 1}, 9);
    EXPECT_EQ(r.size(), 9u);
    EXPECT_EQ(r[3] & 0x40, 0x40) << "recording";
    return r.size() == 9 ? r[5] * 256 + r[6] : -1;
  };
  auto header = [&](int page) {
    return line.Exchange({250, 0x44, 0, static_cast<std::uint8_t>(page), 0}, 12);
  };
  const int w0 = writePointer();  // request 1
  for (int i = 0; i < 9; ++i) ASSERT_EQ(line.Exchange({250, 0x30}, 10).size(), 10u);
  const int w1 = writePointer();  // request 11: one page written after request 10
  EXPECT_EQ(w1, w0 == 60 ? 0 : w0 + 1);
  auto h = header(w1);
  ASSERT_EQ(h.size(), 12u);
  EXPECT_EQ(h[2] & 0x80, 0) << "a continuation page of the newest record";
  EXPECT_EQ((h[2] & 0x1F) * 256 + h[3], newestFirst);

  // After a restart the next page opens a new record that links to itself.
  ASSERT_EQ(line.Exchange({250, 0x5D, 0, 5, 0, 0, 0, 0}, 5).size(), 5u);  // request 13
  for (int i = 0; i < 7; ++i) line.Exchange({250, 0x30}, 10);           // up to request 20
  const int w2 = writePointer();
  EXPECT_EQ(w2, w1 == 60 ? 0 : w1 + 1);
  h = header(w2);
  EXPECT_EQ(h[2] & 0x80, 0x80);
  EXPECT_EQ((h[2] & 0x1F) * 256 + h[3], w2);
  EXPECT_EQ(s.sim.Stop(SIGTERM), 0);
  const Json after = Json::Parse(ReadWholeFile(s.File("truth.json")));
  EXPECT_EQ(after["memory"]["pagesRecorded"].AsInt(), 2);
  EXPECT_EQ(after["records"][0]["firstPage"].AsInt(), w2);
  EXPECT_EQ(after["records"][0]["lastPage"].AsInt(), w2);
  EXPECT_EQ(after["records"][1]["lastPage"].AsInt(), w1);
}

TEST(DirectLine, EchoLineSendsTheRequestBackFirst) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--echo"}));
  const std::vector<std::uint8_t> request = WithCrc({250, 0x45});
  s.line->Write(request);
  const auto got = s.line->Read(4 + 8, 1000);
  ASSERT_EQ(got.size(), 12u);
  EXPECT_EQ(std::vector<std::uint8_t>(got.begin(), got.begin() + 4), request);
  EXPECT_TRUE(CrcOk(std::vector<std::uint8_t>(got.begin() + 4, got.end())));
}

TEST(DirectLine, PacedAtTheRequestedBaudRate) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--baud", "19200"}));
  const std::size_t bytes = 40 * 64 + 4;
  s.line->Write(WithCrc({250, 0x44, 0, 0, 40}));
  // Time from the first byte to the last: (bytes - 1) byte times of 10 bits each.
  auto first = s.line->Read(1, 2000);
  ASSERT_EQ(first.size(), 1u);
  const auto t0 = std::chrono::steady_clock::now();
  const auto rest = s.line->Read(bytes - 1, 5000, 1000);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_EQ(rest.size(), bytes - 1);
  const double expected = (bytes - 1) * 10.0 / 19200.0;
  EXPECT_NEAR(seconds, expected, expected * 0.05) << "measured " << (bytes - 1) * 10.0 / seconds << " baud";
}

}  // namespace
}  // namespace varnel::simtest
