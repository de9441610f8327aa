#pragma once
// Access databases (Jet and ACE): a walk over the 4096-byte pages.

#include <memory>

#include "carving/StreamMember.h"

class FileMDBAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x63FFFFF;

  FileMDBAnalyser() : IRawFileAnalyser(kRawTypeMdb) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  // 39 (MDB), 76 (ACCDB) or 0.
  static int HeaderType(const unsigned char* sector);
};

namespace RawSpeed {

class CMDBAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 2000000000;
  static constexpr long long kPage = 4096;

  class MDBRawFileInfo : public CStreamRecord {
   public:
    MDBRawFileInfo(RAW_FILE_TYPE type, IRawFileAnalyser* reader) : CStreamRecord(type, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    int Finish(long long size, long long sectorNumber);
    bool m_bWalking = true;
    int m_iEmptyPages = 0;
    bool m_bForeign = false;
  };

  CMDBAnalyser() : IRawFileAnalyser(kRawTypeMdb), m_pReader(std::make_unique<FileMDBAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new MDBRawFileInfo(39, m_pReader.get()); }

 private:
  std::unique_ptr<FileMDBAnalyser> m_pReader;
};

}  // namespace RawSpeed
