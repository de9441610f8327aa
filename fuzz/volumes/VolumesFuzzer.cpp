// Asks every registered recogniser which file system starts at sector 0 of
// the input (and at the sector the first byte names), as device enumeration
// does for each partition.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/volume/VolumeAnalyzeController.h"
#include "engines/RegisterAllEngines.h"
#include "support/MemoryDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = [] {
    RegisterAllEngines();
    return true;
  }();
  (void)registered;
  if (size < 1) return 0;
  testsupport::MemoryDevice device(std::vector<std::uint8_t>(data + 1, data + size), 512, kDeviceDisk);
  (void)RecognizeVolume(&device, 0);
  if (data[0] != 0) (void)RecognizeVolume(&device, data[0]);
  return 0;
}
