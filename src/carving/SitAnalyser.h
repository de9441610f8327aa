#pragma once
// StuffIt archives: SIT 5 carries its size, SITX ends at its end marker,
// the older form at its zero fill.

#include <memory>

#include "carving/StreamMember.h"

class FileSITAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x82000000LL;

  FileSITAnalyser() : IRawFileAnalyser(kRawTypeSit) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  static bool IsSitHeader(const unsigned char* sector);
  static bool IsWebForm(const unsigned char* sector);
};

namespace RawSpeed {

class SITAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 2000000000;

  class SITRawFileInfo : public CStreamRecord {
   public:
    explicit SITRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(92, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    enum Mode { kUnknown, kZeroTail, kStoredSize, kSitx };
    Mode m_eMode = kUnknown;
  };

  SITAnalyser() : IRawFileAnalyser(kRawTypeSit), m_pReader(std::make_unique<FileSITAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new SITRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileSITAnalyser> m_pReader;
};

}  // namespace RawSpeed
