#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/bitmap/Bitmap.h"

// The allocation-failure tests need calloc to answer null, as glibc does,
// instead of AddressSanitizer stopping the process on an oversized request.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

std::vector<int> SetBits(const TBitmap& b) {
  std::vector<int> out;
  for (long long i = 0; i <= b.GetMaxBitIndex(); ++i)
    if (b.GetBit(i) != 0) out.push_back(static_cast<int>(i));
  return out;
}

TEST(Bitmap, NewBitmapIsEmpty) {
  TBitmap b;
  EXPECT_EQ(b.GetBitmapData(), nullptr);
  EXPECT_EQ(b.GetBitmapSize(), 0u);
  EXPECT_EQ(b.GetMaxBitIndex(), 0);
  EXPECT_EQ(b.GetUnit(), 1u);
}

TEST(Bitmap, CreateNineBitsWithUnitEight) {
  TBitmap b;
  EXPECT_EQ(b.CreateBitmap(9, 8), 1);
  EXPECT_EQ(b.GetBitmapSize(), 2u);
  EXPECT_EQ(b.GetMaxBitIndex(), 8);
  EXPECT_EQ(b.GetUnit(), 8u);
  ASSERT_NE(b.GetBitmapData(), nullptr);
  EXPECT_EQ(b.GetBitmapData()[0], 0);
  EXPECT_EQ(b.GetBitmapData()[1], 0);
}

TEST(Bitmap, ByteSizeIsTheCeilingOfBitsOverEight) {
  const struct {
    long long bits;
    std::size_t bytes;
  } cases[] = {{1, 1}, {7, 1}, {8, 1}, {9, 2}, {16, 2}, {17, 3}, {4096, 512}, {4097, 513}};
  for (const auto& c : cases) {
    TBitmap b;
    ASSERT_EQ(b.CreateBitmap(c.bits, 1), 1) << c.bits;
    EXPECT_EQ(b.GetBitmapSize(), c.bytes) << c.bits;
    EXPECT_EQ(b.GetMaxBitIndex(), c.bits - 1);
  }
}

TEST(Bitmap, SetBitIsClippedToTheLastBit) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(9, 1), 1);
  EXPECT_EQ(b.SetBit(5, 1, 10), 1);
  EXPECT_EQ(SetBits(b), (std::vector<int>{5, 6, 7, 8}));
  EXPECT_EQ(b.GetBitmapData()[0], 0xE0);
  EXPECT_EQ(b.GetBitmapData()[1], 0x01);
  EXPECT_EQ(b.SetBit(9, 1, 1), 0);
  EXPECT_EQ(b.SetBit(-1, 1, 1), 0);
  EXPECT_EQ(b.SetBit(LLONG_MAX, 1, 1), 0);
  EXPECT_EQ(b.SetBit(8, 1, UINT_MAX), 1);
  EXPECT_EQ(b.GetBitmapData()[1], 0x01);  // nothing beyond the last bit
}

TEST(Bitmap, GetBitReturnsTheRawMask) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(16, 1), 1);
  EXPECT_EQ(b.SetBit(3, 1, 1), 1);
  EXPECT_EQ(b.GetBit(3), 8);
  for (int i = 0; i < 16; ++i) {
    TBitmap one;
    ASSERT_EQ(one.CreateBitmap(16, 1), 1);
    one.SetBit(i, 1, 1);
    EXPECT_EQ(one.GetBit(i), 1 << (i % 8)) << i;
  }
  EXPECT_EQ(b.GetBit(2), 0);
  EXPECT_EQ(b.GetBit(-1), 0);
  EXPECT_EQ(b.GetBit(16), 0);
}

TEST(Bitmap, CountZeroAnswersOneAndChangesNothing) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(8, 1), 1);
  EXPECT_EQ(b.SetBit(2, 1, 0), 1);
  EXPECT_TRUE(SetBits(b).empty());
  EXPECT_EQ(b.SetBit(8, 1, 0), 0);  // the index is still checked
}

TEST(Bitmap, ClearingBits) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(40, 1), 1);
  ASSERT_EQ(b.SetBit(0, 1, 40), 1);
  EXPECT_EQ(b.SetBit(3, 0, 30), 1);
  EXPECT_EQ(SetBits(b), (std::vector<int>{0, 1, 2, 33, 34, 35, 36, 37, 38, 39}));
  EXPECT_EQ(b.SetBit(35, 7, 1), 1);  // any non-zero value sets
  EXPECT_EQ(b.SetBit(34, 0, 1), 1);
  EXPECT_EQ(SetBits(b), (std::vector<int>{0, 1, 2, 33, 35, 36, 37, 38, 39}));
}

