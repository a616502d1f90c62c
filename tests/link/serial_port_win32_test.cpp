// The Win32 serial backend on a real COM port: scripts/test --win maps COM1 and COM2 (through
// Wine's registry) to vtq-sim loggers started beside the test, and names their folders in
// VARNEL_LINE_SIMS. COM1 is a plain logger at address 250 on an echoing line; COM2 corrupts
// about every third reply and answers every configuration write (function 93) with device
// error 2.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/bus.h"
#include "link/link_state.h"
#include "tests/support/bus_result_check.h"
#include "tests/support/json_reader.h"

namespace varnel {
namespace {

using Clock = std::chrono::steady_clock;
using testsupport::Json;

constexpr int kPlainPort = 1;
constexpr int kFaultyPort = 2;
constexpr int kUnmappedPort = 9;  // mapped to a path that does not exist
constexpr std::uint8_t kAddress = 250;

std::string SimFolder(int port) {
  const char* base = std::getenv("VARNEL_LINE_SIMS");
  return base ? std::string(base) + "\\com" + std::to_string(port) : std::string();
}

long long MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// The notes of the requests with this function code that the simulator logged so far
// (empty for a plain reply), in order.
std::vector<std::string> NotesOfFrames(int port, int function) {
  std::ifstream in(SimFolder(port) + "\\frames.jsonl");
  std::vector<std::string> notes;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    const Json frame = Json::Parse(line);
    if (frame["function"].AsInt() != function) continue;
    notes.push_back(frame.Has("note") && !frame["note"].IsNull() ? frame["note"].AsString() : "");
  }
  return notes;
}

int FramesWithFunction(int port, int function) {
  return static_cast<int>(NotesOfFrames(port, function).size());
}

std::uint32_t TruthSerial(int port) {
  std::ifstream in(SimFolder(port) + "\\truth.json");
  std::stringstream text;
  text << in.rdbuf();
  return static_cast<std::uint32_t>(Json::Parse(text.str())["serialNumber"].AsInt());
}

class Win32Port : public ::testing::Test {
 protected:
  void SetUp() override {
    if (SimFolder(kPlainPort).empty()) GTEST_SKIP() << "needs the COM ports of scripts/test --win";
    SetModemMode(false);
    SetEchoMode(true);  // a direct line echoes, as the program sets it without a modem
    SetRetryMode(false);
    ClearCancel();
  }
  void TearDown() override {
    PortClose();
    SetRetryMode(false);
    ClearCancel();
  }
};

TEST_F(Win32Port, OpensWithItsSettingsAndRefusesWhatItCannotOpen) {
  ASSERT_EQ(PortOpen(kPlainPort, 0, 9600, true), 0);
  EXPECT_EQ(PortTimeout(), 500);  // no timeout asked: 500 ms
  const CommTimeouts t = AcquirePort()->Timeouts();
  EXPECT_EQ(t.readInterval, 400u);
  EXPECT_EQ(t.readTotalConstant, 500u);
  EXPECT_EQ(t.writeTotalConstant, 200u);

  // A baud rate off the list changes nothing; the open port stays open and works.
  EXPECT_EQ(PortOpen(kPlainPort, 500, 14400, true), -1);
  ASSERT_TRUE(PortIsOpen());
  std::uint32_t serial = 0;
  EXPECT_BUS_RESULT(BusReadSerial(kAddress, serial), kBusOk);
  EXPECT_EQ(serial, TruthSerial(kPlainPort));

  // Port 10 closes the open port first; a port without a device fails after the timeout.
  EXPECT_EQ(PortOpen(10, 500, 9600, true), -1);
  EXPECT_FALSE(PortIsOpen());
  const auto t0 = Clock::now();
  EXPECT_EQ(PortOpen(kUnmappedPort, 300, 9600, true), -1);
  EXPECT_GE(MsSince(t0), 300);
  EXPECT_EQ(PortClose(), 0);
  EXPECT_EQ(PortClose(), 0);
}

TEST_F(Win32Port, ExchangesGiveTheirResultCodes) {
  ASSERT_EQ(PortOpen(kPlainPort, 500, 9600, true), 0);
  std::uint8_t id[6] = {};
  EXPECT_BUS_RESULT(BusReadIdentity(kAddress, id), kBusOk);

  // Address 0 expects no reply: 100 after the write and the pause of T.
  std::uint8_t frame[16] = {0, 0x30};
  auto t0 = Clock::now();
  EXPECT_BUS_RESULT(FrameTransfer(frame, 2, 8), kBusNoReplyExpected);
  EXPECT_GE(MsSince(t0), 500);

  // Nobody answers address 17: only the echo of the request comes back.
  t0 = Clock::now();
  EXPECT_BUS_RESULT(BusReadIdentity(17, id), kBusShortReply);
  EXPECT_LT(MsSince(t0), 3000);

  // A cancelled link writes nothing.
  const int before = FramesWithFunction(kPlainPort, 0x45);
  SetCancel();
  std::uint32_t serial = 0;
  EXPECT_BUS_RESULT(BusReadSerial(kAddress, serial), kBusCancelled);
  ClearCancel();
  EXPECT_BUS_RESULT(BusReadSerial(kAddress, serial), kBusOk);
  EXPECT_EQ(FramesWithFunction(kPlainPort, 0x45), before + 1);
}

TEST_F(Win32Port, RetriesRepeatBadRepliesButNotDeviceErrors) {
  ASSERT_EQ(PortOpen(kFaultyPort, 500, 9600, true), 0);
  std::uint8_t id[6] = {};
  int failed = 0;
  for (int i = 0; i < 12; ++i) failed += BusReadIdentity(kAddress, id) == kBusBadReply;
  EXPECT_GT(failed, 0) << "without retries some corrupted replies must show";

  SetRetryMode(true);
  const int sentBefore = FramesWithFunction(kFaultyPort, 0x30);
  for (int i = 0; i < 12; ++i) {
    EXPECT_BUS_RESULT(BusReadIdentity(kAddress, id), kBusOk) << "read " << i;
  }
  EXPECT_GT(FramesWithFunction(kFaultyPort, 0x30) - sentBefore, 12) << "no read was repeated";

  // A corrupted error reply is retried; the first clean one ends the command with its code.
  const std::size_t writes = NotesOfFrames(kFaultyPort, 0x5D).size();
  const std::uint8_t entry[5] = {0, 0, 0, 0, 1};
  EXPECT_BUS_RESULT(BusWriteConfig(kAddress, 4, entry), kDeviceError2);
  const auto notes = NotesOfFrames(kFaultyPort, 0x5D);
  const std::size_t valueReads = writes;
  ASSERT_GT(notes.size(), valueReads);
  EXPECT_LE(notes.size() - valueReads, 11u);
  EXPECT_EQ(notes.back(), "error reply");
  EXPECT_EQ(std::count(notes.begin() + static_cast<std::ptrdiff_t>(valueReads), notes.end(),
                       std::string("error reply")),
            1);
}

TEST_F(Win32Port, StopFromAnotherThreadEndsEveryWaitWithin100ms) {
  // T = 10 s: only the stop can end these waits early.
  ASSERT_EQ(PortOpen(kPlainPort, 10000, 9600, true), 0);
  for (const bool eventWait : {false, true}) {
    SCOPED_TRACE(eventWait ? "event wait" : "read");
    if (!PortIsOpen()) {
      ASSERT_EQ(PortOpen(kPlainPort, 10000, 9600, true), 0);
    }
    ClearCancel();
    auto event = CreatePortEvent();
    auto port = AcquirePort();
    std::atomic<bool> ended{false};
    Clock::time_point endedAt;
    std::thread worker([&] {
      std::uint8_t buf[8];
      if (eventWait) {
        port->WaitEvent(kMaskEventChar, event.get(), kSingleWaitLimitMs);
      } else {
        port->Read(buf, sizeof buf, event.get(), kSingleWaitLimitMs);
      }
      endedAt = Clock::now();
      ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_FALSE(ended) << "the wait ended by itself";
    const auto stopAt = Clock::now();
    SignalPortEvent();
    SetCancel();
    PortClose();
    worker.join();
    port.reset();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - stopAt).count(), 100);
  }
}

}  // namespace
}  // namespace varnel
