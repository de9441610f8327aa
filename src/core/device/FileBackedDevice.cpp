#include "core/device/FileBackedDevice.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "core/device/AsyncReader.h"
#include "core/device/DeviceGeometry.h"
#include "core/device/DeviceResult.h"

CFileBackedDevice::CFileBackedDevice(const char* path) : m_path(path != nullptr ? path : "") {}

CFileBackedDevice::~CFileBackedDevice() = default;

int CFileBackedDevice::OpenSystemDevice(const char* path) {
  m_lastError = 0;
  if (path != nullptr) m_path = path;
  const int error = m_file.OpenReadOnly(m_path);
  if (error != 0) {
    m_lastError = QV_DEVICE_RESULT(kDevOpenOrReadFailed);
    std::printf("open failed:%d,%s\n", error, std::strerror(error));
    if (platform::IsPermissionError(error)) m_permitted = 0;
    return 0;
  }
  m_permitted = 1;
  const auto sectorSize = m_file.SectorSize();
  m_sectorSize = sectorSize && devgeom::IsUsableSectorSize(*sectorSize) ? *sectorSize : 512;
  const auto bytes = m_file.SizeBytes();
  m_fileBytes = bytes ? static_cast<long long>(*bytes) : -1;
  m_totalSectors = bytes ? static_cast<long long>(*bytes / m_sectorSize) : 0;
  return 1;
}

int CFileBackedDevice::OpenImageFile() {
  m_lastError = 0;
  const int error = m_file.OpenReadOnly(m_path);
  if (error != 0) {
    m_lastError = QV_DEVICE_RESULT(kDevOpenOrReadFailed);
    if (error != ENOENT) std::printf("open failed:%d\n", error);
    return 0;
  }
  const auto bytes = m_file.SizeBytes();
  m_fileBytes = bytes ? static_cast<long long>(*bytes) : -1;
  m_sectorSize = 512;
  return 1;
}

int CFileBackedDevice::ReOpenStoredPath() {
  m_file.Close();
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (m_file.OpenReadOnly(m_path) == 0) {
      m_lastError = 0;
      const auto bytes = m_file.SizeBytes();
      m_fileBytes = bytes ? static_cast<long long>(*bytes) : -1;
      return 1;
    }
    std::this_thread::sleep_for(m_reopenDelay);
  }
  m_lastError = QV_DEVICE_RESULT(kDevOpenOrReadFailed);
  return 0;
}

int CFileBackedDevice::Close() {
  m_lastError = 0;
  if (!m_file.IsOpen()) return 0;
  m_file.Close();
  return 1;
}

int CFileBackedDevice::ReadSector(void* buffer, long long startSector, long long count) {
  return Read(buffer, startSector, count, false);
}

int CFileBackedDevice::ReadSweepSectors(void* buffer, long long startSector, long long count) {
  return Read(buffer, startSector, count, true);
}

int CFileBackedDevice::Read(void* buffer, long long startSector, long long count, bool sweep) {
  m_lastError = 0;
  if (buffer == nullptr || startSector < 0 || count <= 0 || startSector >= m_totalSectors ||
      count > m_totalSectors - startSector) {
    m_lastError = QV_DEVICE_RESULT(kDevBadArgument);
    return 0;
  }
  long long offset = 0;
  long long length = 0;
  long long end = 0;
  if (!devgeom::MulAdd(startSector, m_sectorSize, m_dataOffset, offset) ||
      !devgeom::MulAdd(count, m_sectorSize, 0, length) || !devgeom::MulAdd(1, offset, length, end) ||
      (m_fileBytes >= 0 && end > m_fileBytes)) {
    m_lastError = QV_DEVICE_RESULT(kDevBadArgument);
    return 0;
  }
  if (!m_file.IsOpen()) {
    m_lastError = QV_DEVICE_RESULT(kDevOpenOrReadFailed);
    return 0;
  }
  const int sectorBytes = static_cast<int>(m_sectorSize);
  if ((sweep ? QVReadSweepData(buffer, m_file.Fd(), offset, length, sectorBytes)
             : QVReadAsyncData(buffer, m_file.Fd(), offset, length, sectorBytes)) > 0) {
    return 1;
  }
  m_lastError = QV_DEVICE_RESULT(kDevOpenOrReadFailed);
  OnReadFailed();
  return 0;
}

int CFileBackedDevice::IOCtl(unsigned long long code, void* /*arg*/) {
  if (code == kIoctlFlushBeforeScan) {
    FlushBuffers();
    return 1;
  }
  m_lastError = QV_DEVICE_RESULT(kDevIoctlUnsupported);
  return 0;
}

void CFileBackedDevice::SetPrivateData(IStorageDeviceData* data) {
  m_lastError = 0;
  m_data.reset(data);
  if (m_data) ApplyRecord();
}
