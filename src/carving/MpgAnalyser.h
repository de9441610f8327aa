#pragma once
// MPEG program and elementary streams carved while the sweep passes.

#include <memory>

#include "carving/FileMPGAnalyser.h"
#include "carving/StreamMember.h"

namespace Kalder {

class MPGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xC800000;

  class MPGRawFileInfo : public CStreamRecord {
   public:
    explicit MPGRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(109, reader) { initMPGFileInfoMemValue(); }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    void initMPGFileInfoMemValue();
    int bContinue(const StreamBytes& bytes, long long pos, long long sectorEnd, bool startSector);

    long long m_llWalk = 0;
    MpgWalk m_walk;
    long long m_llCap = kCap;
  };

  MPGAnalyser() : IRawFileAnalyser(kRawTypeMpg), m_pReader(std::make_unique<FileMPGAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new MPGRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileMPGAnalyser> m_pReader;
};

}  // namespace Kalder
