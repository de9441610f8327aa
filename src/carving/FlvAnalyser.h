#pragma once
// FLV carving while the sweep passes: a walk over the tags.

#include <memory>

#include "carving/FileFLVAnalyser.h"
#include "carving/StreamMember.h"

namespace Kalder {

class FLVAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xC800000;

  class FLVRawFileInfo : public CStreamRecord {
   public:
    explicit FLVRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(0, reader) { initFLVFileInfoMemValue(); }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    void initFLVFileInfoMemValue();
    int bContinue(const StreamBytes& bytes, long long pos, long long sectorEnd, bool startSector);

    long long m_llWalk = 0;
    FlvTagWalk m_walk;
    long long m_llCap = kCap;
  };

  FLVAnalyser() : IRawFileAnalyser(kRawTypeFlv), m_pReader(std::make_unique<FileFLVAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new FLVRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileFLVAnalyser> m_pReader;
};

}  // namespace Kalder
