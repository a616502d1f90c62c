// The simulator's end of the line: the pseudo-terminal, the COM link, and the pacing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "link/port_names.h"
#include "sim/port_link.h"
#include "sim/serial_endpoint.h"
#include "tests/sim/support/line_client.h"
#include "tests/sim/support/sim_session.h"

namespace varnel::sim {
namespace {

namespace fs = std::filesystem;

class PortLinkFolder : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VARNEL_PORTS", (dir / "ports").c_str(), 1); }
  void TearDown() override { ::unsetenv("VARNEL_PORTS"); }
  simtest::TempDir dir;
};

TEST(LinePacer, BytesFollowTheBaudRateAndQueueBehindEachOther) {
  LinePacer off(0);
  EXPECT_FALSE(off.paced());
  LinePacer p(9600);
  EXPECT_EQ(p.periodNs(), 1041666);  // ten bits at 9600 baud
  EXPECT_EQ(p.Schedule(1'000'000, 10), 1'000'000);
  // Booked while the first ten bytes are still on the line: it waits for them.
  EXPECT_EQ(p.Schedule(2'000'000, 5), 1'000'000 + 10 * 1041666);
  // After a pause the line is free at once.
  EXPECT_EQ(p.Schedule(900'000'000, 1), 900'000'000);
}

TEST_F(PortLinkFolder, LinkIsMadeRemovedAndNeverStealsALiveOne) {
  const std::string target = dir / "device";
  std::FILE* f = std::fopen(target.c_str(), "w");
  ASSERT_TRUE(f);
  std::fclose(f);
  {
    PortLink link;
    ASSERT_EQ(link.Publish(4, target, false), "");
    EXPECT_EQ(link.path(), PortLinkPath(4));
    EXPECT_EQ(fs::read_symlink(link.path()).string(), target);

    PortLink second;
    EXPECT_NE(second.Publish(4, "/dev/null", false), "") << "a live link is left alone";
    EXPECT_EQ(fs::read_symlink(PortLinkPath(4)).string(), target);
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(PortLinkPath(4)))) << "removed with its owner";

  // A dangling link from a killed simulator is replaced; a live one only when forced, and
  // is put back afterwards.
  fs::create_symlink(dir / "gone", PortLinkPath(5));
  {
    PortLink link;
    EXPECT_EQ(link.Publish(5, target, false), "");
  }
  fs::create_symlink("/dev/null", PortLinkPath(6));
  {
    PortLink link;
    ASSERT_EQ(link.Publish(6, target, true), "");
    EXPECT_EQ(fs::read_symlink(PortLinkPath(6)).string(), target);
  }
  EXPECT_EQ(fs::read_symlink(PortLinkPath(6)).string(), "/dev/null");

  // A plain file in the way is never deleted.
  f = std::fopen(PortLinkPath(7).c_str(), "w");
  std::fclose(f);
  PortLink blocked;
  EXPECT_NE(blocked.Publish(7, target, true), "");
  EXPECT_TRUE(fs::is_regular_file(PortLinkPath(7)));
}

TEST(SerialEndpoint, PseudoTerminalCarriesBytesBothWaysUnchanged) {
  SerialEndpoint end;
  ASSERT_EQ(end.OpenPty(), "");
  simtest::LineClient client(end.peerPath());
  ASSERT_TRUE(client.ok());
  // Raw both ways: CR, LF, 0x00, 0x11/0x13 (XON/XOFF) and 0xFF pass untouched.
  const std::vector<std::uint8_t> bytes{'\r', '\n', 0x00, 0x11, 0x13, 0xFF, 0x03, 0x7F};
  client.Write(bytes);
  std::vector<std::uint8_t> got(bytes.size());
  std::size_t have = 0;
  for (int i = 0; i < 100 && have < bytes.size(); ++i) {
    const long n = end.Read(got.data() + have, got.size() - have);
    ASSERT_GE(n, 0);
    have += static_cast<std::size_t>(n);
    if (have < bytes.size()) ::usleep(5000);
  }
  EXPECT_EQ(got, bytes);
  LinePacer fast(0);
  volatile std::sig_atomic_t stop = 0;
  EXPECT_EQ(end.Send(bytes.data(), bytes.size(), fast, &stop), SerialEndpoint::SendResult::kSent);
  EXPECT_EQ(client.Read(bytes.size(), 1000), bytes);

  std::uint8_t nothing[4];
  EXPECT_EQ(end.Read(nothing, 4), 0) << "nothing waiting, no error, no blocking";
}

}  // namespace
}  // namespace varnel::sim
