// The command line of vtq-sim.
#include <gtest/gtest.h>

#include "sim/sim_options.h"

namespace varnel::sim {
namespace {

ParsedOptions Parse(std::vector<std::string> args) { return ParseSimOptions(args); }

TEST(SimOptions, DefaultsDependOnTheMode) {
  const auto direct = Parse({});
  ASSERT_EQ(direct.error, "");
  EXPECT_EQ(direct.options.address, 250);
  EXPECT_EQ(direct.options.port, 1);
  EXPECT_EQ(direct.options.baud, 0u);
  EXPECT_FALSE(direct.options.modem);
  EXPECT_EQ(direct.options.modemSettings.hangupText, "Disconnected");
  const auto modem = Parse({"--modem"});
  EXPECT_EQ(modem.options.address, 251);
  EXPECT_EQ(modem.options.logger.address, 251);
  EXPECT_EQ(Parse({"--modem", "--address", "17"}).options.logger.address, 17);
}

TEST(SimOptions, ValuesInBothSpellings) {
  const auto p = Parse({"--port=3", "--seed", "77", "--call-after", "0.25", "--hangup-after=1.5",
                        "--records", "9", "--channels", "0x0016", "--firmware", "3.9", "--comment",
                        "line one\\nline two", "--error-reply", "0x44:2:5", "--error-reply", "93:32",
                        "--recording", "6", "--error-bits", "battery,record"});
  ASSERT_EQ(p.error, "");
  const SimOptions& o = p.options;
  EXPECT_EQ(o.port, 3);
  EXPECT_EQ(o.logger.seed, 77u);
  EXPECT_EQ(o.modemSettings.callAfterMs, 250);
  EXPECT_EQ(o.modemSettings.hangupAfterMs, 1500);
  EXPECT_EQ(o.logger.fill.records, 9);
  EXPECT_EQ(o.logger.registers.channelMask, 0x16);
  EXPECT_EQ(o.logger.registers.identity[2], 3);
  EXPECT_EQ(o.logger.registers.identity[3], 9);
  EXPECT_EQ(o.logger.commentText, "line one\r\nline two");
  ASSERT_EQ(o.logger.faults.errorReplies.size(), 2u);
  EXPECT_EQ(o.logger.faults.errorReplies[0].function, 0x44);
  EXPECT_EQ(o.logger.faults.errorReplies[0].code, 2);
  EXPECT_EQ(o.logger.faults.errorReplies[0].skip, 5);
  EXPECT_EQ(o.logger.faults.errorReplies[1].function, 93);
  EXPECT_EQ(o.logger.recordEvery, 6);
  EXPECT_TRUE(o.logger.registers.state & kStateActive) << "a recording logger is active";
  EXPECT_TRUE(o.logger.registers.state & kStateRecordError);
  EXPECT_EQ(o.logger.registers.errors, kErrorBattery);
}

TEST(SimOptions, BadCommandLinesAreRefusedWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--port", "10"},        {"--baud", "20"},          {"--address", "0"},
      {"--address", "255"},    {"--call-after", "-1"},    {"--call-after", "soon"},
      {"--records"},           {"--recording", "3"},      {"--reserved-pages", "1"},
      {"--last-page", "9000"}, {"--corrupt", "1.5"},      {"--error-reply", "68"},
      {"--firmware", "3"},     {"--identity-bytes", "01"}, {"--error-bits", "fuel"},
      {"--modem=yes"},         {"--frobnicate"},          {"--hangup-after-pages", "3"},
      {"--id-text", std::string(65, 'x')},
      {"--last-page", "20", "--reserved-pages", "4", "--comment", std::string(200, 'c')},
      {"--fleet", "3"},        {"--modem", "--fleet", "0"}, {"--retries", "2"},
      {"--modem", "--fleet", "2", "--calls", "3"}, {"--modem", "--fleet", "2", "--id-text", "x"},
      {"--modem", "--fleet", "3", "--serial", "4294967294"},
  };
  for (const auto& args : bad) {
    const auto p = Parse(args);
    EXPECT_NE(p.error, "") << args[0];
  }
  EXPECT_EQ(Parse({"--last-page", "8200", "--reserved-pages", "9"}).error, "");
  EXPECT_EQ(Parse({"--modem", "--fleet", "3", "--serial", "4294967293"}).error, "");
}

TEST(SimOptions, HelpDocumentsEveryOption) {
  const std::string help = SimHelpText();
  for (const std::string& name : SimOptionNames()) {
    EXPECT_NE(help.find("  " + name + " "), std::string::npos) << name << " is not documented";
  }
  EXPECT_TRUE(Parse({"--help"}).options.help);
  EXPECT_TRUE(Parse({"-h"}).options.help);
}

TEST(SimOptions, DeviceTimes) {
  EXPECT_EQ(ParseDeviceTime("2000-01-01"), 0u);
  EXPECT_EQ(ParseDeviceTime("2000-01-02T00:00:01"), 86401u);
  EXPECT_EQ(ParseDeviceTime("2024-01-08T06:00"), 758008800u);
  EXPECT_EQ(ParseDeviceTime("2000-03-01"), 60u * 86400) << "2000 is a leap year";
  EXPECT_EQ(ParseDeviceTime("12345"), 12345u);
  EXPECT_FALSE(ParseDeviceTime("1999-12-31"));
  EXPECT_FALSE(ParseDeviceTime("2024-13-01"));
  EXPECT_FALSE(ParseDeviceTime("yesterday"));
}

}  // namespace
}  // namespace varnel::sim
