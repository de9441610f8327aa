#include "carving/RmAnalyser.h"

#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"

namespace {
constexpr unsigned char kClosingIndex[] = {0x49, 0x4E, 0x44, 0x58, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00};
constexpr long long kHeadBytes = 1024;
}  // namespace

bool FileRM_RMVBAnalyser::KnownChunk(const unsigned char* id) {
  for (const char* known : {"PROP", "MDPR", "CONT", "DATA", "INDX"}) {
    if (std::memcmp(id, known, 4) == 0) return true;
  }
  return false;
}

bool FileRM_RMVBAnalyser::HasVideo(const unsigned char* head, long long length) {
  const long long m = streammember::FindBytes(head, length, "MDPR", 4);
  if (m < 0) return false;
  const long long span = length - m < 160 ? length - m : 160;
  return streammember::FindBytes(head + m, span, "Video Stream", 12) >= 0;
}

int FileRM_RMVBAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, ".RMF", 4) != 0) return 0;
  probe.m_eType = kRawTypeRm;
  return 1;
}

bool FileRM_RMVBAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[kHeadBytes];
  if (!reader.Read(0, head, sizeof(head)) || std::memcmp(head, ".RMF", 4) != 0) return false;
  if (!HasVideo(head, kHeadBytes)) {
    long long p = ByteView(head, sizeof(head)).U32Be(4);
    for (int chunks = 0; chunks < 100000; ++chunks) {
      unsigned char chunk[8];
      if (!reader.Read(static_cast<unsigned long long>(p), chunk, sizeof(chunk)) || !KnownChunk(chunk)) break;
      const long long size = ByteView(chunk, 8).U32Be(4);
      if (size == 0) break;
      p += size;
    }
    info.m_llSize = p;
    info.m_eType = kRawTypeRm;
    return p > 0;
  }
  const long long ss = reader.SectorSize();
  std::vector<unsigned char> sector(static_cast<std::size_t>(ss));
  std::vector<unsigned char> straddle(64);
  for (long long off = 0; off < kRmvbLimit; off += ss) {
    if (!reader.Read(static_cast<unsigned long long>(off), sector.data(), sector.size())) {
      info.m_llSize = off;
      break;
    }
    if (ByteView(sector.data(), sector.size()).U32Le(sector.size() - 4) != 0) continue;
    const long long k = streammember::FindBytes(sector.data(), ss, kClosingIndex, sizeof(kClosingIndex));
    if (k >= 0) {
      info.m_llSize = off + k + 20;
      break;
    }
    if (off >= 32 && reader.Read(static_cast<unsigned long long>(off - 32), straddle.data(), straddle.size()) &&
        streammember::FindBytes(straddle.data(), 64, kClosingIndex, sizeof(kClosingIndex)) >= 0) {
      info.m_llSize = off;
      break;
    }
  }
  info.m_eType = kRawTypeRmvb;
  return info.m_llSize > 0;
}

namespace Kalder {

int RM_RMVBAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo&) {
  return sector != nullptr && std::memcmp(sector, ".RMF", 4) == 0 ? 1 : 0;
}

void RM_RMVBAnalyser::RM_RMVBRawFileInfo::initRM_RMVBFileInfoMemValue() {
  m_llWalk = 0;
  m_bRm = true;
  m_llCap = kCap;
}

int RM_RMVBAnalyser::RM_RMVBRawFileInfo::ChunkWalk(const StreamBytes& bytes, long long pos, long long sectorEnd) {
  const ByteView& v = bytes.View();
  for (int chunks = 0; chunks < 1025; ++chunks) {
    if (m_llWalk >= sectorEnd) return kWalkNeedsMore;
    std::size_t at = 0;
    if (!bytes.Locate(m_llWalk - pos, 8, at)) return kWalkNeedsMore;  // the chunk header arrives later
    if (!FileRM_RMVBAnalyser::KnownChunk(v.Data() + at)) return kWalkEnded;
    const long long size = v.U32Be(at + 4);
    if (v.Equals(at, "INDX", 4)) {
      if (!bytes.Locate(m_llWalk - pos, 20, at)) return kWalkNeedsMore;
      const long long next = v.U32Be(at + 16);
      if (v.U16Be(at + 8) == 0 && next == 0 && size != 0) {
        m_llWalk += size + 14LL * v.U32Be(at + 10);
        return kWalkEnded;
      }
      if (v.U16Be(at + 8) == 0 && next > m_llWalk) {
        m_llWalk = next;
        continue;
      }
      // An index that leads nowhere ends the file after it.
      if (size > 0) m_llWalk += size;
      return kWalkEnded;
    }
    if (size == 0) return kWalkEnded;
    m_llWalk += size;
  }
  return kWalkNeedsMore;
}

int RM_RMVBAnalyser::RM_RMVBRawFileInfo::EndSearch(unsigned char* sector, int sectorSize, long long pos,
                                                   long long sectorEnd, const SearchContext& context) {
  if (context.zeroTailBytes >= 8) {
    const long long k = streammember::FindBytes(sector, sectorSize, kClosingIndex, sizeof(kClosingIndex));
    if (k < 0) return kWalkNeedsMore;
    m_llWalk = pos + k + 20;
    return kWalkEnded;
  }
  const StreamBytes bytes(sector, sectorSize, context);
  std::size_t at = 0;
  if (!bytes.Locate(sectorSize - 32, 64, at)) return kWalkNeedsMore;
  if (streammember::FindBytes(bytes.View().Data() + at, 64, kClosingIndex, sizeof(kClosingIndex)) < 0)
    return kWalkNeedsMore;
  m_llWalk = sectorEnd;
  return kWalkEnded;
}

int RM_RMVBAnalyser::RM_RMVBRawFileInfo::bContinue(unsigned char* sector, int sectorSize, long long pos,
                                                   long long sectorEnd, bool startSector,
                                                   const SearchContext& context) {
  const StreamBytes bytes(sector, sectorSize, context);
  if (startSector) {
    std::size_t at = 0;
    if (!bytes.Locate(0, kHeadBytes, at)) return kWalkEnded;
    m_bRm = !FileRM_RMVBAnalyser::HasVideo(bytes.View().Data() + at, kHeadBytes);
    if (m_bRm) m_llWalk = bytes.View().U32Be(at + 4);
  }
  if (pos >= 20 * m_llCap) return kWalkEnded;
  return m_bRm ? ChunkWalk(bytes, pos, sectorEnd) : EndSearch(sector, sectorSize, pos, sectorEnd, context);
}

int RM_RMVBAnalyser::RM_RMVBRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                                     SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeDone;
  const long long sectorEnd = pos + sectorSize;
  if (sectorEnd < m_llWalk) return kSizeNeedMore;
  if (bContinue(sector, sectorSize, pos, sectorEnd, sectorNumber == m_llStartSector, context) == kWalkNeedsMore)
    return kSizeNeedMore;
  if (m_llWalk == 0) return kSizeDone;
  m_llSize = pos < 20 * m_llCap ? m_llWalk : m_llCap;
  m_eType = m_bRm ? kRawTypeRm : kRawTypeRmvb;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return kSizeDone;
}

}  // namespace Kalder
