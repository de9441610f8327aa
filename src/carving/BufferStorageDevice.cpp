#include "carving/BufferStorageDevice.h"

#include <cstring>

namespace {
// The ring is meant for the sweep's blocks: 20 x 4 MiB.
constexpr unsigned long long kMaxRingBytes = 1ull << 30;
}  // namespace

int CBufferStorageDevice::InitBufferDevice(IStorageDevice* device, unsigned long long firstSector,
                                           unsigned int sectorSize, unsigned int sectorsPerBlock, unsigned int blocks) {
  Close();
  if (sectorSize == 0) sectorSize = 512;
  const unsigned long long capacity = static_cast<unsigned long long>(sectorsPerBlock) * blocks;
  if (capacity == 0 || capacity > 0xFFFFFFFFull || capacity * sectorSize > kMaxRingBytes) return 0;
  m_slots.assign(blocks, nullptr);
  m_own.assign(blocks, nullptr);
  m_pDevice = device;
  m_u64First = firstSector;
  m_llHeld = 0;
  m_uWriteSlot = 0;
  m_uSectorsPerBlock = sectorsPerBlock;
  m_uBlocks = blocks;
  m_uCapacity = static_cast<unsigned int>(capacity);
  m_uSectorSize = sectorSize;
  m_bReady = true;
  return 1;
}

int CBufferStorageDevice::Close() {
  m_slots.clear();
  m_own.clear();
  m_bReady = false;
  m_llHeld = 0;
  m_uWriteSlot = 0;
  return 1;
}

unsigned int CBufferStorageDevice::SlotFor(long long startSector) {
  // A gap (a block that could not be read) breaks the ring's order.
  if (m_llHeld != 0 && static_cast<unsigned long long>(startSector) != m_u64First + m_llHeld) {
    m_llHeld = 0;
    m_uWriteSlot = 0;
  }
  if (m_llHeld == 0) m_u64First = static_cast<unsigned long long>(startSector);
  return m_uWriteSlot;
}

void CBufferStorageDevice::Advance() {
  const bool wasFull = IsFullBuffer();
  m_uWriteSlot = (m_uWriteSlot + 1) % m_uBlocks;
  if (wasFull) {
    m_u64First += m_uSectorsPerBlock;
  } else {
    m_llHeld += m_uSectorsPerBlock;
  }
}

void CBufferStorageDevice::AddBlockToBuffer(const unsigned char* block, long long startSector, long long validSectors) {
  if (!m_bReady || block == nullptr || startSector < 0) return;
  const unsigned int slot = SlotFor(startSector);
  const std::size_t bytes = static_cast<std::size_t>(m_uSectorsPerBlock) * m_uSectorSize;
  if (!m_own[slot]) m_own[slot].reset(new unsigned char[bytes]);
  const auto spb = static_cast<long long>(m_uSectorsPerBlock);
  const long long valid = validSectors < 0 ? 0 : (validSectors > spb ? spb : validSectors);
  const std::size_t validBytes = static_cast<std::size_t>(valid) * m_uSectorSize;
  std::memcpy(m_own[slot].get(), block, validBytes);
  std::memset(m_own[slot].get() + validBytes, 0, bytes - validBytes);
  m_slots[slot] = std::shared_ptr<const unsigned char>(m_own[slot], m_own[slot].get());
  Advance();
}

void CBufferStorageDevice::AddSharedBlock(std::shared_ptr<const unsigned char> block, long long startSector,
                                          long long validSectors) {
  if (!m_bReady || startSector < 0) return;
  static_cast<void>(validSectors);
  const unsigned int slot = SlotFor(startSector);
  m_slots[slot] = std::move(block);
  Advance();
}

int CBufferStorageDevice::ReadSector(void* buffer, long long start, long long count) {
  if (!m_bReady || buffer == nullptr || start < 0 || count <= 0) return 0;
  const auto first = static_cast<long long>(m_u64First);
  const long long spb = m_uSectorsPerBlock;
  const long long oldest = IsFullBuffer() ? m_uWriteSlot : 0;
  const auto slotOf = [&](long long at) { return static_cast<std::size_t>((at / spb + oldest) % m_uBlocks); };
  bool inRing = m_llHeld > 0 && start >= first && count <= m_llHeld && start - first <= m_llHeld - count;
  for (long long at = start - first; inRing && at < start - first + count; at += spb - at % spb) {
    inRing = m_slots[slotOf(at)] != nullptr;
  }
  if (inRing) {
    const std::size_t ss = m_uSectorSize;
    auto* out = static_cast<unsigned char*>(buffer);
    for (long long at = start - first, left = count; left > 0;) {
      const long long inBlock = at % spb;
      const long long n = left < spb - inBlock ? left : spb - inBlock;
      std::memcpy(out, m_slots[slotOf(at)].get() + static_cast<std::size_t>(inBlock) * ss,
                  static_cast<std::size_t>(n) * ss);
      out += static_cast<std::size_t>(n) * ss;
      at += n;
      left -= n;
    }
    return 1;
  }
  if (m_pDevice == nullptr) return 0;
  return m_pDevice->ReadSector(buffer, start, count);
}
