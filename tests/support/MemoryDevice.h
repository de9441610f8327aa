#pragma once
// Test devices: sectors held in memory or read from an image file, with
// chosen sectors that fail to read.

#include <set>
#include <string>
#include <vector>

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
  long long GetTotalSectors() override { return static_cast<long long>(m_bytes.size()) / m_sectorSize; }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return nullptr; }
  void SetPrivateData(IStorageDeviceData*) override {}
  int GetType() override { return m_kind; }
  RESULT GetLastError() override { return m_lastError; }

  void FailSector(long long sector) { m_failing.insert(sector); }
  std::vector<std::uint8_t>& Bytes() { return m_bytes; }
  // Every (start, count) asked of ReadSector.
  const std::vector<std::pair<long long, long long>>& Reads() const { return m_reads; }

 private:
  std::vector<std::uint8_t> m_bytes;
  int m_sectorSize;
  int m_kind;
  std::set<long long> m_failing;
  std::vector<std::pair<long long, long long>> m_reads;
  RESULT m_lastError = 0;
};

}  // namespace testsupport
