#pragma once
// Minolta raw (\0MRM): header blocks followed by the sensor data.

#include "carving/RawFileAnalyser.h"

class FileMRWAnalyser : public IRawFileAnalyser {
 public:
  FileMRWAnalyser() : IRawFileAnalyser(kRawTypeMrw) {}
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
