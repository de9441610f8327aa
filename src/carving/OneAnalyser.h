#pragma once
// OneNote sections: a chain of section headers.

#include <memory>

#include "carving/StreamMember.h"

class FileONEAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x1A000000;

  FileONEAnalyser() : IRawFileAnalyser(kRawTypeOne) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  static bool IsOneHeader(const unsigned char* at);  // the 12 bytes at +4
  static long long SectionLength(const ByteView& v, std::size_t header);
};

namespace RawSpeed {

class OneAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 400000000;

  class OneRawFileInfo : public CStreamRecord {
   public:
    explicit OneRawFileInfo(IRawFileAnalyser* reader) : CStreamRecord(49, reader) {}
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    long long m_llWalk = -1;
  };

  OneAnalyser() : IRawFileAnalyser(kRawTypeOne), m_pReader(std::make_unique<FileONEAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new OneRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileONEAnalyser> m_pReader;
};

}  // namespace RawSpeed
