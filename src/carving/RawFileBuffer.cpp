#include "carving/RawFileBuffer.h"

#include <algorithm>
#include <cstring>

#include "carving/NotifyCenter.h"
#include "core/device/StorageDevice.h"

namespace {
// Larger sector sizes are not believed.
constexpr int kMaxSectorSize = 65536;
}  // namespace

RawFileBuffer::RawFileBuffer(IStorageDevice* device, unsigned long long startSector)
    : m_pDevice(device), m_u64Start(startSector) {
  if (device != nullptr) {
    const int ss = device->GetSectorSize();
    if (ss >= 512 && ss <= kMaxSectorSize) m_uSectorSize = static_cast<unsigned>(ss);
  }
  m_u64WindowBytes = static_cast<unsigned long long>(kWindowSectors) * m_uSectorSize;
}

bool RawFileBuffer::LoadWindow(long long window) {
  if (window == m_llWindow) return m_loadedBytes != 0;
  m_llWindow = window;
  m_loadedBytes = 0;
  if (m_pDevice == nullptr) return false;
  const std::size_t total = static_cast<std::size_t>(kWindowSectors + 1) * m_uSectorSize;
  m_buffer.assign(total, 0);
  const unsigned long long first = m_u64Start + static_cast<unsigned long long>(window) * kWindowSectors;
  if (first > static_cast<unsigned long long>(0x7FFFFFFFFFFFFFFFLL - kWindowSectors - 1)) return false;
  if (m_pDevice->ReadSector(m_buffer.data(), static_cast<long long>(first), kWindowSectors + 1) != 0) {
    m_loadedBytes = total;
    return true;
  }
  // Near the device's end: as many whole sectors as can be read.
  std::fill(m_buffer.begin(), m_buffer.end(), 0);
  unsigned got = 0;
  while (got <= kWindowSectors && m_pDevice->ReadSector(m_buffer.data() + static_cast<std::size_t>(got) * m_uSectorSize,
                                                        static_cast<long long>(first + got), 1) != 0) {
    ++got;
  }
  if (got < kWindowSectors + 1) {
    std::fill(m_buffer.begin() + static_cast<std::ptrdiff_t>(got) * m_uSectorSize, m_buffer.end(), 0);
  }
  m_loadedBytes = static_cast<std::size_t>(got) * m_uSectorSize;
  return got != 0;
}

const unsigned char* RawFileBuffer::GetRawFileBuffer(unsigned long long offset) {
  if (CNotifyCenter::Instance().isContinue() == 0) return nullptr;
  const auto window = static_cast<long long>(offset / m_u64WindowBytes);
  if (!LoadWindow(window)) return nullptr;
  const std::size_t at = static_cast<std::size_t>(offset % m_u64WindowBytes);
  if (at >= m_loadedBytes) return nullptr;
  return m_buffer.data() + at;
}

std::size_t RawFileBuffer::Available(unsigned long long offset) const {
  if (m_llWindow < 0 || static_cast<unsigned long long>(m_llWindow) != offset / m_u64WindowBytes) return 0;
  const std::size_t at = static_cast<std::size_t>(offset % m_u64WindowBytes);
  return at < m_loadedBytes ? m_loadedBytes - at : 0;
}

bool RawFileBuffer::Read(unsigned long long offset, void* out, std::size_t n) {
  auto* dst = static_cast<unsigned char*>(out);
  while (n > 0) {
    const unsigned char* p = GetRawFileBuffer(offset);
    if (p == nullptr) return false;
    const std::size_t take = std::min(n, Available(offset));
    if (take == 0) return false;
    std::memcpy(dst, p, take);
    dst += take;
    offset += take;
    n -= take;
  }
  return true;
}
