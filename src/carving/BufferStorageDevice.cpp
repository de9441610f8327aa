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
  m_ring.reset(new unsigned char[static_cast<std::size_t>(capacity * sectorSize)]);
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
  m_ring.reset();
  m_bReady = false;
  m_llHeld = 0;
  m_uWriteSlot = 0;
  return 1;
}

void CBufferStorageDevice::AddBlockToBuffer(const unsigned char* block, long long startSector, long long validSectors) {
  if (!m_bReady || block == nullptr || startSector < 0) return;
  const auto spb = static_cast<long long>(m_uSectorsPerBlock);
  // A gap (a block that could not be read) breaks the ring's order.
  if (m_llHeld != 0 && static_cast<unsigned long long>(startSector) != m_u64First + m_llHeld) {
    m_llHeld = 0;
    m_uWriteSlot = 0;
  }
  if (m_llHeld == 0) m_u64First = static_cast<unsigned long long>(startSector);
  const std::size_t ss = m_uSectorSize;
  const std::size_t at = static_cast<std::size_t>(m_uWriteSlot) * ss;
  const std::size_t bytes = static_cast<std::size_t>(spb) * ss;
  long long valid = validSectors < 0 ? 0 : (validSectors > spb ? spb : validSectors);
  std::memcpy(m_ring.get() + at, block, static_cast<std::size_t>(valid) * ss);
  std::memset(m_ring.get() + at + static_cast<std::size_t>(valid) * ss, 0,
              bytes - static_cast<std::size_t>(valid) * ss);
  const bool wasFull = IsFullBuffer();
  m_uWriteSlot = static_cast<unsigned int>((m_uWriteSlot + m_uSectorsPerBlock) % m_uCapacity);
  if (wasFull) {
    m_u64First += static_cast<unsigned long long>(spb);
  } else {
    m_llHeld += spb;
  }
}

int CBufferStorageDevice::ReadSector(void* buffer, long long start, long long count) {
  if (!m_bReady || buffer == nullptr || start < 0 || count <= 0) return 0;
  const auto first = static_cast<long long>(m_u64First);
  if (m_llHeld > 0 && start >= first && count <= m_llHeld && start - first <= m_llHeld - count) {
    const long long oldest = IsFullBuffer() ? m_uWriteSlot : 0;
    const long long cap = m_uCapacity;
    const long long slot = (start - first + oldest) % cap;
    const std::size_t ss = m_uSectorSize;
    auto* out = static_cast<unsigned char*>(buffer);
    const long long firstPart = slot + count <= cap ? count : cap - slot;
    std::memcpy(out, m_ring.get() + static_cast<std::size_t>(slot) * ss, static_cast<std::size_t>(firstPart) * ss);
    if (firstPart < count) {
      std::memcpy(out + static_cast<std::size_t>(firstPart) * ss, m_ring.get(),
                  static_cast<std::size_t>(count - firstPart) * ss);
    }
    return 1;
  }
  if (m_pDevice == nullptr) return 0;
  return m_pDevice->ReadSector(buffer, start, count);
}
