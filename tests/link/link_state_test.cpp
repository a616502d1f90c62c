// Opening and closing the port: what PortOpen does with odd arguments, and the line it sets up.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "link/link_state.h"
#include "link/serial_port.h"
#include "link_fixture.h"

namespace varnel::testing {
namespace {

class PortOpenTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetLink();
    ASSERT_TRUE(peer_.Ok());
    PublishPort(1, peer_.SlavePath());
  }
  void TearDown() override {
    ResetLink();
    UnpublishPort(1);
  }
  PtyPeer peer_;
};

TEST_F(PortOpenTest, OpensAPseudoTerminalThatHasNoControlLines) {
  // The premise: this line refuses DTR, with the error the open lets pass -- and only a
  // device without lines gives that one: a port failing otherwise must not open.
  int dtr = TIOCM_DTR;
  ASSERT_NE(::ioctl(peer_.SlaveFd(), TIOCMBIS, &dtr), 0);
  const int refused = errno;
  EXPECT_TRUE(LacksControlLines(refused)) << refused;
  for (int other : {EINVAL, EIO, ENOTSUP, EBADF, EPERM}) {
    if (other != refused) {
      EXPECT_FALSE(LacksControlLines(other)) << other;
    }
  }

  Stopwatch sw;
  ASSERT_EQ(PortOpen(1, 300, 19200, true), 0);
  EXPECT_GE(sw.Ms(), 500);  // the line settles before use
  EXPECT_TRUE(PortIsOpen());
  EXPECT_EQ(PortTimeout(), 300);

  termios tio{};
  ASSERT_EQ(::tcgetattr(peer_.SlaveFd(), &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);

  const CommTimeouts t = AcquirePort()->Timeouts();
  EXPECT_EQ(t.readInterval, 400u);
  EXPECT_EQ(t.readTotalMultiplier, 0u);
  EXPECT_EQ(t.readTotalConstant, 300u);
  EXPECT_EQ(t.writeTotalConstant, 200u);
}

TEST_F(PortOpenTest, UnsupportedBaudRateLeavesTheOpenPortAlone) {
  ASSERT_EQ(PortOpen(1, 300, 9600, true), 0);
  const std::shared_ptr<SerialPort> before = AcquirePort();
  Stopwatch sw;
  EXPECT_EQ(PortOpen(1, 300, 14400, true), -1);
  EXPECT_LT(sw.Ms(), 100);  // nothing done, not even the pause
  EXPECT_EQ(AcquirePort(), before);
  EXPECT_FALSE(before->IsClosed());
}

TEST_F(PortOpenTest, PortNumberOutOfRangeClosesTheOpenPortAndFails) {
  ASSERT_EQ(PortOpen(1, 300, 9600, true), 0);
  const std::shared_ptr<SerialPort> before = AcquirePort();
  EXPECT_EQ(PortOpen(10, 300, 9600, true), -1);
  EXPECT_FALSE(PortIsOpen());
  EXPECT_TRUE(before->IsClosed());
  EXPECT_EQ(PortOpen(-1, 300, 9600, true), -1);
}

TEST_F(PortOpenTest, TimeoutBelowOneMeans500) {
  ASSERT_EQ(PortOpen(1, 0, 9600, true), 0);
  EXPECT_EQ(PortTimeout(), 500);
  ASSERT_EQ(PortOpen(1, -20, 9600, true), 0);
  EXPECT_EQ(PortTimeout(), 500);
  EXPECT_EQ(AcquirePort()->Timeouts().readTotalConstant, 500u);
}

TEST_F(PortOpenTest, MissingDeviceFailsAfterTheTimeout) {
  UnpublishPort(0);
  Stopwatch sw;
  EXPECT_EQ(PortOpen(0, 200, 9600, true), -1);  // COM0 has no default device
  EXPECT_GE(sw.Ms(), 195);
  EXPECT_LT(sw.Ms(), 600);
  EXPECT_FALSE(PortIsOpen());
}

TEST_F(PortOpenTest, DeviceThatIsNotALineFailsButStaysOpen) {
  const std::string file = TestPortsFolder() + "/not-a-line";
  std::ofstream(file) << "x";
  PublishPort(2, file);
  Stopwatch sw;
  EXPECT_EQ(PortOpen(2, 150, 9600, true), -1);
  EXPECT_GE(sw.Ms(), 145);
  EXPECT_TRUE(PortIsOpen());
  EXPECT_EQ(PortClose(), 0);
  UnpublishPort(2);
  std::remove(file.c_str());
}

TEST_F(PortOpenTest, CloseTwiceSucceedsBothTimes) {
  ASSERT_EQ(PortOpen(1, 300, 9600, true), 0);
  EXPECT_EQ(PortClose(), 0);
  EXPECT_EQ(PortClose(), 0);
  EXPECT_FALSE(PortIsOpen());
}

TEST_F(PortOpenTest, HolderOfAClosedPortFailsSafelyWhileTheLineIsReopened) {
  ASSERT_EQ(PortOpen(1, 300, 9600, true), 0);
  const std::shared_ptr<SerialPort> old = AcquirePort();
  EXPECT_EQ(PortClose(), 0);
  std::uint8_t b[4];
  EXPECT_EQ(old->Read(b, 4, nullptr, 1000).status, IoStatus::Failed);
  EXPECT_EQ(old->Write(b, 4, nullptr, 1000).status, IoStatus::Failed);
  EXPECT_FALSE(old->Purge());
  EXPECT_EQ(old->WaitEvent(kMaskReceive, nullptr, 1000).count, 0u);

  ASSERT_EQ(PortOpen(1, 300, 9600, true), 0);
  peer_.Send({0x42});
  const IoResult r = AcquirePort()->Read(b, 1, nullptr, 1000);
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(b[0], 0x42);
}

}  // namespace
}  // namespace varnel::testing
