#pragma once
// Sizes an ISO media file through the device by walking its top-level boxes.

#include "carving/RawFileAnalyser.h"

class CRawBoxFileAnalyser {
 public:
  static constexpr int kMaxBoxes = 500;
  // Writes the size reached by the box walk; false when nothing was sized.
  static bool GetFileSize(CRawFileInfo& info, IStorageDevice* device);
};

class FileMP4Analyser : public IRawFileAnalyser {
 public:
  FileMP4Analyser() : IRawFileAnalyser(kRawTypeMp4) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};
