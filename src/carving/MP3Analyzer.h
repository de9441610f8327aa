#pragma once
// MPEG audio carving while the sweep passes: a find starts at an ID3v2 tag
// or at a run of frame headers; ID3 tags name it after artist and title. A
// find that cannot finish here goes to FileMP3Analyser.

#include <memory>
#include <string>
#include <vector>

#include "carving/FileMP3Analyser.h"
#include "carving/RawFileAnalyser.h"

class StreamBytes;

namespace BruteForce {

class MP3Analyzer : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
 public:
  static constexpr int kType = kRawTypeMp3;

  class MP3RawFileInfo : public CRawFileInfo {
   public:
    static constexpr long long kSizeCap = 209715200;
    static constexpr long long kId3Cap = 524288001;

    MP3RawFileInfo() { m_eType = kType; }
    ~MP3RawFileInfo() override;
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;
    int CalcRawSizeEx(const StreamBytes& bytes, int sectorSize, long long sectorNumber);

    // The start sector of the open frame-started stream, 0 = none.
    static long long m_lastStartSector;

   private:
    void GatherTagInfo(const StreamBytes& bytes);
    int HealthTest(const StreamBytes& bytes) const;
    int Done(long long size);
    bool FindTagInEndSector(const StreamBytes& bytes, int used, long long& tagEnd);
    bool FindDuplicateByteCount(const StreamBytes& bytes, const unsigned char* sector, int used,
                                const SearchContext& context);

    long long m_llPictureOffset = 0;
    long long m_llPictureSize = 0;
    unsigned m_uMinSize = 20480;
    long long m_llWalkEnd = 0;
    // 1: the file starts with a frame; 2: frames are walked from the end of
    // the ID3v2 tag; 0: the tag's file ends at a zero tail.
    int m_iFrameMode = 0;
    long long m_llTagEnd = 0;
    int m_iStraddle = 0;
    long long m_llBytes = 0;
    long long m_llCap = kSizeCap;
    long long m_llLastSector = -1;
    std::vector<unsigned> m_histogram;
    long long m_llHistogramLength = 512;
    std::string m_strTitleCharset;
    bool m_bOwnsLastStart = false;
  };

  MP3Analyzer();
  ~MP3Analyzer() override;

  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new MP3RawFileInfo(); }
  ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
  int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize, long long sectorNumber,
                      long long previousBlockStartSector, long long blockEndSector) override;

  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FileMP3Analyser> m_pReader;
};

}  // namespace BruteForce
