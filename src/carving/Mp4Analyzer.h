#pragma once
// MP4, M4A, M4V and TREC finds of the QuickTime box walk; a find the walk
// cannot finish goes to FileMP4Analyser.

#include <memory>

#include "carving/FileMP4Analyser.h"
#include "carving/MovAnalyzer.h"

namespace BruteForce {

class Mp4Analyzer : public MovAnalyzer {
 public:
  Mp4Analyzer();
  ~Mp4Analyzer() override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new MovRawFileInfo(kTypeMp4); }
  IRawFileAnalyser* Reader() const override { return m_pReader.get(); }

 private:
  std::unique_ptr<FileMP4Analyser> m_pReader;
};

}  // namespace BruteForce
