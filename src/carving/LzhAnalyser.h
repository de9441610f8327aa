#pragma once
// LZH archives: a walk over the member headers.

#include <memory>

#include "carving/KalderRecord.h"

// The header walk shared by the stream and the device reader.
struct LzhWalk {
  long long d = 0;  // offset of the next header
  bool directorySeen = false;
  bool plusTwo = false;  // the last member added the 2 bytes of a level-0 header
  bool steppedBack = false;
  // One header with at least 11 readable bytes at `h`: 1 go on, 0 the end
  // (`end` set).
  int Step(const unsigned char* h, long long& end);
};

class FileLZHAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0xD000000;
  static constexpr int kMaxHeaders = 2048;

  FileLZHAnalyser() : IRawFileAnalyser(kRawTypeLzh) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
};

namespace Kalder {

class LZHAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xC800000;

  class LZHRawFileInfo : public CKalderRecord {
   public:
    explicit LZHRawFileInfo(IRawFileAnalyser* reader) : CKalderRecord(36, reader, kCap) { initLZHFileInfoMemValue(); }

   private:
    void initLZHFileInfoMemValue() { m_walk = LzhWalk(); }
    int bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                  const SearchContext& context) override;
    LzhWalk m_walk;
  };

  LZHAnalyser() : IRawFileAnalyser(kRawTypeLzh), m_pReader(std::make_unique<FileLZHAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new LZHRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileLZHAnalyser> m_pReader;
};

}  // namespace Kalder
