#pragma once
// TIFF and camera-raw carving while the sweep passes: walks the directories
// as their sectors stream by and hands the find to the device reader when
// the walk cannot go on.

#include <map>
#include <memory>
#include <set>
#include <string>

#include "carving/FileTIFAnalyser.h"

class StreamBytes;

namespace BruteForce {

class TiffAnalyzer : public IRawFileAnalyser {
 public:
  static constexpr int kMaxIfds = 11;
  static constexpr unsigned kMaxEntries = 512;
  static constexpr long long kFirstIfdLimit = 0x400000;

  struct tagIDFEntry {
    unsigned short tag = 0;
    unsigned short elementSize = 0;
    unsigned count = 0;
    unsigned value = 0;
    unsigned byteLength = 0;
  };
  static unsigned short GetSizeTypeWide(unsigned type);

  class TiffRawFileInfo : public CRawFileInfo {
   public:
    TiffRawFileInfo() { m_eType = kRawTypeTif; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    // Where file offset `off` (n bytes) is in the stream; 0 ok, -1 gone
    // behind, 1 not yet (or past the buffer).
    int Locate(long long off, std::size_t n, std::size_t& at) const;
    unsigned Get16(std::size_t at) const;
    unsigned Get32(std::size_t at) const;
    void Raise(long long end) {
      if (end > m_llEnd) m_llEnd = end;
    }
    void CheckIFD(long long position);
    void CameraTag(const tagIDFEntry& e, unsigned numberValue, std::size_t entryAt);
    // One step per tag that needs more than a field: each reads what the tag
    // points at and records it (m_iStop = 1 when the bytes are unreadable).
    void MakeTag(const tagIDFEntry& e, std::size_t entryAt);
    void ModelTag(const tagIDFEntry& e, std::size_t entryAt);
    void StripOffsetsTag(const tagIDFEntry& e, unsigned number, std::size_t entryAt);
    void StripByteCountsTag(const tagIDFEntry& e, unsigned number, std::size_t entryAt);
    void DateTimeTag(const tagIDFEntry& e, std::size_t entryAt);
    void TileByteCountsTag(const tagIDFEntry& e, unsigned number);
    void SubIfdsTag(const tagIDFEntry& e);
    void JpegOffsetTag(const tagIDFEntry& e);
    void JpegLengthTag(const tagIDFEntry& e);
    bool ReadText(const tagIDFEntry& e, std::size_t entryAt, std::string& out, bool& gone);
    bool LastElement(const tagIDFEntry& e, std::size_t entryAt, unsigned& v);
    bool IsJpegAt(long long off, bool& beyond) const;
    void AddSecAndOffset2Map(long long offset);
    void AnalyzeSubIFD();
    void AnalyzeJpeg();
    int Finish(long long size);

    long long m_llThumbOffset = 0;
    long long m_llThumbSize = 0;
    bool m_bLittle = true;
    long long m_llWidthHeight = -2147483648LL;
    long long m_llIfdCount = 0;
    int m_iStop = 0;
    long long m_llChain = 0;
    long long m_llEnd = 8192;
    long long m_llLastStripOffset = 0;
    long long m_llCurrentIfd = 0;
    std::map<unsigned, unsigned> m_pendingJpeg;
    std::map<unsigned, long long> m_pendingIfds;
    std::set<long long> m_parsed;
    unsigned m_uLastStripBytes = 0;
    bool m_bHeaderSeen = false;
    int m_iRw2 = 0;
    int m_iDng = 0;
    unsigned long long m_u64PendingThumb = 0;
    unsigned long long m_u64PendingStrip = 0;
    unsigned m_uThumbIsJpeg = 0;
    unsigned m_uStripIsJpeg = 0;
    std::string m_strMake;
    std::string m_strModel;
    int m_iIfdValid = 0;
    unsigned long long m_u64ThumbCandidate = 0;
    long long m_llWidth = 0;
    long long m_llHeight = 0;
    unsigned m_uTileOffsets = 0;
    unsigned m_uTileBytesValue = 0;
    unsigned m_uTileBytesElement = 0;
    unsigned m_uTileOffsetsLength = 0;
    unsigned m_uTileCount = 0;
    unsigned m_uTileOffsetsElement = 0;
    long long m_llTileEstimate = 0;
    long long m_llLastSubIfd = 0;
    long long m_llProven = 0;  // the largest end a structure proves
    int m_iStripOrThumbKnown = 0;
    long long m_llSectorSize = 512;
    int m_iMakeRead = 0;
    int m_iModelRead = 0;
    // Per call.
    const StreamBytes* m_pBytes = nullptr;
    long long m_llSector = 0;
  };

  TiffAnalyzer() : IRawFileAnalyser(kRawTypeTif), m_pReader(std::make_unique<FileTIFAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new TiffRawFileInfo(); }
  FileTIFAnalyser* Reader() const { return m_pReader.get(); }

 private:
  std::unique_ptr<FileTIFAnalyser> m_pReader;
};

}  // namespace BruteForce
