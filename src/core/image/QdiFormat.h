#pragma once
// Layout of a QDI image file: "qdi\0", the u32 length of the information
// block (1192), the block, zero padding up to the data offset, the sectors.

#include <cstdint>

#include "core/device/DeviceData.h"

inline constexpr std::uint8_t kQdiMagic[4] = {'q', 'd', 'i', 0};
inline constexpr std::uint64_t kQdiHeaderSize = 8 + kQdiInfoSize;  // 1200

// File offset of sector 0 for a sector size: (1200 / ss + 1) * ss.
constexpr std::uint64_t QdiDataOffsetFor(std::uint64_t sectorSize) {
  return (kQdiHeaderSize / sectorSize + 1) * sectorSize;
}

// Sector size in {512, 1024, 2048, 4096}; data offset at least 1200 and a
// multiple of the sector size; the sectors end inside the file.
bool IsValidQdiGeometry(const CQDIDeviceInfoStruct& info, std::uint64_t fileBytes);

// Reads and checks the information block of the image at `path`; the name is
// cut to 127 bytes and the path field becomes `path`. 0 valid, -1 not.
int QvFillQdiFileInfo(CQDIDeviceInfoStruct* info, const char* path);
