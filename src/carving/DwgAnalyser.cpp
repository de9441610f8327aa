#include "carving/DwgAnalyser.h"

#include <cstring>

namespace BruteForce {

namespace {
constexpr const char* kVersions[] = {"AC1027", "AC1024", "AC1021", "AC1018", "AC1015",
                                     "AC1014", "AC1013", "AC1012", "AC1009"};
constexpr int kHeaderAt = 0x80;
constexpr int kHeaderLength = 108;

int Generation(const unsigned char* v) {
  for (const char* r15 : {"AC1015", "AC1014", "AC1013", "AC1012"}) {
    if (std::memcmp(v, r15, 6) == 0) return 1;
  }
  for (const char* r2004 : {"AC1018", "AC1024", "AC1027"}) {
    if (std::memcmp(v, r2004, 6) == 0) return 2;
  }
  if (std::memcmp(v, "AC1021", 6) == 0) return 3;
  return 0;
}
}  // namespace

int CDWGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  for (const char* version : kVersions) {
    if (std::memcmp(sector, version, 6) == 0) {
      probe.m_eType = kRawTypeDwg;
      return 1;
    }
  }
  return 0;
}

void CDWGRawInfo::getCrcData(unsigned char* data, int length) {
  unsigned x = 1;
  for (int i = 0; i < length; ++i) {
    x = x * 214013u + 2531011u;
    data[i] = static_cast<unsigned char>(data[i] ^ ((x >> 16) & 0xFF));
  }
}

int CDWGRawInfo::Finish(long long size, long long sectorNumber) {
  m_llSize = size > 0 && size <= kCap ? size : 0;
  if (m_llSize > 0) streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

int CDWGRawInfo::underR15Size(const StreamBytes& bytes, long long pos, long long sectorNumber) {
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (!m_bCountKnown) {
    if (!bytes.Locate(0x15 - pos, 4, at)) return kSizeNeedMore;
    m_iRecordCount = static_cast<int>(v.U32Le(at));
    m_bCountKnown = true;
    if (m_iRecordCount <= 0 || m_iRecordCount > kMaxRecords) return Finish(0, sectorNumber);
  }
  while (m_iRecordsRead < m_iRecordCount) {
    if (!bytes.Locate(m_iReadPos - pos, 9, at)) return kSizeNeedMore;  // the record arrives with a later sector
    if (v.U8(at) != m_iRecordsRead) return Finish(0, sectorNumber);
    const long long end = static_cast<long long>(static_cast<int>(v.U32Le(at + 1))) + static_cast<int>(v.U32Le(at + 5));
    if (end > m_llLargest) m_llLargest = end;
    m_iReadPos += 9;
    ++m_iRecordsRead;
  }
  return Finish(m_llLargest, sectorNumber);
}

int CDWGRawInfo::ac1018_24_27VersionSize(const StreamBytes& bytes, long long pos, long long sectorNumber) {
  std::size_t at = 0;
  if (!bytes.Locate(kHeaderAt - pos, kHeaderLength, at))
    return pos > kHeaderAt ? Finish(0, sectorNumber) : kSizeNeedMore;
  unsigned char header[kHeaderLength];
  std::memcpy(header, bytes.View().Data() + at, kHeaderLength);
  getCrcData(header, kHeaderLength);
  const ByteView h(header, kHeaderLength);
  if (h.U8(11) != 0 || h.U8(12) != 0 || h.U8(13) != 0 || h.U8(14) != 0 || h.U32Le(0x10) != 0x6C || h.U32Le(0x14) != 4 ||
      h.U32Le(0x44) != 0x20 || h.U32Le(0x48) != 0x80 || h.U32Le(0x4C) != 0x40) {
    return Finish(0, sectorNumber);
  }
  const unsigned long long size = h.U64Le(0x34);
  if (size > static_cast<unsigned long long>(kCap)) return Finish(0, sectorNumber);
  return Finish(static_cast<long long>(size) + kHeaderLength, sectorNumber);
}

int CDWGRawInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber, SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  if (m_iGeneration < 0) {
    std::size_t at = 0;
    if (!bytes.Locate(-pos, 6, at)) return Finish(0, sectorNumber);
    m_iGeneration = Generation(bytes.View().Data() + at);
  }
  switch (m_iGeneration) {
    case 1:
      return underR15Size(bytes, pos, sectorNumber);
    case 2:
      return ac1018_24_27VersionSize(bytes, pos, sectorNumber);
    default:
      return Finish(0, sectorNumber);  // R2007 and R11 drawings are not sized in the stream
  }
}

}  // namespace BruteForce
