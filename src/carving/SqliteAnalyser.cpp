#include "carving/SqliteAnalyser.h"

#include <cstring>
#include <string>

namespace BruteForce {

int CFCPEvtAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || std::memcmp(sector, "SQLite format 3", 15) != 0) return 0;
  const ByteView h(sector, 64);
  const unsigned pageSize = h.U16Be(16);
  if (pageSize == 0 || pageSize % 1024 != 0 || h.U8(59) >= 4) return 0;
  probe.m_eType = kRawTypeFcpevent;
  return 1;
}

bool CFCPEvtFileInfo::PageInformation(const StreamBytes& bytes, long long pos) {
  std::size_t at = 0;
  if (!bytes.Locate(-pos, 112, at)) return false;
  const ByteView& v = bytes.View();
  m_iPageSize = v.U16Be(at + 16);
  m_uDbPages = v.U32Be(at + 28);
  m_uFreelistPages = v.U32Be(at + 36);
  m_iContentStart = v.U16Be(at + 105);
  m_iFirstCell = v.U16Be(at + 108);
  m_llNextPage = m_iPageSize;
  const long long stated = static_cast<long long>(m_iPageSize) * m_uDbPages;
  if (v.U32Be(at + 24) == v.U32Be(at + 92) && stated > 0 && stated <= kCap) m_llStated = stated;
  return true;
}

void CFCPEvtFileInfo::JudeMuseSuffix(const StreamBytes& bytes, long long pos) {
  const ByteView& v = bytes.View();
  std::size_t at = 0;
  if (!bytes.Locate(m_iFirstCell + 10 - pos, 34, at)) return;
  std::string text;
  for (std::size_t i = 0; i < 34; i += 2) {
    const unsigned unit = v.U16Le(at + i);
    text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  if (text.rfind("tableactiveactive", 0) == 0) {
    m_eType = kRawTypeMuse;
    m_iCheckPending = 0;
    return;
  }
  const long long from = (m_iFirstCell / 512) * 512 + m_iContentStart % 512 + 10;
  if (!bytes.Locate(from - pos, 200, at)) return;
  const std::string window(reinterpret_cast<const char*>(v.Data() + at), 200);
  if (window.find("payload") != std::string::npos && window.find("metadata") != std::string::npos) {
    m_eType = kRawTypeSketch;
    m_iCheckPending = 0;
  }
}

int CFCPEvtFileInfo::GuessCalculate(const ByteView& v, std::size_t at) {
  const unsigned kind = v.U8(at);
  switch (kind) {
    case 1:
    case 2:
    case 5:
    case 8:
    case 10:
    case 13:
    case 0x41:
      m_iRunStarted = 0;
      m_iRunLength = 0;
      return 0;
    case 0: {
      const int x = v.U8(at + 3);
      if (m_iRunStarted == 0 && x != 0) {
        m_iRunStarted = 1;
        m_iRunLength = 1;
      } else if (x == m_iLastNext + 1) {
        m_iRunLength = 0;
      } else if (m_iRunLength >= 5) {
        return 1;
      } else {
        m_iRunLength = v.U8(at + 4) != 0 ? 0 : m_iRunLength + 1;
      }
      m_iLastNext = x;
      return 0;
    }
    default:
      return 1;
  }
}

bool CFCPEvtFileInfo::AnalyseABCDDBFileType(const ByteView& v, std::size_t page, unsigned cells) const {
  const std::size_t size = static_cast<std::size_t>(m_iPageSize);
  if (2u * cells + 8 > size || !v.Has(page, size)) return false;
  int named = 0;
  for (unsigned i = 0; i < cells; ++i) {
    const std::size_t cell = v.U16Be(page + 8 + 2 * i);
    if (cell + 3 > size) return false;
    const unsigned h = v.U8(page + cell + 2);
    const unsigned l = v.U8(page + cell);
    if (h >= l || l - h > 50 || cell + 2 + l > size) return false;
    const char* text = reinterpret_cast<const char*>(v.Data() + page + cell + h + 2);
    const std::string value(text, l - h);
    if (value.rfind("ABCDRecord", 0) == 0 || value.rfind("ABCDPhoneNumber", 0) == 0) {
      if (++named == 2) return true;
    }
  }
  return false;
}

int CFCPEvtFileInfo::EndSearch(long long pageOffset, long long sectorNumber) {
  const long long f = m_iCheckPending != 0 ? m_uFreelistPages : 0;
  long long size = pageOffset + (f - m_iRunLength) * static_cast<long long>(m_iPageSize);
  if (size > kCap) size = kCap;
  if (m_llStated > 0) {
    size = m_llStated;
  } else if (m_eType == kRawTypeSketch) {
    const long long stated = static_cast<long long>(m_iPageSize) * m_uDbPages;
    const long long slack = 3LL * m_iPageSize;
    if (stated > 0 && stated - size <= slack && size - stated <= slack) size = stated;
  }
  m_llSize = size > 0 ? size : 0;
  streammember::NameRange(*this, streammember::kFormA, sectorNumber);
  return 1;
}

int CFCPEvtFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                 SearchContext& context) {
  long long pos = 0;
  if (!streammember::SectorOffset(*this, sector, sectorSize, sectorNumber, pos)) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  if (m_bFirst) {
    if (!PageInformation(bytes, pos)) return kSizeNeedMore;
    m_bFirst = false;
    if (m_iPageSize == 0) {
      m_llSize = 0;
      return kSizeDone;
    }
  }
  if (m_iCheckPending != 0 && pos < m_iPageSize) JudeMuseSuffix(bytes, pos);
  const ByteView& v = bytes.View();
  while (m_llNextPage < pos + sectorSize) {
    if (m_llNextPage >= kCap) return EndSearch(kCap, sectorNumber);
    if (m_llStated > 0 && m_llNextPage >= m_llStated) return EndSearch(m_llStated, sectorNumber);
    std::size_t at = 0;
    if (!bytes.Locate(m_llNextPage - pos, 8, at)) return kSizeNeedMore;
    const unsigned cells = v.U16Be(at + 3);
    if (m_eType != kRawTypeAbcddb && cells >= 26 && cells <= 34) {
      std::size_t whole = 0;
      if (bytes.Locate(m_llNextPage - pos, static_cast<std::size_t>(m_iPageSize), whole)) {
        if (AnalyseABCDDBFileType(v, whole, cells)) m_eType = kRawTypeAbcddb;
      } else if (m_llNextPage + m_iPageSize > pos + sectorSize) {
        return kSizeNeedMore;  // the rest of the page arrives later
      }
    }
    if (GuessCalculate(v, at) != 0) return EndSearch(m_llNextPage, sectorNumber);
    m_llNextPage += m_iPageSize;
  }
  return kSizeNeedMore;
}

}  // namespace BruteForce
