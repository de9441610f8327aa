#include "carving/CrwAnalyser.h"

#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"

namespace {
struct EndRecord {
  unsigned char bytes[6];
  unsigned size;
  long long tail;
};
constexpr EndRecord kEnds[] = {{{0x07, 0x28, 0xA8, 0x00, 0x00, 0x00}, 168, 70},
                               {{0x07, 0x28, 0xB2, 0x00, 0x00, 0x00}, 178, 60},
                               {{0x07, 0x28, 0xE4, 0x00, 0x00, 0x00}, 228, 50}};
}  // namespace

bool FileCRWAnalyser::IsCrwHeader(const unsigned char* sector) {
  if (sector == nullptr || sector[4] != 0 || sector[5] != 0 || std::memcmp(sector + 6, "HEAP", 4) != 0) return false;
  for (const char* kind : {"CCDR\x02", "TIFP\x02", "ARCH\x02"}) {
    if (std::memcmp(sector + 10, kind, 5) == 0) return true;
  }
  return false;
}

int FileCRWAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsCrwHeader(sector)) return 0;
  probe.m_eType = kRawTypeCrw;
  return 1;
}

long long FileCRWAnalyser::FindEnd(const unsigned char* data, long long length, long long& tail, unsigned& recordSize) {
  for (long long q = 0; q + 6 <= length; ++q) {
    if (data[q] != 0x07) continue;
    for (const EndRecord& e : kEnds) {
      if (std::memcmp(data + q, e.bytes, 6) == 0) {
        tail = e.tail;
        recordSize = e.size;
        return q;
      }
    }
  }
  return -1;
}

bool FileCRWAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  const long long ss = reader.SectorSize();
  std::vector<unsigned char> window(static_cast<std::size_t>(ss + 80), 0);  // 80 bytes before, then the sector
  long long off = 0;
  for (; off <= kLimit; off += ss) {
    unsigned char* sector = window.data() + 80;
    if (!reader.Read(static_cast<unsigned long long>(off), sector, static_cast<std::size_t>(ss))) break;
    if (ByteView(sector, static_cast<std::size_t>(ss)).U32Le(static_cast<std::size_t>(ss - 4)) == 0) {
      long long tail = 0;
      unsigned size = 0;
      long long q = FindEnd(sector, ss, tail, size);
      if (q >= 0) {
        info.m_llSize = off + q + tail;
        break;
      }
      if (off > 0) {
        q = FindEnd(window.data(), 80 + 11, tail, size);
        if (q >= 0) {
          info.m_llSize = off - 80 + q + tail;
          break;
        }
      }
    }
    std::memcpy(window.data(), sector + ss - 80, 80);
  }
  if (info.m_llSize == 0) info.m_llSize = kLimit;
  info.m_eType = kRawTypeCrw;
  return true;
}

namespace Kalder {

namespace {
constexpr long long kMaxHeaderBytes = 512;
constexpr long long kMaxRootRecords = 512;
constexpr std::uint16_t kLocationMask = 0xC000;
constexpr std::uint16_t kInHeap = 0x0000;
constexpr std::uint16_t kInRecord = 0x4000;
}  // namespace

bool CRWAnalyser::CRWRawFileInfo::HeapEnd(const unsigned char* sector, int sectorSize, long long pos,
                                          const SearchContext& context, long long& end) const {
  if (m_llHeapStart < 0 || sectorSize < 4) return false;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView here(sector, static_cast<std::size_t>(sectorSize));
  for (int x = 0; x + 4 <= sectorSize; ++x) {
    // Bytes x .. x + 3 as the heap's last: the table's offset in the heap.
    const long long fileEnd = pos + x + 4;
    const long long table = m_llHeapStart + Get32(here, static_cast<std::size_t>(x));
    const long long span = fileEnd - 4 - table - 2;
    if (span < 10 || span % 10 != 0 || span / 10 > kMaxRootRecords) continue;
    const long long records = span / 10;
    std::size_t at = 0;
    if (!bytes.Locate(table - pos, static_cast<std::size_t>(2 + span), at)) continue;
    const ByteView& v = bytes.View();
    if (Get16(v, at) != records) continue;
    const long long tableInHeap = table - m_llHeapStart;
    long long inHeap = 0;
    bool valid = true;
    for (long long r = 0; r < records && valid; ++r) {
      const std::size_t rec = at + 2 + static_cast<std::size_t>(r) * 10;
      const std::uint16_t location = Get16(v, rec) & kLocationMask;
      if (location == kInRecord) continue;
      const long long size = Get32(v, rec + 2);
      const long long offset = Get32(v, rec + 6);
      valid = location == kInHeap && offset + size <= tableInHeap;
      if (valid && size > 0) ++inHeap;
    }
    if (!valid || inHeap == 0) continue;
    end = fileEnd;
    return true;
  }
  return false;
}

int CRWAnalyser::CRWRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeDone;
  if (pos == 0 && sectorSize >= 14) {
    // The header: byte order, then its own length, where the root heap starts.
    const ByteView header(sector, static_cast<std::size_t>(sectorSize));
    m_bBigEndian = sector[0] == 'M';
    const long long length = Get32(header, 2);
    if ((sector[0] == 'I' || sector[0] == 'M') && sector[1] == sector[0] && length >= 14 && length <= kMaxHeaderBytes) {
      m_llHeapStart = length;
    }
  }
  // A size its heap proves, wherever it ends.
  if (long long end = 0; HeapEnd(sector, sectorSize, pos, context, end)) {
    m_llSize = end;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  if (pos < m_llMinimum + m_llExtra) return kSizeNeedMore;
  if (pos >= m_llCap) {
    m_llSize = m_llCap;
    streammember::NameRange(*this, streammember::kFormA, sectorNumber);
    return kSizeDone;
  }
  return CKalderRecord::CalcRawSize(sector, sectorSize, sectorNumber, context);
}

int CRWAnalyser::CRWRawFileInfo::bContinue(unsigned char* sector, int sectorSize, long long sectorNumber, long long pos,
                                           const SearchContext& context) {
  if (context.zeroTailBytes < 9) return kWalkNeedsMore;
  const int used = UsedBytes(sector, sectorSize);
  long long tail = 0;
  unsigned size = 0;
  long long q = FileCRWAnalyser::FindEnd(sector, used, tail, size);
  if (q >= 0) {
    m_llWalkedEnd = pos + q + tail;
    const long long after = q + tail;
    if (size == 178 && after + 4 <= sectorSize &&
        ByteView(sector, static_cast<std::size_t>(sectorSize)).U32Le(static_cast<std::size_t>(after)) != 0) {
      m_llWalkedEnd += 10;
    }
    return kWalkEnded;
  }
  if (sectorNumber >= 2 && context.previousBlockStartSector < sectorNumber) {
    const StreamBytes bytes(sector, sectorSize, context);
    std::size_t at = 0;
    if (bytes.Locate(-86, 172, at)) {
      q = FileCRWAnalyser::FindEnd(bytes.View().Data() + at, 172, tail, size);
      if (q >= 0) {
        m_llWalkedEnd = pos - 86 + q + tail;
        return kWalkEnded;
      }
    }
  }
  return kWalkNeedsMore;
}

}  // namespace Kalder
