#pragma once
// Ogg carving while the sweep passes: a walk over the pages. While a
// stream is walked, no other "OggS" sector starts a find.

#include <memory>

#include "carving/FileOggAnalyser.h"
#include "carving/StreamMember.h"

namespace Kalder {

class OGGAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0xC800000;

  class OGGRawFileInfo : public CStreamRecord {
   public:
    OGGRawFileInfo(IRawFileAnalyser* reader, long long* streamStart)
        : CStreamRecord(82, reader), m_pStreamStart(streamStart) {
      initOGGFileInfoMemValue();
    }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    void initOGGFileInfoMemValue();
    // kWalkNeedsMore, or kWalkEnded: the end is found (or the walk stops).
    int bContinue(const StreamBytes& bytes, long long pos, long long sectorEnd);
    int Done(int result);

    long long* m_pStreamStart;
    long long m_llWalk = 0;
    long long m_llCap = kCap;
  };

  OGGAnalyser() : IRawFileAnalyser(kRawTypeOgg), m_pReader(std::make_unique<CFileOggAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new OGGRawFileInfo(m_pReader.get(), &m_i64OggStartSec); }

 private:
  std::unique_ptr<CFileOggAnalyser> m_pReader;
  // Start sector of the stream being walked (-1: none); this analyser's
  // registry set is rebuilt for every search, so each search starts clear.
  long long m_i64OggStartSec = -1;
};

}  // namespace Kalder
