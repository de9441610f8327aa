#pragma once
// Unix mailbox ("From "): read back until a closing pattern in a piece
// that ends in zeros.

#include "carving/RawFileAnalyser.h"

class FileMboxAnalyser : public IRawFileAnalyser {
 public:
  FileMboxAnalyser() : IRawFileAnalyser(kRawTypeMbox) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
