#pragma once
// The camera data read from an EXIF block (1,280 bytes, zeroed by the caller).

#include <cstdint>

struct tag_ExifInfo {
  char CameraMake[32];
  char CameraModel[40];
  char DateTime[20];
  char DateTimeDigitized[20];
  char Version[5];
  char Comments[200];
  std::int32_t Width;
  std::int32_t Height;
  std::int32_t Orientation;
  std::int32_t Flash;
  std::int32_t MeteringMode;
  std::int32_t WhiteBalance;
  std::int32_t ISOequivalent;
  std::uint32_t ThumbnailOffset;
  std::uint32_t ThumbnailSize;
  float ExposureTime;
  float ApertureFNumber;
  float FocalLength;
  float XResolution;
  float YResolution;
  float FocalplaneXRes;
  float FocalplaneUnits;
  float CCDWidth;
  std::uint8_t Reserved[1280 - 321 - 68];
};
static_assert(sizeof(tag_ExifInfo) == 1280);
