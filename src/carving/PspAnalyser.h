#pragma once
// Paint Shop Pro images: a walk over the "~BK" blocks.

#include <memory>

#include "carving/StreamMember.h"

class FilePSPAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;

  FilePSPAnalyser() : IRawFileAnalyser(kRawTypePsp) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  static bool IsPspHeader(const unsigned char* sector);
  static bool IsBlock(const unsigned char* at) { return at[0] == 0x7E && at[1] == 0x42 && at[2] == 0x4B && at[3] == 0; }
};

namespace RawSpeed {

class PSPAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 20000000;

  class PSPRawFileInfo : public CStreamRecord {
   public:
    explicit PSPRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(55, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = 36;
  };

  PSPAnalyser() : IRawFileAnalyser(kRawTypePsp), m_pReader(std::make_unique<FilePSPAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new PSPRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FilePSPAnalyser> m_pReader;
};

}  // namespace RawSpeed
