#include "fat/FatVolumeAnalyze.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "fat/FatBootSector.h"
#include "fat/FatVolumeLabel.h"

namespace {

constexpr long long kBootSectorsRead = 4;
constexpr int kMaxSectorSize = 64 * 1024;

}  // namespace

void CFatVolumeAnalyze::init(IStorageDevice* device, unsigned long long startSector) {
  if (device == nullptr) return;
  const int sectorSize = device->GetSectorSize();
  if (sectorSize <= 0 || sectorSize > kMaxSectorSize || startSector > static_cast<unsigned long long>(LLONG_MAX))
    return;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(sectorSize) * kBootSectorsRead, 0);
  if (device->ReadSector(buffer.data(), static_cast<long long>(startSector), kBootSectorsRead) == 0) return;

  const CTempFATDBR dbr(ByteView(buffer.data(), static_cast<std::size_t>(sectorSize)),
                        static_cast<std::uint32_t>(sectorSize));
  if (!dbr.IsValidDBR()) return;
  m_type = dbr.GetFileSystemType();
  m_totalSectors = dbr.GetTotalSectors();
  std::string label;
  if (CFATVolume(device).GetPartitionLabel(static_cast<long long>(startSector), dbr, label)) {
    std::memcpy(m_label.data(), label.data(), std::min(label.size(), m_label.size() - 1));
  }
}

void CFatVolumeAnalyze::GetLabel(char* buffer, int length) {
  if (buffer == nullptr || length <= 0) return;
  std::memcpy(buffer, m_label.data(), std::min<std::size_t>(static_cast<std::size_t>(length), m_label.size()));
}

IVolumeAnalyze* CreateFatVolumeAnalyze(IStorageDevice* device, unsigned long long startSector) {
  auto* analyze = new CFatVolumeAnalyze();
  analyze->init(device, startSector);
  return analyze;
}
