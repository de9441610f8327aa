#include "platform/BlockPairViews.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace platform {

namespace {

constexpr std::size_t kPage = 4096;

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Maps [block `first`][block 1 - first][zeros] of `fd` over a reserved
// stretch; null when a mapping fails.
std::uint8_t* MapView(int fd, std::size_t blockBytes, std::size_t zeroBytes, int first) {
  const std::size_t length = 2 * blockBytes + zeroBytes;
  void* reserved = ::mmap(nullptr, length, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (reserved == MAP_FAILED) return nullptr;
  auto* base = static_cast<std::uint8_t*>(reserved);
  const auto offset = [blockBytes](int block) { return static_cast<off_t>(block == 0 ? 0 : blockBytes); };
  const bool mapped =
      ::mmap(base, blockBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, offset(first)) != MAP_FAILED &&
      ::mmap(base + blockBytes, blockBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, offset(1 - first)) !=
          MAP_FAILED &&
      ::mmap(base + 2 * blockBytes, zeroBytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED;
  if (!mapped) {
    ::munmap(base, length);
    return nullptr;
  }
  return base;
}

}  // namespace

BlockPairViews::~BlockPairViews() { Release(); }

BlockPairViews::BlockPairViews(BlockPairViews&& other) noexcept { *this = std::move(other); }

BlockPairViews& BlockPairViews::operator=(BlockPairViews&& other) noexcept {
  if (this != &other) {
    Release();
    m_views[0] = std::exchange(other.m_views[0], nullptr);
    m_views[1] = std::exchange(other.m_views[1], nullptr);
    m_blockBytes = std::exchange(other.m_blockBytes, 0);
    m_viewBytes = std::exchange(other.m_viewBytes, 0);
  }
  return *this;
}

void BlockPairViews::Release() {
  for (std::uint8_t*& view : m_views) {
    if (view != nullptr) ::munmap(view, m_viewBytes);
    view = nullptr;
  }
  m_blockBytes = 0;
  m_viewBytes = 0;
}

BlockPairViews BlockPairViews::Map(std::size_t blockBytes, std::size_t zeroBytes) {
  BlockPairViews pair;
  if (blockBytes == 0 || blockBytes % kPage != 0 || blockBytes > SIZE_MAX / 4 || zeroBytes > SIZE_MAX / 4) {
    return pair;
  }
  const std::size_t zeros = (std::max<std::size_t>(zeroBytes, 1) + kPage - 1) / kPage * kPage;
  Descriptor memory{::memfd_create("quarnel-block-pair", MFD_CLOEXEC)};
  if (memory.fd < 0 || ::ftruncate(memory.fd, static_cast<off_t>(2 * blockBytes)) != 0) return pair;
  pair.m_blockBytes = blockBytes;
  pair.m_viewBytes = 2 * blockBytes + zeros;
  for (int first = 0; first < 2; ++first) {
    pair.m_views[first] = MapView(memory.fd, blockBytes, zeros, first);
    if (pair.m_views[first] == nullptr) {
      pair.Release();
      return pair;
    }
  }
  // The mappings keep the memory; the descriptor goes.
  return pair;
}

}  // namespace platform
