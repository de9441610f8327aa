#pragma once
// Shared pieces of the streaming members: range names, the hand-over to an
// owned device reader and the end at the first zero tail.

#include <algorithm>
#include <cstdio>
#include <string>

#include "carving/RawFileAnalyser.h"
#include "carving/RawUtility.h"
#include "carving/StreamBytes.h"

namespace streammember {

// Name forms of a settled record.
inline constexpr const char* kFormA = "%lld-%lld_";
inline constexpr const char* kFormB = "%lld-%lld";
inline constexpr const char* kFormC = "%lld-%lld.";

inline void NameRange(CRawFileInfo& info, const char* form, long long sector) {
  char name[1024];
  std::snprintf(name, sizeof(name), form, info.m_llStartSector, sector);
  info.m_strName = name;
}

// File offset of the sector handed in; false when it precedes the record.
inline bool SectorOffset(const CRawFileInfo& info, const unsigned char* sector, int sectorSize, long long sectorNumber,
                         long long& pos) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < info.m_llStartSector) return false;
  pos = (sectorNumber - info.m_llStartSector) * sectorSize;
  return true;
}

inline bool EqualsNoCase(const unsigned char* data, const char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char a = data[i];
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

// First offset of `needle` in [data, data + length), or -1.
inline long long FindBytes(const unsigned char* data, long long length, const void* needle, long long n) {
  if (data == nullptr || n <= 0 || length < n) return -1;
  const auto* nd = static_cast<const unsigned char*>(needle);
  for (long long i = 0; i + n <= length; ++i) {
    if (data[i] == nd[0] && std::equal(nd, nd + n, data + i)) return i;
  }
  return -1;
}

}  // namespace streammember

// A streaming record that hands itself to its analyser's device reader
// (none: the record is dropped) when it leaves the stream without a size.
class CStreamRecord : public CRawFileInfo {
 public:
  CStreamRecord(RAW_FILE_TYPE type, IRawFileAnalyser* reader) : m_pReader(reader) { m_eType = type; }
  bool WhetherImplementGuess() override { return true; }
  void WillBeRemove(unsigned char*, long long) override { m_pAnalyser = m_pReader; }

 protected:
  IRawFileAnalyser* m_pReader;
};

// Ends at the first sector with a zero tail once `minimum` bytes passed, or
// right before the next file found; past the cap the whole sectors before
// the current one are the size.
class CZeroTailRecord : public CStreamRecord {
 public:
  struct Rule {
    long long minimum;
    unsigned long long cap;
    int plus;      // added to the bytes in use of the last sector
    int zeroTail;  // zero-tail bytes that end the file
    const char* form;
  };
  CZeroTailRecord(RAW_FILE_TYPE type, IRawFileAnalyser* reader, const Rule& rule)
      : CStreamRecord(type, reader), m_rule(rule) {}
  int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) override {
    long long pos = 0;
    if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
    // The end is only ever a guess: the file never runs into the next one.
    if (static_cast<unsigned long long>(pos) > m_rule.cap || (context.fileStartsHere && pos > 0)) {
      streammember::NameRange(*this, m_rule.form, sectorNumber);
      m_llSize = pos;
      m_bEndGuessed = true;
      return kSizeDone;
    }
    if (context.zeroTailBytes < m_rule.zeroTail || pos < m_rule.minimum + m_llExtra) return kSizeNeedMore;
    m_llSize = pos + BruteForce::RawUtility::Binary_Compare(sector, sectorSize) + m_rule.plus;
    m_bEndGuessed = true;
    streammember::NameRange(*this, m_rule.form, sectorNumber);
    return kSizeDone;
  }

 private:
  Rule m_rule;
  long long m_llExtra = 0;
};
