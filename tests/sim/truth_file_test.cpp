// The truth file describes the memory and what the logger received, in JSON a test can read.
#include <gtest/gtest.h>

#include "link/crc16.h"
#include "sim/json_text.h"
#include "sim/truth_file.h"
#include "tests/support/json_reader.h"

namespace varnel::sim {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace truth_file_test {

using testsupport::Json;

std::vector<std::uint8_t> Frame(std::vector<std::uint8_t> content) {
  const std::size_t n = content.size();
  content.resize(n + 2);
  PutCrc16BE(content.data(), n);
  return content;
}

TEST(JsonText, StringsSurviveARoundTrip) {
  const std::string odd = "say \"hi\"\\ \r\n\t\x01 \xE9t\xE9 \x7F";
  const Json j = Json::Parse(JsonString(odd));
  EXPECT_EQ(j.AsString(), odd);
  EXPECT_EQ(JsonString("\xE9"), "\"\\u00e9\"") << "code page bytes, not UTF-8";
  EXPECT_EQ(static_cast<float>(Json::Parse(JsonFloat(0.1f)).AsNumber()), 0.1f);
  EXPECT_EQ(static_cast<float>(Json::Parse(JsonFloat(1.0f / 3)).AsNumber()), 1.0f / 3);
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
  const Json t = Json::Parse(TruthJson(logger, 11, 0));

  EXPECT_EQ(t["seed"].AsInt(), 11);
  EXPECT_EQ(t["serialNumber"].AsInt(), 40123);
  EXPECT_EQ(t["channelMask"].AsInt(), 7);
  EXPECT_EQ(t["battery"].AsInt(), 87);
  EXPECT_EQ(t["commentText"].AsString(), "first\r\nsecond");
  EXPECT_EQ(t["identityText"].AsString(), "Pump station 4");
  EXPECT_EQ(t["memory"]["lastRingPage"].AsInt(), 251);
  EXPECT_EQ(t["memory"]["writePointer"].AsInt(), logger.device().memory.writePointer());
  EXPECT_TRUE(t["memory"]["ringFull"].AsBool());

  const auto& book = logger.book().records();
  const Json& recs = t["records"];
  ASSERT_EQ(recs.size(), book.size());
  for (std::size_t i = 0; i < recs.size(); ++i) {
    const RecordTruth& r = book[book.size() - 1 - i];
    const Json& j = recs[i];
    EXPECT_EQ(j["firstPage"].AsInt(), r.FirstPage());
    EXPECT_EQ(j["lastPage"].AsInt(), r.LastPage());
    EXPECT_EQ(j["span"].AsInt(), static_cast<long long>(r.pages.size() - 1));
    EXPECT_EQ(j["startTime"].AsInt(), r.VisibleStartTime());
    EXPECT_EQ(j["lostPages"].AsBool(), i + 1 == recs.size()) << "only the oldest lost pages";
    const auto entries = r.DecodedEntries();
    ASSERT_EQ(j["entries"].size(), entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const Json& e = j["entries"][k];
      ASSERT_EQ(e["t"].AsInt(), entries[k].time);
      ASSERT_EQ(e["kind"].AsInt(), entries[k].kind);
      ASSERT_EQ(e["extra"].AsInt(), entries[k].extra);
      ASSERT_EQ(e["value"].IsNull(), !entries[k].value.has_value());
      if (entries[k].value) {
        ASSERT_EQ(static_cast<float>(e["value"].AsNumber()), *entries[k].value);
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
  const Json t = Json::Parse(TruthJson(logger, 1, 0));
  const Json& rx = t["received"];
  ASSERT_EQ(rx["config"].size(), 3u);
  EXPECT_EQ(rx["config"][1]["entry"].AsInt(), 3);
  EXPECT_EQ(rx["config"][1]["data"][0].AsInt(), 0x2D);
  EXPECT_EQ(rx["floats"][0]["index"].AsInt(), 100);
  EXPECT_EQ(rx["floats"][0]["value"].AsNumber(), 1.5);
  EXPECT_EQ(rx["offsets"][0]["index"].AsInt(), 2);
  EXPECT_EQ(rx["offsets"][0]["value"].AsNumber(), -1.0);
  ASSERT_EQ(rx["pageWrites"].size(), 2u);
  EXPECT_EQ(rx["pageWrites"][1]["data"].AsString(), "31ff");
  EXPECT_EQ(rx["clockSets"][0].AsInt(), 0x2D000000);
  EXPECT_EQ(rx["controls"].size(), 2u);
  EXPECT_EQ(rx["restarts"].AsInt(), 1);
  EXPECT_EQ(t["identityText"].AsString(), "No1");
  // The current settings, as the host would read them back.
  EXPECT_EQ(t["floats"]["100"].AsNumber(), 1.5);
  EXPECT_EQ(t["floats"].size(), 32u);
  EXPECT_EQ(t["configEntries"]["9"].size(), 5u);
  EXPECT_EQ(t["configEntries"]["4"][0].AsInt(), logger.device().regs.cfg4 >> 24);
  EXPECT_EQ(t["calls"].AsInt(), 1);
}

}  // namespace truth_file_test
}  // namespace varnel::sim
