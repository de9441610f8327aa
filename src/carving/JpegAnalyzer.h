#pragma once
// JPEG carving while the sweep passes: the marker structure proves the end
// (the EOI after the last scan); where it breaks (a gap, damaged data), the
// end marker before a zero tail ends the image. Camera data name it. A find
// that cannot finish here goes to FileJPGAnalyser.

#include <memory>
#include <string>

#include "carving/FileJPGAnalyser.h"
#include "carving/JpegStructure.h"
#include "carving/RawFileAnalyser.h"

class StreamBytes;

namespace BruteForce {

class JpegAnalyzer : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
 public:
  static constexpr long long kExifCap = 0x3200000;
  static constexpr long long kPlainCap = 0x1400000;
  static constexpr int kMaxCheckedSegments = 0x4FFF;

  class JpegRawFileInfo : public CRawFileInfo {
   public:
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    void ReadCamera(const StreamBytes& bytes, long long rel, long long fileOffset);
    void WalkMarkers(const StreamBytes& bytes, long long pos, long long sectorSize);
    // File offset just past the end marker, or -1.
    long long FindEnd(const StreamBytes& bytes, const unsigned char* sector, int sectorSize, long long pos,
                      const SearchContext& context) const;
    int Finish(long long sectorNumber, long long size);

    long long m_llHeaderLength = 1024;
    long long m_llExtraHeader = 0;
    long long m_llCap = kExifCap;
    long long m_llScanOffset = 0;
    long long m_llExpected = 0;
    bool m_bExif = false;
    long long m_llLastSector = 0;
    bool m_bSeen = false;
    std::string m_strMake;
    std::string m_strModel;
    JpegStructure m_structure;
  };

  JpegAnalyzer();
  ~JpegAnalyzer() override;

  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new JpegRawFileInfo(); }
  ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
  int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& probe, long long sectorSize, long long sectorNumber,
                      long long previousBlockStartSector, long long blockEndSector) override;

  // The marker structure of a JPEG that is neither JFIF nor Exif: 1 when a
  // three-component frame precedes the first scan inside the bytes given.
  static int CheckNonJfif(const unsigned char* data, std::size_t length);

  IRawFileAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FileJPGAnalyser> m_pReader;
};

}  // namespace BruteForce
