#pragma once
// The tests' and fuzz harnesses' device: sectors held in memory or read from
// an image file, optionally followed by sectors of zeros, with chosen
// sectors that fail to read.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"

namespace testsupport {

class MemoryDevice : public IStorageDevice {
 public:
  MemoryDevice(std::vector<std::uint8_t> bytes, int sectorSize = 512, int kind = kDeviceDisk);
  // Reads the whole file into memory; an empty device when it cannot be read.
  static MemoryDevice FromFile(const std::string& path, int sectorSize = 512);

  int Open(char*) override { return 1; }
  int Close() override { return 1; }
  // Fails (returns 0, zero-fills the failed sectors) when a failing sector is
  // inside the request; reads past the end fail.
  int ReadSector(void* buffer, long long startSector, long long count) override;
  int GetSectorSize() override { return m_sectorSize; }
  long long GetTotalSectors() override { return m_totalSectors >= 0 ? m_totalSectors : HeldSectors(); }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return m_private.get(); }
  // The device owns its record, as every device does.
  void SetPrivateData(IStorageDeviceData* data) override { m_private.reset(data); }
  int GetType() override { return m_kind; }
  RESULT GetLastError() override { return m_lastError; }

  // The device's length: sectors past the bytes held read as zeros (a
  // partial last sector of the bytes is not part of the device).
  void SetTotalSectors(long long sectors) { m_totalSectors = sectors; }
  void FailSector(long long sector) { m_failing.insert(sector); }
  std::vector<std::uint8_t>& Bytes() { return m_bytes; }
  // Every (start, count) asked of ReadSector.
  const std::vector<std::pair<long long, long long>>& Reads() const { return m_reads; }

 private:
  long long HeldSectors() const { return static_cast<long long>(m_bytes.size()) / m_sectorSize; }

  std::vector<std::uint8_t> m_bytes;
  int m_sectorSize;
  int m_kind;
  long long m_totalSectors = -1;  // the bytes held, when not set
  std::unique_ptr<IStorageDeviceData> m_private;
  std::set<long long> m_failing;
  std::vector<std::pair<long long, long long>> m_reads;
  RESULT m_lastError = 0;
};

}  // namespace testsupport
