// Loads the input as a saved scan-result file, and hands its bytes to each
// frame parser directly (the container's checks would stop most inputs
// before them).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzMemFile.h"
#include "bridge/ScanResultFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace scan_result_file;
  {
    fuzzsupport::MemFile file(data, size);
    if (file.Ok()) {
      SavedScan scan;
      std::string error;
      (void)ReadScanResult(file.Path(), scan, error);
    }
  }
  if (size < 1) return 0;
  const std::vector<std::uint8_t> bytes(data + 1, data + size);
  std::string error;
  switch (data[0] % 3) {
    case 0: {
      SavedScan scan;
      (void)ParseScanKind(bytes, scan, error);
      break;
    }
    case 1: {
      SavedDevice device;
      (void)ParseDevice(bytes, device, error);
      break;
    }
    default: {
      std::vector<SavedTree> trees;
      (void)ParseTrees(bytes, trees, error);
      break;
    }
  }
  return 0;
}
