#pragma once
// Sigma X3F raw images: they end after the "SECd" directory.

#include <memory>

#include "carving/KalderRecord.h"

class FileX3FAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x6800000;

  FileX3FAnalyser() : IRawFileAnalyser(kRawTypeX3f) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};

namespace Kalder {

class X3FAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x6400000;

  class X3FRawFileInfo : public CKalderRecord {
   public:
    explicit X3FRawFileInfo(IRawFileAnalyser* reader) : CKalderRecord(108, reader, kCap) { initX3FFileInfoMemValue(); }

   private:
    void initX3FFileInfoMemValue() { m_llWalkedEnd = 0; }
    int bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                  const SearchContext& context) override;
  };

  X3FAnalyser() : IRawFileAnalyser(kRawTypeX3f), m_pReader(std::make_unique<FileX3FAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new X3FRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileX3FAnalyser> m_pReader;
};

}  // namespace Kalder
