#include <gtest/gtest.h>

#include <string>

#include "core/util/Log.h"

namespace {

struct Utf8Case {
  const char* name;
  std::string bytes;
  int expected;
};

class Utf8CheckTest : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8CheckTest, Validates) { EXPECT_EQ(isValidString(GetParam().bytes.c_str()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8CheckTest,
    testing::Values(Utf8Case{"ascii", "abc", 1}, Utf8Case{"empty", "", 1}, Utf8Case{"two_byte", "\xC3\xA9t\xC3\xA9", 1},
                    Utf8Case{"bad_continuation", "\xC3\x28", 0}, Utf8Case{"three_byte", "\xE2\x82\xAC", 1},
                    Utf8Case{"four_byte", "\xF0\x9F\x98\x80", 1}, Utf8Case{"max_code_point", "\xF4\x8F\xBF\xBF", 1},
                    Utf8Case{"above_max", "\xF4\x90\x80\x80", 0}, Utf8Case{"overlong_slash_two", "\xC0\xAF", 0},
                    Utf8Case{"overlong_c1", "\xC1\xBF", 0}, Utf8Case{"overlong_three", "\xE0\x80\xAF", 0},
                    Utf8Case{"overlong_four", "\xF0\x80\x80\xAF", 0}, Utf8Case{"smallest_three", "\xE0\xA0\x80", 1},
                    Utf8Case{"smallest_four", "\xF0\x90\x80\x80", 1}, Utf8Case{"surrogate_low_end", "\xED\x9F\xBF", 1},
                    Utf8Case{"surrogate_high", "\xED\xA0\x80", 0}, Utf8Case{"surrogate_low", "\xED\xBF\xBF", 0},
                    Utf8Case{"lone_continuation", "a\x80", 0}, Utf8Case{"truncated_at_end", "ab\xE2\x82", 0},
                    Utf8Case{"lead_f5", "\xF5\x80\x80\x80", 0}, Utf8Case{"byte_ff", "\xFF", 0}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return std::string(info.param.name); });

TEST(Utf8CheckNullTest, NullIsNotValid) { EXPECT_EQ(isValidString(nullptr), 0); }

}  // namespace
