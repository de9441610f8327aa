#include "hfsplus/HfsPlusRawfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "hfsplus/HfsPlusResult.h"
#include "hfsplus/HfsPlusVolume.h"

CHFSPlusRawfile::CHFSPlusRawfile(CHFSPlusVolume* volume, std::uint32_t fileID, const HFSPlusForkData& fork,
                                 std::uint8_t forkType)
    : m_pVolume(volume), m_fileID(fileID) {
  if (volume == nullptr || volume->GetVolumeHeader() == nullptr) {
    m_lastResult = HFS_FAIL(kHfsBadArgument);
    return;
  }
  ExtentChainOptions options;
  options.forkType = forkType;
  m_lastResult = BuildExtentChain(volume, fileID, fork, options, m_extents);
}

std::uint64_t CHFSPlusRawfile::AllocatedBytes() const {
  if (m_pVolume == nullptr || m_pVolume->GetVolumeHeader() == nullptr) return 0;
  std::uint64_t blocks = 0;
  for (const auto& e : m_extents) blocks += e.blockCount;
  return blocks * m_pVolume->GetVolumeHeader()->blockSize;
}

bool CHFSPlusRawfile::Contains(std::uint64_t offset) const {
  if (m_pVolume == nullptr || m_pVolume->GetVolumeHeader() == nullptr) return false;
  const std::uint64_t bs = m_pVolume->GetVolumeHeader()->blockSize;
  for (const auto& e : m_extents) {
    const std::uint64_t first = bs * e.startBlock;
    if (offset >= first && offset < first + bs * e.blockCount) return true;
  }
  return false;
}

std::uint64_t CHFSPlusRawfile::Read(std::uint64_t offset, void* dst, std::uint64_t length) {
  if (m_pVolume == nullptr || m_pVolume->GetVolumeHeader() == nullptr) {
    m_lastResult = HFS_FAIL(kHfsBadArgument);
    return 0;
  }
  if (m_extents.empty()) {
    m_lastResult = HFS_FAIL(kHfsNotInitialised);
    return 0;
  }
  const std::uint64_t bs = m_pVolume->GetVolumeHeader()->blockSize;
  auto* out = static_cast<std::uint8_t*>(dst);
  std::uint64_t done = 0;
  std::uint64_t skip = offset;
  for (const auto& e : m_extents) {
    if (done == length) break;
    const std::uint64_t bytes = bs * e.blockCount;
    if (skip >= bytes) {
      skip -= bytes;
      continue;
    }
    const std::uint64_t take = std::min(bytes - skip, length - done);
    const std::uint64_t got = m_pVolume->Read(bs * e.startBlock + skip, out + done, take);
    done += got;
    if (got != take) {
      std::printf("Location 0x%llx Size 0x%llx\n", static_cast<unsigned long long>(offset + done),
                  static_cast<unsigned long long>(length - done));
      m_lastResult = HFS_FAIL(kHfsShortRead);
      return done;
    }
    skip = 0;
  }
  if (done != length) {
    std::printf("Location 0x%llx Size 0x%llx\n", static_cast<unsigned long long>(offset + done),
                static_cast<unsigned long long>(length - done));
    m_lastResult = HFS_FAIL(kHfsFormat);
  }
  return done;
}

CHFSPlusFileCache::CHFSPlusFileCache(CHFSPlusVolume* volume, std::uint32_t fileID, const HFSPlusForkData& fork,
                                     std::uint64_t limit)
    : CHFSPlusRawfile(volume, fileID, fork) {
  if (result::Failed(m_lastResult)) return;
  const std::uint64_t want = std::min({AllocatedBytes(), kMaxCached, limit});
  if (want == 0) return;
  try {
    m_cache.resize(static_cast<std::size_t>(want));
  } catch (const std::bad_alloc&) {
    m_cache.clear();
    return;
  }
  if (CHFSPlusRawfile::Read(0, m_cache.data(), want) != want) {
    m_cache.clear();
    m_cache.shrink_to_fit();
  }
}

std::uint64_t CHFSPlusFileCache::Read(std::uint64_t offset, void* dst, std::uint64_t length) {
  if (offset < m_cache.size()) {
    const std::uint64_t n = std::min<std::uint64_t>(length, m_cache.size() - offset);
    std::memcpy(dst, m_cache.data() + offset, static_cast<std::size_t>(n));
    return n;
  }
  return CHFSPlusRawfile::Read(offset, dst, length);
}
