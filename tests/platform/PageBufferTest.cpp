#include "platform/PageBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(PageBufferTest, NoBytesGiveNoBuffer) { EXPECT_EQ(platform::AllocatePageBuffer(0), nullptr); }

TEST(PageBufferTest, BuffersArePageAlignedAndHoldEveryByteAskedFor) {
  // Below a page, between pages, a huge page and past it, a sweep block.
  for (const std::size_t bytes :
       {std::size_t{1}, std::size_t{4097}, std::size_t{2} << 20, (std::size_t{2} << 20) + 1, std::size_t{4} << 20}) {
    SCOPED_TRACE(bytes);
    platform::PageBuffer buffer = platform::AllocatePageBuffer(bytes);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.get()) % 4096, 0u);
    EXPECT_GE(buffer.get_deleter().bytes, bytes);
    // Every byte can be written and read back (ASan checks the ends).
    std::memset(buffer.get(), 0x5A, bytes);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[bytes - 1], 0x5A);
  }
}

}  // namespace
