// The simulator's COM link: the port's name in the ports folder, made and removed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "link/port_names.h"
#include "sim/port_link.h"
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

// A port whose link went (its modem unplugged) is missing until the link is back; it never
// falls back to the default device, which is some other line.
TEST_F(PortLinkFolder, APortOnceLinkedNeverFallsBackToTheDefaultDevice) {
  EXPECT_EQ(ResolveComPort(8), "/dev/ttyS7");
  {
    PortLink link;
    ASSERT_EQ(link.Publish(8, "/dev/null", false), "");
    EXPECT_EQ(ResolveComPort(8), PortLinkPath(8));
  }
  EXPECT_EQ(ResolveComPort(8), "");
  PortLink back;
  ASSERT_EQ(back.Publish(8, "/dev/null", false), "");
  EXPECT_EQ(ResolveComPort(8), PortLinkPath(8));
}

}  // namespace
}  // namespace varnel::sim
