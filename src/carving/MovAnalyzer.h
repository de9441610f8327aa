#pragma once
// QuickTime and ISO media carving while the sweep passes: a find starts at
// an "ftyp" box and ends where the walk of its top-level boxes ends. Camera
// data in the movie header, or a device name near the end, label it.

#include <string>

#include "carving/RawFileAnalyser.h"
#include "core/util/ByteView.h"

class StreamBytes;

namespace BruteForce {

// A decoded 12-byte EXIF directory entry.
struct tagIDFEntryFORMOV {
  unsigned tag = 0;
  unsigned elementSize = 0;
  unsigned count = 0;
  unsigned value = 0;
  unsigned long long length = 0;
};

class MovAnalyzer : public IRawFileAnalyser {
 public:
  static constexpr int kTypeMov = kRawTypeMov;
  static constexpr int kType3gp = kRawType3gp;
  static constexpr int kTypeMp4 = kRawTypeMp4;
  static constexpr int kTypeM4a = kRawTypeM4a;
  static constexpr int kTypeM4v = kRawTypeM4v;
  static constexpr int kTypeTrec = kRawTypeTrec;
  static constexpr int kMaxBoxesPerSector = 4096;

  class MovRawFileInfo : public CRawFileInfo {
   public:
    explicit MovRawFileInfo(RAW_FILE_TYPE type) { m_eType = type; }
    bool WhetherImplementGuess() override { return true; }
    void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

    const std::string& Make() const { return m_strMake; }
    const std::string& Model() const { return m_strModel; }

   private:
    void GetMovTagInfo(const StreamBytes& bytes, long long moovRel);
    void CheckIFD(const ByteView& v, std::size_t tiff, std::size_t ifd, std::size_t limit);
    void getCameraMakeName(const StreamBytes& bytes, long long sectorNumber, const SearchContext& context);
    void endSearch(long long sectorNumber, const StreamBytes* bytes, const SearchContext* context);

    long long m_llBoxOffset = 0;
    int m_iMoovCount = 0;
    int m_iBoxCount = 0;
    int m_iIso = 0;
    bool m_bLittleEndian = false;
    std::size_t m_exifHeader = 0;
    std::string m_strMake;
    std::string m_strModel;
    long long m_llSectorSize = 512;
    bool m_bEnded = false;
  };

  MovAnalyzer() : IRawFileAnalyser(kTypeMov) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new MovRawFileInfo(kTypeMov); }

  // The type told by the major brand (bytes 8 to 11) of an "ftyp" box; 0
  // when it tells none.
  static int getTypeByMajorBrand(const unsigned char* header);
  // The device reader that sizes a find this analyser could not finish.
  virtual IRawFileAnalyser* Reader() const { return nullptr; }
};

}  // namespace BruteForce
