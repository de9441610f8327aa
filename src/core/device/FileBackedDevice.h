#pragma once
// Behaviour shared by the devices that read a file descriptor: disks,
// volumes and the image kinds.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "core/device/SweepRead.h"
#include "platform/RawDevice.h"

class CFileBackedDevice : public IStorageDevice, public ISweepReadable {
 public:
  // IOCtl code that flushes the device before a scan (FlushBuffers); it
  // reaches a file-backed device through wrappers that pass IOCtl on.
  static constexpr unsigned long long kIoctlFlushBeforeScan = 0x51464C53;  // "QFLS"

  ~CFileBackedDevice() override;

  int Close() override;
  // Reads within [0, total sectors) only; a read that would pass the end of
  // the device or of the underlying file fails with code 5.
  int ReadSector(void* buffer, long long startSector, long long count) override;
  int ReadSweepSectors(void* buffer, long long startSector, long long count) override;
  int GetSectorSize() override { return static_cast<int>(m_sectorSize); }
  long long GetTotalSectors() override { return m_totalSectors; }
  int IOCtl(unsigned long long code, void* arg) override;
  IStorageDeviceData* GetPrivateData() override { return m_data.get(); }
  void SetPrivateData(IStorageDeviceData* data) override;
  RESULT GetLastError() override { return m_lastError; }

  const std::string& Path() const { return m_path; }
  bool IsOpen() const { return m_file.IsOpen(); }
  // Syncs and drops the block device's cached pages before a scan.
  void FlushBuffers() const { m_file.FlushBuffers(); }
  // Pause between two failed ReOpen tries (1 second unless changed).
  void SetReOpenDelay(std::chrono::milliseconds delay) { m_reopenDelay = delay; }

 protected:
  explicit CFileBackedDevice(const char* path);

  // Disk and volume open: read-only, geometry from the device. A refused
  // permission keeps the device but clears the permitted flag.
  int OpenSystemDevice(const char* path);
  // Image open: the stored path, 512-byte sectors until the record arrives.
  int OpenImageFile();
  // Closes and opens the stored path again, up to 3 tries.
  int ReOpenStoredPath();
  // Takes the geometry of the new private data's record, when it has one.
  virtual void ApplyRecord() = 0;
  // Called once per failed read request.
  virtual void OnReadFailed() {}

  RESULT m_lastError = 0;
  platform::RawDevice m_file;
  std::string m_path;
  std::uint32_t m_sectorSize = 512;
  long long m_totalSectors = 0;
  long long m_dataOffset = 0;  // byte offset of sector 0 in the file
  long long m_fileBytes = -1;  // size of the opened file or device; -1 unknown
  std::unique_ptr<IStorageDeviceData> m_data;
  int m_permitted = 1;
  std::chrono::milliseconds m_reopenDelay{1000};

 private:
  int Read(void* buffer, long long startSector, long long count, bool sweep);
};
