#pragma once
// Camera make, model and date from a JPEG's EXIF APP1 block.

#include <string>

#include "core/util/ByteView.h"

struct JpegCameraData {
  std::string make;
  std::string model;
  std::string dateTime;
  unsigned thumbnailOffset = 0;  // from the TIFF header (block + 6)
  unsigned thumbnailLength = 0;
};

// Reads the EXIF block ("Exif\0\0" + TIFF) of `length` bytes at `offset` of
// the view, cut to the bytes the view holds; false when it is not one.
bool ReadJpegCamera(const ByteView& view, std::size_t offset, std::size_t length, JpegCameraData& out);
