#pragma once
// An image file (raw, or of the program's own QDI kind) presented as a whole
// disk, so that the core's partition reader and virtual volumes work on it
// as on a real disk.

#include <memory>
#include <string>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "core/device/SweepRead.h"
#include "core/model/ResultCode.h"

class CImageDiskDevice final : public IStorageDevice, public ISweepReadable {
 public:
  // Takes the opened image device over.
  CImageDiskDevice(IStorageDevice* image, std::string path, bool isQdi);
  ~CImageDiskDevice() override;

  int Open(char*) override { return 1; }
  int Close() override { return 1; }
  int ReadSector(void* buffer, long long startSector, long long count) override;
  int ReadSweepSectors(void* buffer, long long startSector, long long count) override {
    return ReadSweep(m_image.get(), buffer, startSector, count);
  }
  int GetSectorSize() override { return m_image->GetSectorSize(); }
  long long GetTotalSectors() override { return m_image->GetTotalSectors(); }
  int IOCtl(unsigned long long code, void* arg) override { return m_image->IOCtl(code, arg); }
  IStorageDeviceData* GetPrivateData() override { return m_data.get(); }
  void SetPrivateData(IStorageDeviceData* data) override { m_data.reset(data); }
  int GetType() override { return kDeviceDisk; }
  RESULT GetLastError() override { return m_image->GetLastError(); }

  const std::string& Path() const { return m_path; }
  bool IsQdi() const { return m_isQdi; }
  IStorageDevice* Image() const { return m_image.get(); }
  // The volumes of its partition table, or one volume over the whole image
  // when it has none (owned).
  const std::vector<IStorageDevice*>& Volumes() const { return m_volumes; }

  // Opens `path` (".qdi" or a QDI header: the QDI reader; else raw) and lists
  // its volumes; null with `error` set when the file cannot be opened.
  static std::unique_ptr<CImageDiskDevice> OpenImage(const std::string& path, std::string& error);

 private:
  void MakeVolumes();

  std::unique_ptr<IStorageDevice> m_image;
  std::string m_path;
  bool m_isQdi;
  std::unique_ptr<IStorageDeviceData> m_data;
  std::vector<IStorageDevice*> m_volumes;
};
