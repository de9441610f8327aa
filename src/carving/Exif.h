#pragma once
// Reads camera make, model, dates and thumbnail from an EXIF block. The
// module's state (record, byte order, last error) is kept per thread.

#include "carving/ExifInfo.h"

// Directories followed at most, sub-directories included.
constexpr int kExifMaxDirectories = 16;

void SetExitInfo(tag_ExifInfo* info);
void GetExifInfo(tag_ExifInfo* info);
const char* EXIF_GetErrorString();

// 1 when the block ("Exif", two zero bytes, a TIFF header) was read into the
// record set by SetExitInfo; 0 otherwise, with the error text set. `base`
// and `baseOffset` are not used for bounds: only the block is read.
int EXIF_process_EXIF(const unsigned char* base, unsigned int baseOffset, const unsigned char* exifBlock,
                      unsigned int length);
// The value in the block's byte order as a number, for formats 1 ... 12.
double EXIF_ConvertAnyFormat(const void* value, int format);
unsigned EXIF_Get32s(const void* value);
