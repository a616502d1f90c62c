// The command line of the console collector.
#include <gtest/gtest.h>

#include "cli/collect_options.h"

namespace varnel::cli {
namespace {

TEST(CollectOptions, NothingGivenMeansStoredSettingsAndNoLimit) {
  const CollectOptions o = ParseCollectOptions({});
  EXPECT_EQ(o.port, 0);
  EXPECT_EQ(o.dataDir, "");
  EXPECT_EQ(o.calls, 0);
  EXPECT_FALSE(o.debug || o.direct || o.help);
  EXPECT_EQ(o.error, "");
}

TEST(CollectOptions, EveryOptionIsTaken) {
  const CollectOptions o = ParseCollectOptions(
      {"--port", "3", "--data", "/tmp/d", "--calls", "2", "--debug", "--timeout", "90"});
  EXPECT_EQ(o.port, 3);
  EXPECT_EQ(o.dataDir, "/tmp/d");
  EXPECT_EQ(o.calls, 2);
  EXPECT_TRUE(o.debug);
  EXPECT_EQ(o.timeoutSeconds, 90);
  EXPECT_EQ(o.error, "");
  EXPECT_EQ(ParseCollectOptions({"--once"}).calls, 1);
  EXPECT_TRUE(ParseCollectOptions({"--direct"}).direct);
  EXPECT_TRUE(ParseCollectOptions({"-h"}).help);
}

TEST(CollectOptions, BadValuesAreRefusedWithAReason) {
  EXPECT_NE(ParseCollectOptions({"--port"}).error, "");
  EXPECT_NE(ParseCollectOptions({"--port", "0"}).error, "");
  EXPECT_NE(ParseCollectOptions({"--port", "3x"}).error, "");
  EXPECT_NE(ParseCollectOptions({"--port", "256"}).error, "");
  EXPECT_NE(ParseCollectOptions({"--calls", "-1"}).error, "");
  EXPECT_NE(ParseCollectOptions({"--data", ""}).error, "");
  EXPECT_NE(ParseCollectOptions({"--bogus"}).error, "");
  EXPECT_NE(ParseCollectOptions({"--direct", "--calls", "2"}).error, "");
  EXPECT_EQ(ParseCollectOptions({"--direct", "--once"}).error, "");
}

TEST(CollectOptions, TheHelpNamesEveryOptionAndTheExitCodes) {
  const std::string help = CollectHelpText();
  for (const char* name : {"--port", "--data", "--calls", "--once", "--direct", "--debug",
                           "--timeout", "--help", "SIGTERM", "Exit status"}) {
    EXPECT_NE(help.find(name), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace varnel::cli
