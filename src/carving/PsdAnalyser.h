#pragma once
// PSD carving while the sweep passes: the sections, then the image data.

#include <memory>

#include "carving/FilePSDAnalyser.h"
#include "carving/StreamMember.h"

namespace RawSpeed {

class PSDAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 200000000;

  class PSDRawFileInfo : public CStreamRecord {
   public:
    explicit PSDRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(54, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    enum Stage { kColourMode, kResources, kLayers, kCompression, kRleCounts, kKnownEnd, kZeroTail };
    int Finish(long long size, long long sectorNumber);

    long long m_llWalk = 26;
    Stage m_eStage = kColourMode;
    unsigned long long m_u64Rows = 0;
    unsigned long long m_u64RowIndex = 0;
    unsigned long long m_u64RawBytes = 0;
    long long m_llRleSum = 0;
    long long m_llEnd = 0;
  };

  PSDAnalyser() : IRawFileAnalyser(kRawTypePsd), m_pReader(std::make_unique<FilePSDAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new PSDRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FilePSDAnalyser> m_pReader;
};

}  // namespace RawSpeed
