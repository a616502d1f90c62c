// The truth file describes the memory and what the logger received, in JSON a test can read.
#include <gtest/gtest.h>

#include "link/crc16.h"
#include "sim/json_text.h"
#include "sim/truth_file.h"
#include "tests/sim/support/mini_json.h"

namespace varnel::sim {
namespace {

using simtest::Json;
using simtest::ParseJson;

std::vector<std::uint8_t> Frame(std::vector<std::uint8_t> content) {
  const std::size_t n = content.size();
  content.resize(n + 2);
  PutCrc16BE(content.data(), n);
  return content;
}

TEST(JsonText, StringsSurviveARoundTrip) {
  const std::string odd = "say \"hi\"\\ \r\n\t\x01 \xE9t\xE9 \x7F";
  const Json j = ParseJson(JsonString(odd));
  EXPECT_EQ(j.string, odd);
  EXPECT_EQ(JsonString("\xE9"), "\"\\u00e9\"") << "code page bytes, not UTF-8";
  EXPECT_EQ(static_cast<float>(ParseJson(JsonFloat(0.1f)).number), 0.1f);
  EXPECT_EQ(static_cast<float>(ParseJson(JsonFloat(1.0f / 3)).number), 1.0f / 3);
  EXPECT_EQ(JsonFloat(std::numeric_limits<float>::quiet_NaN()), "null");
  const std::uint8_t bytes[] = {0x00, 0xAB, 0xFF};
  EXPECT_EQ(HexBytes(bytes), "00abff");
}

TEST(TruthFile, RecordsNewestFirstWithTheirEntries) {
  LoggerSetup s;
  s.layout = {255, 4};
  s.seed = 11;
  s.fill = {.records = 4, .wrapped = true};
  s.commentText = "first\r\nsecond";
  Logger logger(s);
  ASSERT_EQ(logger.error(), "");
  const Json t = ParseJson(TruthJson(logger, 11, 0));

  EXPECT_EQ(t["seed"].Int(), 11);
  EXPECT_EQ(t["serialNumber"].Int(), 40123);
  EXPECT_EQ(t["channelMask"].Int(), 7);
  EXPECT_EQ(t["battery"].Int(), 87);
  EXPECT_EQ(t["commentText"].string, "first\r\nsecond");
  EXPECT_EQ(t["identityText"].string, "Pump station 4");
  EXPECT_EQ(t["memory"]["lastRingPage"].Int(), 251);
  EXPECT_EQ(t["memory"]["writePointer"].Int(), logger.device().memory.writePointer());
  EXPECT_TRUE(t["memory"]["ringFull"].boolean);

  const auto& book = logger.book().records();
  const Json& recs = t["records"];
  ASSERT_EQ(recs.size(), book.size());
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const RecordTruth& r = book[book.size() - 1 - i];
    const Json& j = recs[i];
    EXPECT_EQ(j["firstPage"].Int(), r.FirstPage());
    EXPECT_EQ(j["lastPage"].Int(), r.LastPage());
    EXPECT_EQ(j["span"].Int(), static_cast<long long>(r.pages.size() - 1));
    EXPECT_EQ(j["startTime"].Int(), r.VisibleStartTime());
    EXPECT_EQ(j["lostPages"].boolean, i + 1 == recs.size()) << "only the oldest lost pages";
    const auto entries = r.DecodedEntries();
    ASSERT_EQ(j["entries"].size(), entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const Json& e = j["entries"][k];
      ASSERT_EQ(e["t"].Int(), entries[k].time);
      ASSERT_EQ(e["kind"].Int(), entries[k].kind);
      ASSERT_EQ(e["extra"].Int(), entries[k].extra);
      ASSERT_EQ(e["value"].IsNull(), !entries[k].value.has_value());
      if (entries[k].value) {
        ASSERT_EQ(static_cast<float>(e["value"].number), *entries[k].value);
      }
    }
  }
}

TEST(TruthFile, EverythingTheLoggerReceived) {
  LoggerSetup s;
  s.layout = {255, 4};
  s.fill = {.records = 2};
  Logger logger(s);
  const std::uint8_t id = static_cast<std::uint8_t>(s.layout.IdPage());
  logger.Handle(Frame({250, 0x5D, 0, 2, 0, 0, 0, 0}), 0);
  logger.Handle(Frame({250, 0x1F, 100, 0x3F, 0xC0, 0, 0}), 0);
  logger.Handle(Frame({250, 0x5F, 2, 0xBF, 0x80, 0, 0}), 0);
  logger.Handle(Frame({250, 0x24, 0, id, 0, 2, 'N', 'o'}), 0);
  logger.Handle(Frame({250, 0x24, 0, id, 2, 2, '1', 0xFF}), 0);
  logger.Handle(Frame({250, 0x5D, 3, 0x2D, 0, 0, 0, 0}), 0);
  logger.Handle(Frame({250, 0x5D, 0, 5, 0, 0, 0, 0}), 0);
  logger.CallEnded();
  const Json t = ParseJson(TruthJson(logger, 1, 0));
  const Json& rx = t["received"];
  ASSERT_EQ(rx["config"].size(), 3u);
  EXPECT_EQ(rx["config"][1]["entry"].Int(), 3);
  EXPECT_EQ(rx["config"][1]["data"][0].Int(), 0x2D);
  EXPECT_EQ(rx["floats"][0]["index"].Int(), 100);
  EXPECT_EQ(rx["floats"][0]["value"].number, 1.5);
  EXPECT_EQ(rx["offsets"][0]["index"].Int(), 2);
  EXPECT_EQ(rx["offsets"][0]["value"].number, -1.0);
  ASSERT_EQ(rx["pageWrites"].size(), 2u);
  EXPECT_EQ(rx["pageWrites"][1]["data"].string, "31ff");
  EXPECT_EQ(rx["clockSets"][0].Int(), 0x2D000000);
  EXPECT_EQ(rx["controls"].size(), 2u);
  EXPECT_EQ(rx["restarts"].Int(), 1);
  EXPECT_EQ(t["identityText"].string, "No1");
  // The current settings, as the host would read them back.
  EXPECT_EQ(t["floats"]["100"].number, 1.5);
  EXPECT_EQ(t["floats"].size(), 32u);
  EXPECT_EQ(t["configEntries"]["9"].size(), 5u);
  EXPECT_EQ(t["configEntries"]["4"][0].Int(), logger.device().regs.cfg4 >> 24);
  EXPECT_EQ(t["calls"].Int(), 1);
}

}  // namespace
}  // namespace varnel::sim
