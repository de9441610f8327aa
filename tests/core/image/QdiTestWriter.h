#pragma once
// Writes QDI image files for tests: header, information block, zero padding
// up to the data offset, the sectors.

#include <cstdint>
#include <string>
#include <vector>

#include "core/device/DeviceData.h"

namespace imagetest {

struct QdiImage {
  std::uint32_t sectorSize = 512;
  std::vector<std::uint8_t> sectors;  // whole sectors
  std::string name = "Test Disk";
  std::int64_t creationTime = 1700000000;
};

// The information block a writer stores for `image` at `path`.
CQDIDeviceInfoStruct QdiInfoFor(const QdiImage& image, const std::string& path);

// Where WriteQdiFile puts the sectors: the data offset, at least after the
// header and at most 1 MiB into the file.
std::uint64_t WrittenDataOffset(const CQDIDeviceInfoStruct& info);

// Writes `info` as the block (no checks), then the sectors at info.dataOffset.
// `magic` and `lengthField` replace the header's when given.
void WriteQdiFile(const std::string& path, const CQDIDeviceInfoStruct& info, const std::vector<std::uint8_t>& sectors,
                  const char* magic = "qdi", std::uint32_t lengthField = static_cast<std::uint32_t>(kQdiInfoSize));

// A valid image in one step; returns its block.
CQDIDeviceInfoStruct WriteQdi(const std::string& path, const QdiImage& image);

}  // namespace imagetest
