#pragma once
// OLE2 compound documents (DOC, XLS, PPT and others): sized from their own
// FAT while the sweep passes, typed from the directory, named from the
// SummaryInformation property set.

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "carving/FileProperty.h"
#include "carving/RawFileAnalyser.h"
#include "carving/SummaryInformation.h"

// The allocation walk of one compound file, fed by whatever can read its
// bytes (the sweep buffer or a device).
class OleWalk {
 public:
  enum ReadResult { kRead, kLater, kLost };
  using Reader = std::function<ReadResult(std::uint64_t offset, std::size_t n, std::vector<unsigned char>& out)>;

  static constexpr std::uint32_t kMaxFatSectors = 1u << 17;
  static constexpr std::uint64_t kMaxSize = 0x100000000ULL;

  // kSizeDone: the size is known; kSizeNeedMore: more bytes are needed;
  // kNoFile: not a usable file.
  static constexpr int kNoFile = 0;
  int Step(const Reader& read);
  // The smallest file offset still to be read (valid after kSizeNeedMore).
  std::uint64_t NextOffset() const { return m_u64Next; }
  std::uint64_t Size() const { return m_u64Size; }
  int DirectoryType() const { return m_iDirType; }
  // The first bytes of the SummaryInformation stream named in the
  // directory (empty when it is not in regular sectors or not read).
  const std::vector<unsigned char>& SummaryBytes() const { return m_summary; }

 private:
  std::uint64_t SectorOffset(std::uint32_t k) const { return (static_cast<std::uint64_t>(k) + 1) * m_uSectorBytes; }
  bool AddFat(std::uint32_t k);
  // One step per structure; each false (kNoFile) when the file is unusable and
  // lowers `next` to what must still arrive.
  int ReadHeader(const Reader& read, std::vector<unsigned char>& buf);
  bool ReadDifat(const Reader& read, std::vector<unsigned char>& buf, std::uint64_t& next);
  bool ReadFats(const Reader& read, std::vector<unsigned char>& buf, std::uint64_t& next);
  bool ReadDirectory(const Reader& read, std::vector<unsigned char>& buf, std::uint64_t& next);
  int Finish(const Reader& read);

  bool m_bHeader = false;
  unsigned m_uSectorBytes = 512;
  std::vector<std::uint32_t> m_fats;
  std::vector<char> m_fatDone;
  std::size_t m_fatsDone = 0;
  std::uint32_t m_uNextDifat = 0xFFFFFFFE;
  std::set<std::uint32_t> m_difatSeen;
  std::uint32_t m_uDirSector = 0;
  bool m_bDirRead = false;
  int m_iDirType = kRawTypeMof;
  std::uint64_t m_u64MaxEnd = 0;  // OLE sectors in use
  std::uint64_t m_u64Size = 0;
  std::uint64_t m_u64Next = 0;
  std::uint32_t m_uSummaryStart = 0xFFFFFFFF;
  std::uint32_t m_uSummarySize = 0;
  bool m_bSummaryTried = false;
  std::vector<unsigned char> m_summary;
};

class FileOLEAnalyser : public IRawFileAnalyser {
 public:
  static constexpr int kTypeOle = kRawTypeOle;
  static constexpr int kTypeMof = kRawTypeMof;

  class OleRawFileInfo : public CRawFileInfo {
   public:
    OleRawFileInfo() { m_eType = kTypeMof; }
    bool WhetherImplementGuess() override { return true; }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

    // Name, time and Office label from the summary.
    void SetFileName(const FileProperty& property);
    void SetFileTag(const std::string& text);

    FileProperty m_property;
    CSummaryInFormation m_summary;
    int m_iSizeSettled = 0;
    int m_iSummaryFound = 0;

   private:
    void Finish(long long sectorSize);
    OleWalk m_walk;
    bool m_bFailed = false;
  };

  FileOLEAnalyser() : IRawFileAnalyser(kTypeOle) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  CRawFileInfo* CreateRawFileInfo() override { return new OleRawFileInfo(); }

  // The type decision over directory entries (128 bytes each).
  static int CheckSectDirData(const unsigned char* buffer, int length, CRawFileInfo& info);
};
