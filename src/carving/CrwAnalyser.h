#pragma once
// Canon CRW raw images: they end a fixed distance after their last record.

#include <memory>

#include "carving/KalderRecord.h"

class FileCRWAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x3200000;

  FileCRWAnalyser() : IRawFileAnalyser(18) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  static bool IsCrwHeader(const unsigned char* sector);
  // First end record in [data, data + length): its offset and the bytes
  // from it to the end of the file; -1 when none.
  static long long FindEnd(const unsigned char* data, long long length, long long& tail, unsigned& recordSize);
};

namespace Kalder {

class CRWAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x6400000;
  static constexpr long long kMinimum = 409600;

  class CRWRawFileInfo : public CKalderRecord {
   public:
    explicit CRWRawFileInfo(IRawFileAnalyser* reader) : CKalderRecord(18, reader, kCap) { initCrwFileInfoMemValue(); }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    void initCrwFileInfoMemValue() {
      m_llMinimum = kMinimum / 2;
      m_llExtra = kMinimum / 2;
    }
    int bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                  const SearchContext& context) override;
  };

  CRWAnalyser() : IRawFileAnalyser(18), m_pReader(std::make_unique<FileCRWAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override { return m_pReader->AnalyseBuffer(sector, probe); }
  CRawFileInfo* CreateRawFileInfo() override { return new CRWRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileCRWAnalyser> m_pReader;
};

}  // namespace Kalder
