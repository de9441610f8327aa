#include "platform/PageBuffer.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <vector>

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

TEST(PageBufferTest, BackedBuffersHaveEveryPageInMemory) {
  // More buffers than backing threads, one of them missing, sizes that end
  // inside a page.
  constexpr std::size_t kBytes = (std::size_t{1} << 20) + 100;
  std::vector<platform::PageBuffer> owned;
  std::vector<std::uint8_t*> buffers;
  for (int i = 0; i < 9; ++i) {
    owned.push_back(platform::AllocatePageBuffer(kBytes));
    ASSERT_NE(owned.back(), nullptr);
    buffers.push_back(i == 4 ? nullptr : owned.back().get());
  }
  platform::BackPages(buffers.data(), buffers.size(), kBytes);
  const std::size_t pages = (kBytes + 4095) / 4096;
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    if (buffers[i] == nullptr) continue;
    std::vector<unsigned char> resident(pages);
    ASSERT_EQ(::mincore(buffers[i], kBytes, resident.data()), 0);
    for (std::size_t p = 0; p < pages; ++p) ASSERT_NE(resident[p] & 1, 0) << "buffer " << i << " page " << p;
    // Still every byte usable.
    std::memset(buffers[i], 0x33, kBytes);
    EXPECT_EQ(buffers[i][kBytes - 1], 0x33);
  }
  platform::BackPages(nullptr, 3, kBytes);
  platform::BackPages(buffers.data(), 0, kBytes);
}

}  // namespace
