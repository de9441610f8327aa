#pragma once
// bzip2-compressed disk images: they end with the sector holding "koly".

#include <memory>

#include "carving/KalderRecord.h"

class FileDMGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x82000000LL;

  FileDMGAnalyser() : IRawFileAnalyser(kRawTypeDmg) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};

namespace Kalder {

class DMGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xC800000;

  class DMGRawFileInfo : public CKalderRecord {
   public:
    explicit DMGRawFileInfo(IRawFileAnalyser* reader) : CKalderRecord(113, reader, kCap) { initDMGFileInfoMemValue(); }

   private:
    void initDMGFileInfoMemValue() { m_llWalkedEnd = 0; }
    int bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                  const SearchContext& context) override;
  };

  DMGAnalyser() : IRawFileAnalyser(kRawTypeDmg), m_pReader(std::make_unique<FileDMGAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new DMGRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileDMGAnalyser> m_pReader;
};

}  // namespace Kalder
