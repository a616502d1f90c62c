// The collector's own port layer on vtq-sim's COM link: open the port by its number and
// identify the logger, wired directly and behind the modem.
#include <gtest/gtest.h>

#include <cstdlib>

#include "link/bus.h"
#include "link/link_state.h"
#include "tests/sim/support/sim_session.h"
#include "tests/support/bus_result_check.h"

namespace varnel::simtest {
namespace {

class PortLayer : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VARNEL_PORTS", (dir_ / "ports").c_str(), 1); }
  void TearDown() override {
    PortClose();
    SetModemMode(false);
    SetRetryMode(false);
    ::unsetenv("VARNEL_PORTS");
  }
  bool StartSim(std::vector<std::string> args) { return sim_.Start(args, dir_ / "ports"); }

  TempDir dir_;
  SimProcess sim_;
};

TEST_F(PortLayer, OpensTheLinkedPortAndIdentifiesTheLogger) {
  ASSERT_TRUE(StartSim({"--port", "3", "--serial", "424242", "--firmware", "3.10"}));
  ASSERT_EQ(PortOpen(3, 500, 9600, true), 0);
  std::uint8_t id[6] = {};
  ASSERT_EQ(BusReadIdentity(250, id), 0);
  EXPECT_EQ(id[2], 3);
  EXPECT_EQ(id[3], 10);
  std::uint32_t serial = 0;
  ASSERT_EQ(BusReadSerial(250, serial), 0);
  EXPECT_EQ(serial, 424242u);
  std::uint8_t layout[5] = {};
  ASSERT_EQ(BusReadConfig(250, 2, layout), 0);
  EXPECT_EQ(layout[2] * 256 + layout[3], 2047);
  std::uint8_t page[64 * 50];
  EXPECT_BUS_RESULT(BusReadPageBlock(250, 0, 50, page), kBusOk);
  EXPECT_BUS_RESULT(BusReadConfig(250, 12, layout), kDeviceError2)
      << "the logger's error code comes through";
  EXPECT_EQ(PortClose(), 0);
}

TEST_F(PortLayer, IdentifiesTheLoggerBehindTheModem) {
  ASSERT_TRUE(StartSim({"--modem", "--no-setup-wait", "--call-after", "0.05", "--port", "2"}));
  ASSERT_TRUE(sim_.WaitForOutput("call 1 connected", 2000));
  ASSERT_EQ(PortOpen(2, 2000, 9600, true), 0);
  SetModemMode(true);
  EXPECT_EQ(SendWakeByte(), 0);
  std::uint8_t id[6] = {};
  ASSERT_EQ(BusReadIdentity(251, id), 0);
  EXPECT_EQ(id[0], 5);
  std::uint8_t block[64 * 50];
  EXPECT_BUS_RESULT(BusReadPageBlock(251, 0, 50, block), kBusOk)
      << "a 50-page block read byte by byte";
}

}  // namespace
}  // namespace varnel::simtest
