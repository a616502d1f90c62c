// Text forms of a data file: ISO date-times, numbers, JSON strings, CSV and JSON output.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

#include "files/idc_text.h"
#include "files_test_util.h"
#include "link/byte_order.h"

namespace varnel {
namespace {

TEST(IdcText, IsoDateTimes) {
  EXPECT_EQ(DateTimeToIso(0.0), "1899-12-30T00:00:00");
  EXPECT_EQ(DateTimeToIso(36526.0), "2000-01-01T00:00:00");
  EXPECT_EQ(DateTimeToIso(DeviceTimeToDateTime(0)), "2000-01-01T00:00:00");
  // 7 March 2024 is day 45358; 14:05:09 is 50709 seconds into it.
  EXPECT_EQ(DateTimeToIso(45358.0 + 50709.0 / 86400.0), "2024-03-07T14:05:09");
  EXPECT_EQ(DateTimeToIso(45351.5), "2024-02-29T12:00:00");  // leap day
  EXPECT_EQ(DateTimeToIso(2.0), "1900-01-01T00:00:00");
  EXPECT_EQ(DateTimeToIso(61.0), "1900-03-01T00:00:00");    // 1900 was no leap year
  EXPECT_EQ(DateTimeToIso(2958465.0), "9999-12-31T00:00:00");
}

TEST(IdcText, IsoRoundingAndMilliseconds) {
  EXPECT_EQ(DateTimeToIso(36526.0 + 0.5 / 86400.0), "2000-01-01T00:00:00.500");
  EXPECT_EQ(DateTimeToIso(36526.0 + 0.0004 / 86400.0), "2000-01-01T00:00:00");
  // Just short of midnight rounds into the next day, not to 24:00:00.
  EXPECT_EQ(DateTimeToIso(60.0 + 0.9999999999), "1900-03-01T00:00:00");
  // Every device second, whole milliseconds or not, comes out as that second.
  for (std::uint32_t t : {1u, 59u, 86399u, 762000123u, 0xFFFFFFFFu}) {
    const std::string iso = DateTimeToIso(DeviceTimeToDateTime(t));
    EXPECT_EQ(iso.size(), 19u) << iso;
    const unsigned sec = static_cast<unsigned>(std::stoi(iso.substr(17, 2)));
    EXPECT_EQ(sec, t % 60) << iso;
  }
}

TEST(IdcText, IsoNegativeAndOutOfRange) {
  EXPECT_EQ(DateTimeToIso(-1.25), "1899-12-29T06:00:00");
  EXPECT_EQ(DateTimeToIso(-0.5), "1899-12-30T12:00:00");
  EXPECT_EQ(DateTimeToIso(-693593.0), "0001-01-01T00:00:00");
  EXPECT_EQ(DateTimeToIso(-693594.0), "");
  EXPECT_EQ(DateTimeToIso(2958466.0), "");
  EXPECT_EQ(DateTimeToIso(2958465.9999999995), "");  // rounds past 9999-12-31
  EXPECT_EQ(DateTimeToIso(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(DateTimeToIso(-std::numeric_limits<double>::infinity()), "");
  EXPECT_EQ(DateTimeToIso(1e300), "");
}

TEST(IdcText, FloatTextReadsBackExactly) {
  EXPECT_EQ(FloatText(1.0f), "1");
  EXPECT_EQ(FloatText(-2.5f), "-2.5");
  EXPECT_EQ(FloatText(std::numeric_limits<float>::quiet_NaN()), "nan");
  EXPECT_EQ(FloatText(-std::numeric_limits<float>::infinity()), "-inf");
  for (float v : {0.1f, 1013.25f, -3.4028235e38f, 1.4e-45f, 123456.79f}) {
    const std::string t = FloatText(v);
    float back = 0;
    std::from_chars(t.data(), t.data() + t.size(), back);
    EXPECT_EQ(back, v) << t;
    EXPECT_EQ(t.find(','), std::string::npos);
  }
  EXPECT_EQ(DoubleText(45358.5), "45358.5");
}

TEST(IdcText, JsonStringsFromTheCodePage) {
  EXPECT_EQ(JsonString("Well 4"), "\"Well 4\"");
  EXPECT_EQ(JsonString("a\"b\\c\r\n\t"), "\"a\\\"b\\\\c\\r\\n\\t\"");
  EXPECT_EQ(JsonString(std::string("x\x01y\0z", 5)), "\"x\\u0001y\\u0000z\"");
  EXPECT_EQ(JsonString("\xB0" "C"), "\"\xC2\xB0" "C\"");      // degree sign
  EXPECT_EQ(JsonString("\x80"), "\"\xE2\x82\xAC\"");          // euro sign
  EXPECT_EQ(JsonString("Stra\xDF" "e"), "\"Stra\xC3\x9F" "e\"");
  EXPECT_EQ(JsonString("\x81"), "\"\\u0081\"");                // unassigned byte
}

IdcFile SmallFile() {
  IdcFile f;
  f.WriterTag = test::WriterTag();
  f.SerialNumber = 4242;
  f.IdentityText = "P\xFCtz";
  f.ChannelMask = 0x0003;
  f.Channels = {IdcChannelFor(0), IdcChannelFor(1)};
  f.Measurements = {
      {DeviceTimeToDateTime(10), 0, 1.25f, 0},
      {DeviceTimeToDateTime(70), 16, 1.25f, 60},
      {DeviceTimeToDateTime(70), 15, std::numeric_limits<float>::quiet_NaN(), 0xFFFFFF},
  };
  f.Floats100[3] = std::numeric_limits<float>::infinity();
  return f;
}

TEST(IdcText, CsvOneLinePerMeasurement) {
  std::ostringstream out;
  WriteIdcCsv(out, SmallFile());
  EXPECT_EQ(out.str(),
            "datetime,kind,value,extra\n"
            "2000-01-01T00:00:10,0,1.25,0\n"
            "2000-01-01T00:01:10,16,1.25,60\n"
            "2000-01-01T00:01:10,15,nan,16777215\n");
}

TEST(IdcText, JsonHoldsEveryPart) {
  std::ostringstream out;
  WriteIdcJson(out, SmallFile());
  const std::string j = out.str();
  EXPECT_EQ(j.front(), '{');
  EXPECT_EQ(j.substr(j.size() - 2), "}\n");
  EXPECT_NE(j.find("\"WriterTag\": \"" + test::WriterTag() + "\""), std::string::npos);
  EXPECT_NE(j.find("\"SerialNumber\": 4242"), std::string::npos);
  EXPECT_NE(j.find("\"IdentityText\": \"P\xC3\xBCtz\""), std::string::npos);
  EXPECT_NE(j.find("{\"Number\": 1, \"Unit\": \"bar\", \"Factor\": 1, \"Offset\": 0, \"Flag\": 0}"),
            std::string::npos);
  EXPECT_NE(j.find("\"Floats100\": [0, 0, 0, null, 0"), std::string::npos);
  EXPECT_NE(j.find("\"StartDateTime\": \"2000-01-01T00:00:00\""), std::string::npos);
  EXPECT_NE(j.find("\"MeasurementCount\": 3"), std::string::npos);
  EXPECT_NE(j.find("{\"DateTime\": \"2000-01-01T00:01:10\", \"Days\": "), std::string::npos);
  EXPECT_NE(j.find("\"Kind\": 15, \"Value\": null, \"Extra\": 16777215}"), std::string::npos);
  EXPECT_EQ(j.find("nan"), std::string::npos);
  EXPECT_EQ(j.find("inf"), std::string::npos);
}

}  // namespace
}  // namespace varnel
