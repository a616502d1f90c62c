// The PC's modem: the AT dialogue, the logger's call, and the end of the call.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/modem.h"

namespace varnel::sim {
namespace {

std::string Type(AtInterpreter& at, const std::string& text) { return at.Feed(text); }

TEST(AtDialogue, EchoUntilEchoIsTurnedOff) {
  AtInterpreter at;
  EXPECT_EQ(Type(at, "AT\r\n"), "AT\r\r\nOK\r\n\n");
  EXPECT_EQ(Type(at, "ATV1\r\n"), "ATV1\r\r\nOK\r\n\n");
  EXPECT_EQ(Type(at, "ATE0\r\n"), "ATE0\r\r\nOK\r\n") << "the line that turns echo off is still echoed";
  EXPECT_EQ(Type(at, "AT&D0\r\n"), "\r\nOK\r\n");
  EXPECT_EQ(Type(at, "at&h0\r\n"), "\r\nOK\r\n") << "lower case works";
  EXPECT_EQ(Type(at, "ATS0=2\r\n"), "\r\nOK\r\n");
  EXPECT_EQ(Type(at, "AT+IPR=9600\r\n"), "\r\nOK\r\n");
  EXPECT_EQ(Type(at, "ATM0\r\n"), "\r\nOK\r\n");
}

TEST(AtDialogue, SettingsListUnknownCommandsAndStrayLines) {
  AtInterpreter at;
  Type(at, "ATE0\r");
  Type(at, "ATS0=2M0\r");
  const std::string list = Type(at, "AT&V\r\n");
  EXPECT_NE(list.find("E0"), std::string::npos);
  EXPECT_NE(list.find("M0"), std::string::npos);
  EXPECT_NE(list.find("S00:002"), std::string::npos);
  EXPECT_GE(std::count(list.begin(), list.end(), '\n'), 4) << "a few lines of settings";
  EXPECT_EQ(list.substr(list.size() - 6), "\r\nOK\r\n");
  EXPECT_EQ(Type(at, "ATJ\r"), "\r\nERROR\r\n");
  EXPECT_EQ(Type(at, "AT+IPR=fast\r"), "\r\nERROR\r\n");
  EXPECT_EQ(Type(at, "\r\n"), "") << "a bare line gets no answer";
  EXPECT_EQ(Type(at, "hello\r"), "");
  EXPECT_EQ(Type(at, "ATS7?\r"), "\r\n050\r\n\r\nOK\r\n");
  EXPECT_EQ(Type(at, "A/"), "\r\n050\r\n\r\nOK\r\n") << "A/ repeats the last line";
}

TEST(AtDialogue, NumericResultsUntilVerboseIsTurnedOn) {
  AtInterpreter at(true);
  EXPECT_EQ(Type(at, "AT\r\n"), "AT\r0\r\n");
  EXPECT_EQ(Type(at, "ATX9Y\r"), "ATX9Y\r4\r");
  EXPECT_EQ(Type(at, "ATV1\r\n"), "ATV1\r\r\nOK\r\n\n");
  EXPECT_EQ(Type(at, "ATE0Q1\r"), "ATE0Q1\r") << "quiet: no result codes";
}

ModemSettings Fast() {
  ModemSettings s;
  s.callAfterMs = 1000;
  s.hangupAfterMs = 500;
  s.idleHangupMs = 3000;
  s.calls = 2;
  s.waitForSetup = false;
  return s;
}

TEST(ModemCalls, NoCallBeforeTheHostHasSetUpTheModem) {
  ModemSettings s = Fast();
  s.waitForSetup = true;
  Modem m(s, 0);
  Modem::Output out;
  m.Tick(60000, out);
  EXPECT_FALSE(m.online());
  EXPECT_EQ(m.NextDeadline(), -1);
  const std::string noise = "hello\r";
  m.FromHost(reinterpret_cast<const std::uint8_t*>(noise.data()), noise.size(), 60000, out);
  m.Tick(90000, out);
  EXPECT_FALSE(m.online()) << "a line without AT sets nothing up";
  const std::string at = "AT\r";
  m.FromHost(reinterpret_cast<const std::uint8_t*>(at.data()), at.size(), 90000, out);
  EXPECT_EQ(m.NextDeadline(), 91000);
  m.Tick(91000, out);
  EXPECT_TRUE(m.online());
}

TEST(ModemCalls, TheCallComesAfterTheLineHasBeenQuiet) {
  Modem m(Fast(), 0);
  Modem::Output out;
  m.Tick(900, out);
  EXPECT_FALSE(m.online());
  const std::uint8_t at[] = {'A', 'T', '\r'};
  m.FromHost(at, 3, 900, out);  // the host is still setting up the modem
  EXPECT_EQ(out.toHost, "AT\r\r\nOK\r\n");
  EXPECT_EQ(m.NextDeadline(), 1900);
  out = {};
  m.Tick(1899, out);
  EXPECT_FALSE(m.online());
  m.Tick(1900, out);
  EXPECT_TRUE(m.online());
  EXPECT_TRUE(out.callStarted);
  EXPECT_EQ(out.toHost, "\r\nCONNECTION OK\r\n");
  EXPECT_EQ(m.callsMade(), 1);

  // Online, every byte goes to the logger, the wake byte included, and nothing is echoed.
  out = {};
  const std::uint8_t bytes[] = {0xFF, 251, 0x30, 'A', 'T', '\r'};
  m.FromHost(bytes, sizeof bytes, 2000, out);
  EXPECT_EQ(out.toLogger, std::vector<std::uint8_t>(bytes, bytes + sizeof bytes));
  EXPECT_EQ(out.toHost, "");
}

TEST(ModemCalls, RestartEndsTheCallAndTheNextOneFollows) {
  Modem m(Fast(), 0);
  Modem::Output out;
  m.Tick(1000, out);
  ASSERT_TRUE(m.online());
  m.LoggerRestarted(1200);
  EXPECT_EQ(m.NextDeadline(), 1700);
  out = {};
  m.Tick(1699, out);
  EXPECT_TRUE(m.online());
  m.Tick(1700, out);
  EXPECT_FALSE(m.online());
  EXPECT_TRUE(out.callEnded);
  // The collector only wakes for a lower-case "t"; the report must hold one.
  EXPECT_EQ(out.toHost, "\r\nDisconnected\r\n");
  EXPECT_NE(out.toHost.find('t'), std::string::npos);

  // Back in command mode: bytes are commands again, and the second call follows.
  out = {};
  const std::uint8_t at[] = {'A', 'T', '\r'};
  m.FromHost(at, 3, 1800, out);
  EXPECT_NE(out.toHost.find("OK"), std::string::npos);
  EXPECT_TRUE(out.toLogger.empty());
  m.Tick(2800, out);
  EXPECT_TRUE(m.online());
  EXPECT_EQ(m.callsMade(), 2);
  m.LoggerRestarted(2900);
  m.Tick(3400, out);
  EXPECT_TRUE(m.finished());
  // No third call: the limit was two.
  out = {};
  m.Tick(100000, out);
  EXPECT_FALSE(m.online());
  EXPECT_EQ(m.NextDeadline(), -1);
}

TEST(ModemCalls, IdleLineAndDroppedLineEndTheCall) {
  ModemSettings s = Fast();
  s.hangupText = "NO CARRIER";
  Modem m(s, 0);
  Modem::Output out;
  m.Tick(1000, out);
  // Bytes alone keep no call alive; requests the logger takes do.
  const std::uint8_t b[] = {'A', 'T', '\r'};
  m.FromHost(b, 3, 2500, out);
  EXPECT_EQ(m.NextDeadline(), 4000);
  m.LoggerBusy(2000);
  EXPECT_EQ(m.NextDeadline(), 5000);
  m.Tick(4999, out);
  EXPECT_TRUE(m.online());
  out = {};
  m.Tick(5000, out);
  EXPECT_FALSE(m.online());
  EXPECT_EQ(out.toHost, "\r\nNO CARRIER\r\n");

  m.Tick(6000, out);
  ASSERT_TRUE(m.online());
  out = {};
  m.HangUp(6100, out);
  EXPECT_TRUE(out.callEnded);
  EXPECT_EQ(m.callsEnded(), 2);
}

TEST(ModemCalls, ACallRingsFirstAndADialledModemWaitsForItsCaller) {
  ModemSettings s = Fast();
  s.rings = 2;
  s.ringPauseMs = 400;
  Modem m(s, 0);
  Modem::Output out;
  m.Tick(1000, out);
  EXPECT_EQ(out.toHost, "\r\nRING\r\n");
  EXPECT_FALSE(out.callStarted);
  EXPECT_FALSE(m.Free(1000)) << "a ringing modem takes no other call";
  EXPECT_EQ(m.NextDeadline(), 1400);
  // What the host types meanwhile is a command; the ringing goes on.
  const std::uint8_t at[] = {'A', 'T', '\r'};
  m.FromHost(at, 3, 1200, out);
  m.Tick(1400, out);
  m.Tick(1799, out);
  EXPECT_FALSE(m.online());
  m.Tick(1800, out);
  EXPECT_TRUE(m.online());
  EXPECT_EQ(out.toHost, "\r\nRING\r\nAT\r\r\nOK\r\n\r\nRING\r\n\r\nCONNECTION OK\r\n");
  EXPECT_EQ(m.callsMade(), 1);

  // A dialled modem never calls by itself: it is free after the quiet time, and a call
  // comes when a logger dials.
  s.dialled = true;
  s.rings = 0;
  Modem d(s, 0);
  out = {};
  d.Tick(50000, out);
  EXPECT_FALSE(d.online());
  EXPECT_EQ(d.NextDeadline(), -1);
  EXPECT_EQ(d.FreeFrom(), 1000);
  d.FromHost(at, 3, 50000, out);
  EXPECT_FALSE(d.Free(50999));
  d.Dial(50999, out);
  EXPECT_FALSE(d.online()) << "dialling a modem that is not free does nothing";
  d.Dial(51000, out);
  EXPECT_TRUE(d.online());
  EXPECT_TRUE(out.callStarted);
  EXPECT_EQ(d.FreeFrom(), -1);
}

}  // namespace
}  // namespace varnel::sim
