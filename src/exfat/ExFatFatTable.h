#pragma once
// A read cache over one exFAT FAT: 1 MiB windows read on demand, at most 9
// held; the window with the lowest first sector is dropped first.

#include <cstdint>
#include <map>
#include <vector>

class IStorageDevice;

class CFatTable {
 public:
  static constexpr std::uint32_t kWindowBytes = 0x100000;
  static constexpr std::size_t kMaxWindows = 9;

  CFatTable() = default;
  CFatTable(const CFatTable&) = delete;
  CFatTable& operator=(const CFatTable&) = delete;

  // Sets the table up and loads its first window; the table stays empty when
  // the device is missing, the FAT is empty or does not end before the
  // device's last sector, or the read fails.
  void CreateFatTable(IStorageDevice* device, std::int64_t fatStartSector, std::uint32_t fatSectors,
                      std::uint32_t clusterCount);
  // The FAT entry of `cluster`; 0xFFFFFFFF when the table is empty, the entry
  // lies past the FAT, or its window cannot be read.
  std::uint32_t GetNextCluster(std::uint32_t cluster);
  bool IsValid() const { return !m_windows.empty(); }
  void ClearFatData();
  std::size_t WindowCount() const { return m_windows.size(); }

 private:
  bool LoadWindow(std::int64_t windowStart, std::vector<std::uint8_t>& buffer);

  IStorageDevice* m_device = nullptr;
  std::int64_t m_fatStart = 0;
  std::uint32_t m_fatSectors = 0;
  std::uint32_t m_windowSectors = 0;
  std::uint32_t m_sectorSize = 0;
  std::map<std::int64_t, std::vector<std::uint8_t>> m_windows;
};
