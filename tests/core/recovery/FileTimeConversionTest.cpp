#include "core/recovery/FileTimeConversion.h"

#include <gtest/gtest.h>

namespace {

TEST(FileTimeConversion, ConvertsStraightToUnixTime) {
  struct Case {
    const char* what;
    long long fileTime;
    long long seconds;
    long nanoseconds;
  };
  const Case cases[] = {
      {"the Unix epoch", 116444736000000000LL, 0, 0},
      {"one tick after it", 116444736000000001LL, 0, 100},
      {"one tick before it", 116444735999999999LL, -1, 999999900},
      {"1601-01-01 plus a second", 10000000LL, -11644473599LL, 0},
      {"2036-02-29 12:00:00 UTC", 116444736000000000LL + 2087899200LL * 10000000LL, 2087899200LL, 0},
      {"2040-02-07 (past 32-bit HFS seconds)", 116444736000000000LL + 2212012800LL * 10000000LL, 2212012800LL, 0},
      {"a 64-bit future", 116444736000000000LL + 40000000000LL * 10000000LL + 7, 40000000000LL, 700},
  };
  for (const Case& c : cases) {
    const auto stamp = FileTimeToUnixStamp(c.fileTime);
    ASSERT_TRUE(stamp.has_value()) << c.what;
    EXPECT_EQ(stamp->seconds, c.seconds) << c.what;
    EXPECT_EQ(stamp->nanoseconds, c.nanoseconds) << c.what;
  }
}

TEST(FileTimeConversion, ZeroAndNegativeMeanUnknown) {
  EXPECT_FALSE(FileTimeToUnixStamp(0).has_value());
  EXPECT_FALSE(FileTimeToUnixStamp(-5).has_value());
}

}  // namespace
