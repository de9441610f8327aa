#pragma once
// File categories of found files and their filter bits
// (`_FILTER_TYPE`).

#include "core/model/SearcherTypes.h"

enum FILE_TYPE_ID : int {
  kFileTypeNone = 0,  // not a category: answer for a filter bit that has none
  kFileTypeDocument = 2,
  kFileTypePicture = 3,
  kFileTypeMusic = 4,
  kFileTypeMovie = 5,
  kFileTypeArchive = 6,
  kFileTypeEmail = 7,
  kFileTypeOther = 8,  // no extension, or an extension in no list
};

// One filter bit (1, 2, 4, 8, 16, 32, 64) to its file-type id:
// 1 -> 2, 2 -> 3, 4 -> 5, 8 -> 4, 16 -> 6, 32 -> 7, 64 -> 8; any other value
// -> kFileTypeNone.
constexpr FILE_TYPE_ID FilterBitToFileTypeId(unsigned bit) {
  switch (bit) {
    case kFilterDocument:
      return kFileTypeDocument;
    case kFilterPicture:
      return kFileTypePicture;
    case kFilterMovie:
      return kFileTypeMovie;
    case kFilterMusic:
      return kFileTypeMusic;
    case kFilterArchive:
      return kFileTypeArchive;
    case kFilterEmail:
      return kFileTypeEmail;
    case kFilterOther:
      return kFileTypeOther;
    default:
      return kFileTypeNone;
  }
}

// A file-type id to its filter bit; 64 (other) for id 8 and for any value
// that is not a category.
constexpr unsigned FileTypeIdToFilterBit(int id) {
  switch (id) {
    case kFileTypeDocument:
      return kFilterDocument;
    case kFileTypePicture:
      return kFilterPicture;
    case kFileTypeMovie:
      return kFilterMovie;
    case kFileTypeMusic:
      return kFilterMusic;
    case kFileTypeArchive:
      return kFilterArchive;
    case kFileTypeEmail:
      return kFilterEmail;
    default:
      return kFilterOther;
  }
}
