// The simulator's end of the line: the pseudo-terminal and the pacing.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <vector>

#include <unistd.h>

#include "sim/serial_endpoint.h"
#include "tests/sim/support/line_client.h"

namespace varnel::sim {
namespace {

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
