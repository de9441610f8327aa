#pragma once
// A memory disk that carries a disk record, and may report more sectors than
// it holds (the tail reads as zeros, or fails).

#include <fstream>
#include <memory>
#include <string>

#include "core/device/DeviceData.h"
#include "support/MemoryDevice.h"

namespace parttest {

class RecordedDisk : public testsupport::MemoryDevice {
 public:
  enum class Tail { kZeros, kFails };

  explicit RecordedDisk(testsupport::MemoryDevice base, long long reportedSectors = -1, Tail tail = Tail::kZeros)
      : testsupport::MemoryDevice(std::move(base)),
        m_heldSectors(static_cast<long long>(Bytes().size()) / GetSectorSize()),
        m_reported(reportedSectors < 0 ? m_heldSectors : reportedSectors),
        m_tail(tail) {
    SetPrivateData(CreateDiskDeviceData(new CCollectDiskDeviceInfoStruct()));
  }

  RecordedDisk(std::vector<std::uint8_t> bytes, int sectorSize, long long reportedSectors = -1)
      : RecordedDisk(testsupport::MemoryDevice(std::move(bytes), sectorSize), reportedSectors) {}

  long long GetTotalSectors() override { return m_reported; }
  CCollectDiskDeviceInfoStruct* Record() { return GetDiskInfo(this); }
  void DropRecord() { SetPrivateData(nullptr); }

  int ReadSector(void* buffer, long long start, long long count) override {
    if (start >= 0 && count > 0 && start + count <= m_heldSectors)
      return MemoryDevice::ReadSector(buffer, start, count);
    if (m_tail == Tail::kFails || buffer == nullptr || start < 0 || count <= 0 || start + count > m_reported) {
      m_error = result::Make(result::kModuleStorageDevice, 0, kDevOpenOrReadFailed);
      return 0;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::fill(out, out + count * GetSectorSize(), 0);
    const long long held = std::max(0LL, m_heldSectors - start);
    if (held > 0) return MemoryDevice::ReadSector(buffer, start, held);
    return 1;
  }
  RESULT GetLastError() override {
    const RESULT own = m_error;
    m_error = 0;
    return own != 0 ? own : MemoryDevice::GetLastError();
  }

 private:
  long long m_heldSectors;
  long long m_reported;
  Tail m_tail;
  RESULT m_error = 0;
};

// An image file as a memory device, read in one go.
inline testsupport::MemoryDevice LoadImage(const std::string& path, int sectorSize = 512) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return testsupport::MemoryDevice(std::move(bytes), sectorSize);
}

}  // namespace parttest
