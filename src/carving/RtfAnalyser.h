#pragma once
// RTF carving while the sweep passes: the text ends with its outermost group
// (or, where that cannot be followed, at its first zero tail).

#include <memory>

#include "carving/FileRTFAnalyser.h"
#include "carving/StreamMember.h"

namespace RawSpeed {

class RTFAnalyser : public IRawFileAnalyser {
 public:
  RTFAnalyser() : IRawFileAnalyser(kRawTypeRtf), m_pReader(std::make_unique<FileRTFAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override;

 private:
  std::unique_ptr<FileRTFAnalyser> m_pReader;
};

}  // namespace RawSpeed
