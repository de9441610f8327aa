#pragma once
// Mobipocket books: the record list leads to the end-of-file record.

#include <memory>

#include "carving/StreamMember.h"

namespace RawSpeed {

class FileMOBIAnalyser : public IRawFileAnalyser {
 public:
  FileMOBIAnalyser() : IRawFileAnalyser(kRawTypeMobi) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class MOBIAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x9600000;

  class MOBIRawFileInfo : public CStreamRecord {
   public:
    explicit MOBIRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(133, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = -1;
    int m_iExamined = 0;
    bool m_bZeroTail = false;
  };

  MOBIAnalyser() : IRawFileAnalyser(kRawTypeMobi), m_pReader(std::make_unique<FileMOBIAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new MOBIRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileMOBIAnalyser> m_pReader;
};

}  // namespace RawSpeed
