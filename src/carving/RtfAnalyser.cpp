#include "carving/RtfAnalyser.h"

namespace RawSpeed {

namespace {

// The outermost group closes the document: the brace that brings the depth
// back to zero (escaped braces and backslashes aside) and the line end after
// it end the file. Until then, or when bytes were skipped, the zero-tail rule
// applies.
class RtfRecord : public CZeroTailRecord {
 public:
  using CZeroTailRecord::CZeroTailRecord;

  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override {
    long long pos = 0;
    if (m_bBalanced && streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos) && pos == m_llNext) {
      const long long end = Walk(sector, sectorSize);
      m_llNext = pos + sectorSize;
      if (end >= 0) {
        long long size = pos + end;
        for (const unsigned char eol : {'\r', '\n'}) {
          if (size - pos < sectorSize && sector[size - pos] == eol) ++size;
        }
        m_llSize = size;
        streammember::NameRange(*this, streammember::kFormA, sectorNumber);
        return kSizeDone;
      }
    } else {
      m_bBalanced = false;
    }
    return CZeroTailRecord::CalcRawSize(sector, sectorSize, sectorNumber, context);
  }

 private:
  // Offset just past the closing brace of the outermost group, or -1.
  long long Walk(const unsigned char* sector, int sectorSize) {
    for (int i = 0; i < sectorSize; ++i) {
      const unsigned char c = sector[i];
      if (m_bEscape) {
        m_bEscape = false;
        continue;
      }
      if (c == '\\') {
        m_bEscape = true;
      } else if (c == '{') {
        ++m_llDepth;
      } else if (c == '}' && --m_llDepth <= 0) {
        if (m_llDepth < 0) {
          m_bBalanced = false;
          return -1;
        }
        return i + 1;
      }
    }
    return -1;
  }

  bool m_bBalanced = true;
  bool m_bEscape = false;
  long long m_llDepth = 0;
  long long m_llNext = 0;
};

}  // namespace

int RTFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || sector[4] != 'f') return 0;
  return m_pReader->AnalyseBuffer(sector, probe);
}

CRawFileInfo* RTFAnalyser::CreateRawFileInfo() {
  return new RtfRecord(60, m_pReader.get(), CZeroTailRecord::Rule{20, 0x12C00000, 1, 8, streammember::kFormA});
}

}  // namespace RawSpeed
