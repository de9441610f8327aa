#pragma once
// The TIFF tags and field types that the TIFF-based readers (TIFF, camera raw
// formats) act on.

namespace tifftag {

enum Tag : unsigned {
  kPanasonicJpgFromRaw = 46,  // 0x002E: an embedded JPEG (RW2)
  kImageWidth = 256,
  kImageLength = 257,
  kMake = 271,
  kModel = 272,
  kStripOffsets = 273,
  kStripByteCounts = 279,
  kDateTime = 306,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kSubIfds = 330,
  kJpegOffset = 513,      // JPEGInterchangeFormat
  kJpegLength = 514,      // JPEGInterchangeFormatLength
  kVendorBlock640 = 640,  // 0x0280: a vendor block that the file holds whole
  kIptcNaa = 33723,
  kExifIfd = 34665,
  kDateTimeOriginal = 36867,
  kMakerNote = 37500,
  kImageSourceData = 37724,
  kDngVersion = 50706,
  kDngPrivateData = 50740,
};

// Field types and their element sizes.
enum FieldType : unsigned {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
};

// Bytes of one element of a field type; 0 for a type this reader does not know.
constexpr unsigned ElementSize(unsigned type) {
  switch (type) {
    case tifftag::kByte:
    case tifftag::kAscii:
    case tifftag::kSByte:
    case tifftag::kUndefined:
      return 1;
    case tifftag::kShort:
    case tifftag::kSShort:
      return 2;
    case tifftag::kLong:
    case tifftag::kSLong:
    case tifftag::kFloat:
      return 4;
    case tifftag::kRational:
    case tifftag::kSRational:
    case tifftag::kDouble:
      return 8;
    default:
      return 0;
  }
}

}  // namespace tifftag
