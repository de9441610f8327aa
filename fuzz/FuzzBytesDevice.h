#pragma once
// The fuzzers' device: the input bytes as 512-byte sectors (a partial last
// sector is not part of it). It owns the record it is given.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"

namespace fuzzsupport {

class BytesDevice : public IStorageDevice {
 public:
  explicit BytesDevice(std::vector<std::uint8_t> bytes, int kind = kDeviceDisk)
      : m_bytes(std::move(bytes)), m_kind(kind) {}
  int Open(char*) override { return 1; }
  int Close() override { return 1; }
  int ReadSector(void* buffer, long long start, long long count) override {
    const long long total = GetTotalSectors();
    if (buffer == nullptr || start < 0 || count <= 0 || start > total || count > total - start) return 0;
    std::memcpy(buffer, m_bytes.data() + start * 512, static_cast<std::size_t>(count) * 512);
    return 1;
  }
  int GetSectorSize() override { return 512; }
  long long GetTotalSectors() override { return static_cast<long long>(m_bytes.size() / 512); }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return m_private.get(); }
  void SetPrivateData(IStorageDeviceData* data) override { m_private.reset(data); }
  int GetType() override { return m_kind; }
  RESULT GetLastError() override { return 0; }

 private:
  std::vector<std::uint8_t> m_bytes;
  int m_kind;
  std::unique_ptr<IStorageDeviceData> m_private;
};

}  // namespace fuzzsupport
