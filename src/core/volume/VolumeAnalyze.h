#pragma once
// One file-system recogniser: which file system starts at a sector, its size
// and its label.

#include "core/model/SearcherTypes.h"

class IVolumeAnalyze {
 public:
  virtual ~IVolumeAnalyze() = default;
  // A file-system code; 10 = not this file system.
  virtual int GetFileSystemType() = 0;
  virtual long long GetTotalSector() = 0;
  virtual void GetLabel(char* buffer, int length) = 0;
};
