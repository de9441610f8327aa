#pragma once
// Canon CRW raw images: they end a fixed distance after their last record.

#include <memory>

#include "carving/KalderRecord.h"

class FileCRWAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kLimit = 0x3200000;

  FileCRWAnalyser() : IRawFileAnalyser(kRawTypeCrw) {}
  bool GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override;
  static bool IsCrwHeader(const unsigned char* sector);
  // First end record in [data, data + length): its offset and the bytes
  // from it to the end of the file; -1 when none.
  static long long FindEnd(const unsigned char* data, long long length, long long& tail, unsigned& recordSize);
};

namespace Kalder {

class CRWAnalyser : public IRawFileAnalyser {
 public:
  static constexpr long long kCap = 0x6400000;
  static constexpr long long kMinimum = 409600;

  class CRWRawFileInfo : public CKalderRecord {
   public:
    explicit CRWRawFileInfo(IRawFileAnalyser* reader) : CKalderRecord(18, reader, kCap) { initCrwFileInfoMemValue(); }
    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override;

   private:
    // The file's end when this sector holds the last 4 bytes of the root
    // heap: the offset of the heap's record table, which lies right before
    // them and whose records all point inside the heap.
    bool HeapEnd(const unsigned char* sector, int sectorSize, long long pos, const SearchContext& context,
                 long long& end) const;
    std::uint32_t Get32(const ByteView& v, std::size_t at) const { return m_bBigEndian ? v.U32Be(at) : v.U32Le(at); }
    std::uint16_t Get16(const ByteView& v, std::size_t at) const { return m_bBigEndian ? v.U16Be(at) : v.U16Le(at); }

    long long m_llHeapStart = -1;  // the header's length: where the root heap begins
    bool m_bBigEndian = false;
    void initCrwFileInfoMemValue() {
      m_llMinimum = kMinimum / 2;
      m_llExtra = kMinimum / 2;
    }
    int bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                  const SearchContext& context) override;
  };

  CRWAnalyser() : IRawFileAnalyser(kRawTypeCrw), m_pReader(std::make_unique<FileCRWAnalyser>()) {}
  bool GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return false; }
  int AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) override {
    return m_pReader->AnalyseBuffer(sector, probe);
  }
  CRawFileInfo* CreateRawFileInfo() override { return new CRWRawFileInfo(m_pReader.get()); }

 private:
  std::unique_ptr<FileCRWAnalyser> m_pReader;
};

}  // namespace Kalder
