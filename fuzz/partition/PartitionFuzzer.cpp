// Reads the partition table of a disk whose sectors are the input; the
// first byte picks the sector size, so 4 KiB disks are reached too.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/partition/PartitionTableAnalyze.h"
#include "support/MemoryDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int sectorSize = (data[0] & 1) != 0 ? 4096 : 512;
  testsupport::MemoryDevice disk(std::vector<std::uint8_t>(data + 1, data + size), sectorSize, kDeviceDisk);
  auto* record = new CCollectDiskDeviceInfoStruct();
  record->sectorSize = sectorSize;
  record->totalSectors = disk.GetTotalSectors();
  disk.SetPrivateData(CreateDiskDeviceData(record));
  std::unique_ptr<IPartitionTableAnalyze> analyze(CreatePartitionTableAnalyze());
  std::list<PartitionEntry> entries;
  (void)analyze->AnalyzePartitionTable(&disk, entries);
  return 0;
}
