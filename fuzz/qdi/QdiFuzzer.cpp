// Opens the input as a QDI image file, as the device list and a saved scan
// would, and reads its first and last sectors.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzMemFile.h"
#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "core/image/QdiDevice.h"
#include "core/image/QdiFormat.h"

namespace {

void ReadSome(IStorageDevice& device) {
  const long long total = device.GetTotalSectors();
  const int sectorSize = device.GetSectorSize();
  if (total <= 0 || sectorSize <= 0 || sectorSize > 65536) return;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(sectorSize) * 8);
  const long long count = total < 8 ? total : 8;
  (void)device.ReadSector(buffer.data(), 0, count);
  (void)device.ReadSector(buffer.data(), total - count, count);
  (void)device.ReadSector(buffer.data(), total - 1, 2);  // one past the end
}

struct Releaser {
  void operator()(IStorageDevice* d) const {
    d->Close();
    delete d;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzsupport::MemFile file(data, size);
  if (!file.Ok()) return 0;
  const std::string path = file.Path();
  CQDIDeviceInfoStruct info;
  (void)QvFillQdiFileInfo(&info, path.c_str());
  if (std::unique_ptr<IStorageDevice, Releaser> device{CreateQdiDevice(path.c_str())}) ReadSome(*device);
  // The block as a saved scan stores it, pointing at this file.
  if (size >= 8 + kQdiInfoSize) {
    CQDIDeviceInfoStruct saved;
    if (ParseQdiInfo(data + 8, kQdiInfoSize, saved)) {
      saved.path = path;
      const auto block = SerializeQdiInfo(saved);
      std::unique_ptr<IStorageDevice, Releaser> again{
          CreateQdiDeviceByQdiInfo(block.data(), static_cast<int>(block.size()), path.c_str())};
      if (again) ReadSome(*again);
    }
  }
  return 0;
}
