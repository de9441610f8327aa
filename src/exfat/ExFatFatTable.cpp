#include "exfat/ExFatFatTable.h"

#include <algorithm>

#include "core/device/StorageDevice.h"
#include "core/util/ByteView.h"

void CFatTable::ClearFatData() {
  m_windows.clear();
  m_device = nullptr;
  m_fatStart = 0;
  m_fatSectors = 0;
  m_windowSectors = 0;
  m_sectorSize = 0;
}

bool CFatTable::LoadWindow(std::int64_t windowStart, std::vector<std::uint8_t>& buffer) {
  const std::int64_t fatEnd = m_fatStart + m_fatSectors;
  const std::int64_t count = std::min<std::int64_t>(m_windowSectors, fatEnd - windowStart);
  if (count <= 0) return false;
  buffer.assign(kWindowBytes, 0);
  return m_device->ReadSector(buffer.data(), windowStart, count) != 0;
}

void CFatTable::CreateFatTable(IStorageDevice* device, std::int64_t fatStartSector, std::uint32_t fatSectors,
                               std::uint32_t /*clusterCount*/) {
  ClearFatData();
  if (device == nullptr || fatSectors == 0 || fatStartSector < 0) return;
  const int sectorSize = device->GetSectorSize();
  if (sectorSize <= 0 || static_cast<std::uint32_t>(sectorSize) > kWindowBytes) return;
  if (fatStartSector + static_cast<std::int64_t>(fatSectors) >= device->GetTotalSectors()) return;
  m_device = device;
  m_fatStart = fatStartSector;
  m_fatSectors = fatSectors;
  m_sectorSize = static_cast<std::uint32_t>(sectorSize);
  m_windowSectors = kWindowBytes / m_sectorSize;
  std::vector<std::uint8_t> buffer;
  if (!LoadWindow(m_fatStart, buffer)) {
    ClearFatData();
    return;
  }
  m_windows.emplace(m_fatStart, std::move(buffer));
}

std::uint32_t CFatTable::GetNextCluster(std::uint32_t cluster) {
  if (m_windows.empty() || m_sectorSize == 0) return 0xFFFFFFFF;
  const std::uint64_t byteOffset = std::uint64_t{cluster} * 4;
  const std::uint64_t sectorInFat = byteOffset / m_sectorSize;
  if (sectorInFat >= m_fatSectors) return 0xFFFFFFFF;
  const std::int64_t windowStart = m_fatStart + static_cast<std::int64_t>(sectorInFat - sectorInFat % m_windowSectors);
  const std::size_t at = static_cast<std::size_t>(byteOffset - std::uint64_t(windowStart - m_fatStart) * m_sectorSize);

  auto it = m_windows.find(windowStart);
  if (it == m_windows.end()) {
    std::vector<std::uint8_t> buffer;
    if (m_windows.size() >= kMaxWindows) {
      buffer = std::move(m_windows.begin()->second);
      m_windows.erase(m_windows.begin());
    }
    if (!LoadWindow(windowStart, buffer)) return 0xFFFFFFFF;
    it = m_windows.emplace(windowStart, std::move(buffer)).first;
  }
  const ByteView window(it->second.data(), it->second.size());
  return window.Has(at, 4) ? window.U32Le(at) : 0xFFFFFFFF;
}
