#pragma once
// Sizes a candidate by the first end code (a closing tag) found in its
// sectors, read through a device.

#include "carving/RawFileInfo.h"

class IStorageDevice;

struct SearchSignCodeInfo {
  unsigned char code[64] = {};
  unsigned int length = 0;
  unsigned long long limit = 0;  // bytes; 0 = 0xD000000
};

class SearchSignFileAnalyser {
 public:
  // Writes the offset reached into the candidate's size; always 1.
  static int SearchEndSignCode(CRawFileInfo& info, IStorageDevice* device, SearchSignCodeInfo* code, int caseSensitive);
};
