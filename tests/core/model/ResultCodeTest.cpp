#include "core/model/ResultCode.h"

#include <gtest/gtest.h>

TEST(ResultCode, PacksModuleLineAndCode) {
  const RESULT r = result::Make(result::kModuleRecoveryController, 88, 1);
  EXPECT_EQ(r, 0x0104005800000001ull);
  EXPECT_TRUE(result::Failed(r));
  EXPECT_EQ(result::ModuleOf(r), 0x0104);
  EXPECT_EQ(result::LineOf(r), 88);
  EXPECT_EQ(result::CodeOf(r), 1u);
}

TEST(ResultCode, SuccessIsDecidedByTheModulePartAlone) {
  struct Case {
    RESULT value;
    bool failed;
  };
  const Case cases[] = {
      {0, false},
      {0x00000000FFFFFFFFull, false},
      {0x00FFFFFFFFFFFFFFull, false},
      {0x0100000000000000ull, true},
      {0x010E000000000001ull, true},
  };
  for (const Case& c : cases) EXPECT_EQ(result::Failed(c.value), c.failed) << std::hex << c.value;
}

TEST(ResultCode, MacroStampsTheLine) {
  const RESULT r = QV_RESULT(result::kModuleStorageDevice, 5);
  EXPECT_EQ(result::LineOf(r), static_cast<std::uint16_t>(__LINE__ - 1));
  EXPECT_EQ(result::CodeOf(r), 5u);
}
