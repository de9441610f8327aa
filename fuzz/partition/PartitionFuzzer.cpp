// Reads the partition table of a disk whose sectors are the input; the
// first byte picks the sector size, so 4 KiB disks are reached too.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "FuzzBytesDevice.h"
#include "core/device/DeviceData.h"
#include "core/partition/PartitionTableAnalyze.h"

namespace {

// The input's sectors at a chosen sector size.
class SizedDisk : public fuzzsupport::BytesDevice {
 public:
  SizedDisk(std::vector<std::uint8_t> bytes, int sectorSize)
      : BytesDevice(std::move(bytes), kDeviceDisk), m_size(sectorSize), m_total(TotalBytes() / sectorSize) {}
  int ReadSector(void* buffer, long long start, long long count) override {
    if (start < 0 || count <= 0 || start > m_total || count > m_total - start) return 0;
    return BytesDevice::ReadSector(buffer, start * (m_size / 512), count * (m_size / 512));
  }
  int GetSectorSize() override { return m_size; }
  long long GetTotalSectors() override { return m_total; }

 private:
  long long TotalBytes() { return BytesDevice::GetTotalSectors() * 512; }
  int m_size;
  long long m_total;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int sectorSize = (data[0] & 1) != 0 ? 4096 : 512;
  SizedDisk disk(std::vector<std::uint8_t>(data + 1, data + size), sectorSize);
  auto* record = new CCollectDiskDeviceInfoStruct();
  record->sectorSize = sectorSize;
  record->totalSectors = disk.GetTotalSectors();
  disk.SetPrivateData(CreateDiskDeviceData(record));
  std::unique_ptr<IPartitionTableAnalyze> analyze(CreatePartitionTableAnalyze());
  std::list<PartitionEntry> entries;
  (void)analyze->AnalyzePartitionTable(&disk, entries);
  return 0;
}
