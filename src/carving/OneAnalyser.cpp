#include "carving/OneAnalyser.h"

#include <cstring>

#include "carving/RawFileBuffer.h"

namespace {
constexpr unsigned char kHeader[] = {0x8C, 0xD8, 0xA7, 0x4D, 0xAE, 0xB1, 0x53, 0x78, 0xD0, 0x29, 0x96, 0xD3};
constexpr std::size_t kHeaderBytes = 204;
}  // namespace

bool FileONEAnalyser::IsOneHeader(const unsigned char* at) {
  return at != nullptr && std::memcmp(at, kHeader, sizeof(kHeader)) == 0;
}

long long FileONEAnalyser::SectionLength(const ByteView& v, std::size_t header) {
  const auto a = static_cast<long long>(v.U64Le(header + 196));
  return a != 0 ? a : static_cast<long long>(v.U64Le(header + 100));
}

int FileONEAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  static constexpr unsigned char kLead[] = {0xE4, 0x52, 0x5C, 0x7B};
  if (sector == nullptr || std::memcmp(sector, kLead, 4) != 0 || !IsOneHeader(sector + 4)) return 0;
  probe.m_eType = kRawTypeOne;
  return 1;
}

bool FileONEAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  long long offset = 0;
  while (offset <= kLimit) {
    unsigned char head[kHeaderBytes];
    if (!reader.Read(static_cast<unsigned long long>(offset), head, sizeof(head)) || !IsOneHeader(head + 4)) break;
    const long long length = SectionLength(ByteView(head, sizeof(head)), 0);
    if (length <= 0 || length > kLimit) {
      offset = kLimit;
      break;
    }
    offset += length;
  }
  info.m_llSize = offset;
  info.m_eType = kRawTypeOne;
  return offset > 0;
}

namespace RawSpeed {

int OneAnalyser::OneRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (m_llWalk < 0) {
    if (!bytes.Locate(-pos, kHeaderBytes, at)) return kSizeDone;
    m_llWalk = FileONEAnalyser::SectionLength(v, at);
    if (m_llWalk <= 0) return kSizeDone;
  }
  if (pos > kCap) return kSizeDone;
  while (m_llWalk <= pos + sectorSize && m_llWalk <= kCap) {
    if (!bytes.Locate(m_llWalk - pos, 16, at)) return kSizeNeedMore;  // the section header arrives later
    if (!FileONEAnalyser::IsOneHeader(v.Data() + at + 4)) {
      m_llSize = m_llWalk;
      streammember::NameRange(*this, streammember::kFormA, sectorNumber);
      return kSizeDone;
    }
    if (!bytes.Locate(m_llWalk - pos, kHeaderBytes, at)) return kSizeNeedMore;
    const long long length = FileONEAnalyser::SectionLength(v, at);
    if (length <= 0) {
      m_llSize = m_llWalk;  // a section that cannot move the walk on ends it
      streammember::NameRange(*this, streammember::kFormA, sectorNumber);
      return kSizeDone;
    }
    m_llWalk += length;
  }
  return kSizeNeedMore;
}

}  // namespace RawSpeed
