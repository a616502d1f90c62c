// How the modem's texts about a call are read.
#include <gtest/gtest.h>

#include <string>

#include "link/modem_texts.h"

namespace varnel {
namespace {

bool Ended(const std::string& text) {
  return BytesContainCallEnded(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(ModemTexts, BothReportsOfTheEndOfACallAreKnownInAnyCase) {
  EXPECT_TRUE(Ended("\r\nDisconnected\r\n"));
  EXPECT_TRUE(Ended("\r\nNO CARRIER\r\n"));
  EXPECT_TRUE(Ended("no carrier"));
  EXPECT_FALSE(Ended("\r\nLine lost\r\nCARRIER\r\n"));
  const std::string cut = "\x01\x03NO CAR";
  EXPECT_TRUE(BytesEndInsideCallEnded(reinterpret_cast<const std::uint8_t*>(cut.data()),
                                      cut.size()));
}

TEST(ModemTexts, OnlyAConnectionThatNoEndFollowsIsALiveCall) {
  EXPECT_TRUE(LiveCallAnnounced("\r\nRING\r\n\r\nCONNECTION OK\r\n"));
  EXPECT_TRUE(LiveCallAnnounced("\r\nNO CARRIER\r\n\r\nConnection OK\r\n"));
  EXPECT_FALSE(LiveCallAnnounced("\r\nCONNECTION OK\r\n\r\nNO CARRIER\r\n"));
  // The second call is on although the first one's end was reported.
  EXPECT_TRUE(LiveCallAnnounced("CONNECTION OK\r\nDISCONNECTED\r\nCONNECTION OK\r\n"));
  EXPECT_FALSE(LiveCallAnnounced("OK\r\n"));
  EXPECT_FALSE(LiveCallAnnounced(""));
}

}  // namespace
}  // namespace varnel
