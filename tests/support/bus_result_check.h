#pragma once
// Bus result codes compared in tests: a failure names both codes in words beside their
// numbers, e.g. "-4 (no reply)".
#include <gtest/gtest.h>

#include <cstdint>

#include "link/bus.h"

namespace varnel::testsupport {

inline ::testing::AssertionResult SameBusResult(const char* actualText, const char* expectedText,
                                                std::int16_t actual, std::int16_t expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actualText << " gave " << actual << " (" << BusResultName(actual) << "), expected "
         << expectedText << ": " << expected << " (" << BusResultName(expected) << ")";
}

}  // namespace varnel::testsupport

#define EXPECT_BUS_RESULT(actual, expected) \
  EXPECT_PRED_FORMAT2(::varnel::testsupport::SameBusResult, actual, expected)
#define ASSERT_BUS_RESULT(actual, expected) \
  ASSERT_PRED_FORMAT2(::varnel::testsupport::SameBusResult, actual, expected)
