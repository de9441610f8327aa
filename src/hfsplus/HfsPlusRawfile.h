#pragma once
// Byte access to a fork through its allocation-block extents.

#include <cstdint>
#include <vector>

#include "core/model/ResultCode.h"
#include "hfsplus/ExtentChain.h"
#include "hfsplus/ForkData.h"

class CHFSPlusVolume;

class CHFSPlusRawfile {
 public:
  CHFSPlusRawfile(CHFSPlusVolume* volume, std::uint32_t fileID, const HFSPlusForkData& fork, std::uint8_t forkType = 0);
  virtual ~CHFSPlusRawfile() = default;
  CHFSPlusRawfile(const CHFSPlusRawfile&) = delete;
  CHFSPlusRawfile& operator=(const CHFSPlusRawfile&) = delete;

  // Reads up to `length` bytes at `offset` of the fork; the bytes read.
  virtual std::uint64_t Read(std::uint64_t offset, void* dst, std::uint64_t length);

  RESULT GetLastResult() const { return m_lastResult; }
  // Bytes covered by the extents.
  std::uint64_t AllocatedBytes() const;
  const std::vector<HFSPlusExtentDescriptor>& Extents() const { return m_extents; }
  // True when the byte offset of the volume lies in one of the extents.
  bool Contains(std::uint64_t volumeOffset) const;

 protected:
  std::vector<HFSPlusExtentDescriptor> m_extents;
  RESULT m_lastResult = 0;
  CHFSPlusVolume* m_pVolume;
  std::uint32_t m_fileID;
};

// A fork held in memory (up to `limit` bytes, at most 256 MiB); reads past
// the cache go to the device.
class CHFSPlusFileCache : public CHFSPlusRawfile {
 public:
  static constexpr std::uint64_t kMaxCached = 0x10000000;

  CHFSPlusFileCache(CHFSPlusVolume* volume, std::uint32_t fileID, const HFSPlusForkData& fork,
                    std::uint64_t limit = kMaxCached);
  std::uint64_t Read(std::uint64_t offset, void* dst, std::uint64_t length) override;
  std::uint64_t CachedLength() const { return m_cache.size(); }

 private:
  std::vector<std::uint8_t> m_cache;
};
