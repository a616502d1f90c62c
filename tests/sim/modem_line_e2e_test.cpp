// vtq-sim as a process behind the modem: the AT dialogue, the call, the hang-up report and
// the next call, as the collector meets them on its COM port.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/sim/support/sim_session.h"

namespace varnel::simtest {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Sends a modem command and returns all it answers until the line is quiet again.
std::string Command(LineClient& line, const std::string& cmd) {
  line.WriteText(cmd);
  const auto bytes = line.Read(1 << 16, 1000, 100);
  return std::string(bytes.begin(), bytes.end());
}

TEST(ModemLine, DialogueCallHangUpAndNextCall) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--modem", "--call-after", "0.4", "--hangup-after", "0.3", "--calls", "2", "--linger",
                       "0.3", "--records", "2"}));
  LineClient& line = *s.line;
  EXPECT_EQ(Command(line, "AT\r\n"), "AT\r\r\nOK\r\n\n") << "echo, as typed";
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(Command(line, "ATV1\r\n"), "ATV1\r\r\nOK\r\n\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(Command(line, "ATE0\r\n"), "ATE0\r\r\nOK\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::string settings = Command(line, "AT&V\r\n");
  EXPECT_EQ(settings.substr(settings.size() - 6), "\r\nOK\r\n");
  EXPECT_EQ(settings.find("AT&V"), std::string::npos) << "no echo after ATE0";
  EXPECT_NE(settings.find("E0"), std::string::npos);
  EXPECT_EQ(settings.find("CONNECTION"), std::string::npos) << "no call while the host sets up the modem";
  const auto lastCommand = Clock::now();

  const std::string call = line.ReadUntil("CONNECTION OK\r\n", 2000);
  EXPECT_EQ(call, "\r\nCONNECTION OK\r\n");
  EXPECT_GE(Since(lastCommand), 0.25) << "the call waits for a quiet line";

  // The collector sends the wake byte, then identifies the logger at address 251.
  line.Write({0xFF});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(line.Read(1, 100).empty()) << "the wake byte gets no answer";
  const auto id = line.Exchange({251, 0x30}, 10);
  ASSERT_EQ(id.size(), 10u);
  EXPECT_TRUE(CrcOk(id));
  EXPECT_EQ(line.Exchange({250, 0x30}, 10, 300).size(), 0u) << "behind the modem the logger is 251";

  ASSERT_EQ(line.Exchange({251, 0x5D, 0, 5, 0, 0, 0, 0}, 5).size(), 5u);
  const auto restarted = Clock::now();
  const std::string end = line.ReadUntil("Disconnected\r\n", 2000);
  EXPECT_EQ(end, "\r\nDisconnected\r\n");
  EXPECT_GE(Since(restarted), 0.25);
  EXPECT_LT(Since(restarted), 1.0);

  // The second call follows without any new modem set-up, and the logger answers again.
  EXPECT_EQ(line.ReadUntil("CONNECTION OK\r\n", 2000), "\r\nCONNECTION OK\r\n");
  EXPECT_EQ(line.Exchange({251, 0x45}, 8).size(), 8u);
  ASSERT_EQ(line.Exchange({251, 0x5D, 0, 5, 0, 0, 0, 0}, 5).size(), 5u);
  EXPECT_NE(line.ReadUntil("Disconnected", 2000).find("Disconnected"), std::string::npos);
  // That was the last call: the simulator lingers briefly and ends by itself.
  EXPECT_EQ(s.sim.WaitExit(3000), 0);
  EXPECT_NE(s.sim.Output().find("call 2 ended"), std::string::npos);
}

TEST(ModemLine, NumericResultsErrorsAndSilentLines) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--modem", "--numeric", "--call-after", "30"}));
  LineClient& line = *s.line;
  EXPECT_EQ(Command(line, "AT\r\n"), "AT\r0\r\n") << "'0' is the numeric OK";
  EXPECT_EQ(Command(line, "ATV1E0\r\n"), "ATV1E0\r\r\nOK\r\n");
  EXPECT_EQ(Command(line, "ATW7\r\n"), "\r\nERROR\r\n");
  EXPECT_EQ(Command(line, "\r\n"), "") << "a bare line gets no answer";
  EXPECT_EQ(Command(line, "AT&D0&H0S0=2M0+IPR=9600\r\n"), "\r\nOK\r\n");
}

TEST(ModemLine, IdleCallEndsWithTheChosenReport) {
  SimSession s;
  ASSERT_TRUE(s.Start({"--modem", "--no-setup-wait", "--call-after", "0.2", "--idle-hangup", "0.5", "--hangup-text", "Call ended"}));
  LineClient& line = *s.line;
  ASSERT_NE(line.ReadUntil("CONNECTION OK", 2000).find("CONNECTION OK"), std::string::npos);
  const auto connected = Clock::now();
  EXPECT_EQ(line.ReadUntil("Call ended\r\n", 2000), "\r\nCall ended\r\n");
  EXPECT_GE(Since(connected), 0.45);
  // Out of the call, frames reach the modem's command line, not the logger.
  line.Write(WithCrc({251, 0x30}));
  const auto echo = line.Read(4, 300);
  EXPECT_EQ(echo, WithCrc({251, 0x30})) << "echoed by the modem, unanswered by the logger";
}

}  // namespace
}  // namespace varnel::simtest