// Runs across byte boundaries against a bit-by-bit model.
TEST(Bitmap, RunsMatchABitByBitModel) {
  constexpr long long kBits = 131;
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(kBits, 1), 1);
  std::vector<bool> model(kBits, false);
  unsigned seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    seed = seed * 1103515245u + 12345u;
    const long long index = (seed >> 8) % kBits;
    seed = seed * 1103515245u + 12345u;
    const unsigned count = (seed >> 8) % 70;
    const int value = round % 3 == 0 ? 0 : 1;
    ASSERT_EQ(b.SetBit(index, value, count), 1);
    for (long long i = index; i < index + count && i < kBits; ++i) model[i] = value != 0;
    for (long long i = 0; i < kBits; ++i) ASSERT_EQ(b.GetBit(i) != 0, model[i]) << "round " << round << " bit " << i;
  }
}

TEST(Bitmap, CreateWithNoBitsKeepsThePreviousArray) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(9, 8), 1);
  ASSERT_EQ(b.SetBit(4, 1, 1), 1);
  const unsigned char* before = b.GetBitmapData();
  EXPECT_EQ(b.CreateBitmap(0, 1), 0);
  EXPECT_EQ(b.CreateBitmap(-5, 1), 0);
  EXPECT_EQ(b.GetBitmapData(), before);
  EXPECT_EQ(b.GetBitmapSize(), 2u);
  EXPECT_EQ(b.GetMaxBitIndex(), 8);
  EXPECT_EQ(b.GetUnit(), 8u);
  EXPECT_EQ(b.GetBit(4), 16);
}

TEST(Bitmap, CreateReplacesTheArrayWithZeros) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(16, 1), 1);
  ASSERT_EQ(b.SetBit(0, 1, 16), 1);
  ASSERT_EQ(b.CreateBitmap(24, 4), 1);
  EXPECT_EQ(b.GetBitmapSize(), 3u);
  EXPECT_EQ(b.GetMaxBitIndex(), 23);
  EXPECT_EQ(b.GetUnit(), 4u);
  EXPECT_TRUE(SetBits(b).empty());
}

TEST(Bitmap, NeverCreatedAnswersZeroEverywhere) {
  TBitmap b;
  for (long long i : {-1LL, 0LL, 1LL, 7LL, 8LL, LLONG_MAX}) {
    EXPECT_EQ(b.GetBit(i), 0) << i;
    EXPECT_EQ(b.SetBit(i, 1, 1), 0) << i;
  }
  EXPECT_EQ(b.GetBitmapData(), nullptr);
}

TEST(Bitmap, DestroyedAnswersZeroEverywhere) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(64, 2), 1);
  ASSERT_EQ(b.SetBit(0, 1, 64), 1);
  EXPECT_EQ(b.DestroyBitmap(), 1);
  EXPECT_EQ(b.GetBitmapData(), nullptr);
  EXPECT_EQ(b.GetBitmapSize(), 0u);
  EXPECT_EQ(b.GetMaxBitIndex(), 0);
  for (long long i : {0LL, 1LL, 63LL}) EXPECT_EQ(b.GetBit(i), 0) << i;
  EXPECT_EQ(b.SetBit(0, 1, 1), 0);
  EXPECT_EQ(b.DestroyBitmap(), 1);  // twice is fine
}

TEST(Bitmap, UnitZeroIsRefused) {
  TBitmap b;
  EXPECT_EQ(b.CreateBitmap(8, 0), 0);
  EXPECT_EQ(b.GetBitmapData(), nullptr);
  EXPECT_EQ(b.GetUnit(), 1u);
}

// A map that cannot be allocated is refused and the old one stays.
TEST(Bitmap, AnImpossibleSizeIsRefused) {
  TBitmap b;
  ASSERT_EQ(b.CreateBitmap(8, 1), 1);
  EXPECT_EQ(b.CreateBitmap(LLONG_MAX, 1), 0);
  EXPECT_NE(b.GetBitmapData(), nullptr);
  EXPECT_EQ(b.GetBitmapSize(), 1u);
  EXPECT_EQ(b.GetMaxBitIndex(), 7);
}

// Above 2^32 bytes: the size is not cut to 32 bits. calloc maps the
// pages lazily, so only the touched ones cost memory.
TEST(Bitmap, SizesAboveFourGiBAreKept) {
  TBitmap b;
  const long long bits = (1LL << 35) + 9;  // 4 GiB + 2 bytes
  if (b.CreateBitmap(bits, 1) == 0) GTEST_SKIP() << "cannot reserve 4 GiB of address space here";
  EXPECT_EQ(b.GetBitmapSize(), (std::size_t{1} << 32) + 2);
  EXPECT_EQ(b.GetMaxBitIndex(), bits - 1);
  EXPECT_EQ(b.SetBit(bits - 3, 1, 100), 1);
  EXPECT_EQ(b.GetBit(bits - 1), 1 << ((bits - 1) % 8));
  EXPECT_EQ(b.GetBit(bits - 4), 0);
}

}  // namespace
