// Opens the input as an Apple disk image and reads sectors through its block
// tables; also decodes the input as one block table and as property-list
// text on their own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzMemFile.h"
#include "bridge/AppleDiskImage.h"

namespace {

void ReadSome(CUdifDevice& device) {
  const long long total = device.GetTotalSectors();
  if (total <= 0) return;
  std::vector<std::uint8_t> buffer(16 * 512);
  const long long count = total < 16 ? total : 16;
  (void)device.ReadSector(buffer.data(), 0, count);
  (void)device.ReadSector(buffer.data(), total / 2, 1);
  (void)device.ReadSector(buffer.data(), total - count, count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::vector<UdifRun> runs;
    std::string error;
    (void)ParseMishTable(data, size, 1ull << 40, runs, error, 0);
    (void)XmlNestingWithin(std::string_view(reinterpret_cast<const char*>(data), size), 64);
  }
  fuzzsupport::MemFile file(data, size);
  if (!file.Ok()) return 0;
  std::string error;
  (void)LooksLikeAppleDiskImage(file.Path());
  if (std::unique_ptr<CUdifDevice> device = CUdifDevice::OpenImage(file.Path(), error)) ReadSome(*device);
  return 0;
}
