#include "carving/FileOLEAnalyser.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "carving/RawFileBuffer.h"
#include "carving/StreamBytes.h"
#include "core/util/Assert.h"
#include "core/util/ByteView.h"

namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;

// A directory entry's name as bytes; empty when it holds a code unit above
// 0xFF or no terminator.
std::string EntryName(const ByteView& dir, std::size_t entry) {
  std::string name;
  const std::size_t base = entry * 128;
  if (!dir.Has(base, 128)) return name;
  for (std::size_t i = 0; i < 32; ++i) {
    const std::uint16_t c = dir.U16Le(base + 2 * i);
    if (c == 0) return name;
    if (c > 0xFF) return {};
    name.push_back(static_cast<char>(c));
  }
  return {};
}

}  // namespace

bool OleWalk::AddFat(std::uint32_t k) {
  if (k >= kMaxRegSect || m_fats.size() >= kMaxFatSectors) return false;
  m_fats.push_back(k);
  m_fatDone.push_back(0);
  return true;
}

int OleWalk::ReadHeader(const Reader& read, std::vector<unsigned char>& buf) {
  const ReadResult r = read(0, 512, buf);
  if (r == kLater) {
    m_u64Next = 0;
    return kSizeNeedMore;
  }
  if (r == kLost) return kNoFile;
  const ByteView h(buf.data(), buf.size());
  if (h.U32Le(0) != 0xE011CFD0 || h.U32Le(4) != 0xE11AB1A1) return kNoFile;
  const unsigned shift = h.U16Le(0x1E);
  if (h.U16Le(0x1A) == 4 && shift == 12) {
    m_uSectorBytes = 4096;
  } else if (shift != 9) {
    return kNoFile;
  }
  for (std::size_t i = 0; i < 109; ++i) {
    const std::uint32_t k = h.U32Le(0x4C + 4 * i);
    if (k == kFree) continue;
    if (!AddFat(k)) return kNoFile;
  }
  m_uNextDifat = h.U32Le(0x44);
  m_uDirSector = h.U32Le(0x30);
  if (m_uDirSector >= kMaxRegSect || m_fats.empty()) return kNoFile;
  m_bHeader = true;
  return kSizeDone;
}

bool OleWalk::ReadDifat(const Reader& read, std::vector<unsigned char>& buf, std::uint64_t& next) {
  const unsigned entries = m_uSectorBytes / 4;
  while (m_uNextDifat != kEndOfChain && m_uNextDifat != kFree) {
    if (m_uNextDifat >= kMaxRegSect || !m_difatSeen.insert(m_uNextDifat).second) return false;
    const ReadResult r = read(SectorOffset(m_uNextDifat), m_uSectorBytes, buf);
    if (r == kLost) return false;
    if (r == kLater) {
      m_difatSeen.erase(m_uNextDifat);
      next = std::min(next, SectorOffset(m_uNextDifat));
      return true;
    }
    const ByteView d(buf.data(), buf.size());
    for (unsigned i = 0; i + 1 < entries; ++i) {
      const std::uint32_t k = d.U32Le(4 * static_cast<std::size_t>(i));
      if (k >= kEndOfChain) continue;
      if (!AddFat(k)) return false;
    }
    m_uNextDifat = d.U32Le(4 * static_cast<std::size_t>(entries - 1));
  }
  return true;
}

bool OleWalk::ReadFats(const Reader& read, std::vector<unsigned char>& buf, std::uint64_t& next) {
  const unsigned entries = m_uSectorBytes / 4;
  for (std::size_t i = 0; i < m_fats.size(); ++i) {
    if (m_fatDone[i] != 0) continue;
    const ReadResult r = read(SectorOffset(m_fats[i]), m_uSectorBytes, buf);
    if (r == kLost) return false;
    if (r == kLater) {
      next = std::min(next, SectorOffset(m_fats[i]));
      continue;
    }
    const ByteView f(buf.data(), buf.size());
    std::uint64_t used = 0;
    for (unsigned e = entries; e > 0; --e) {
      if (f.U32Le(4 * static_cast<std::size_t>(e - 1)) != kFree) {
        used = e;
        break;
      }
    }
    if (used != 0) m_u64MaxEnd = std::max<std::uint64_t>(m_u64MaxEnd, i * static_cast<std::uint64_t>(entries) + used);
    m_fatDone[i] = 1;
    ++m_fatsDone;
  }
  return true;
}

bool OleWalk::ReadDirectory(const Reader& read, std::vector<unsigned char>& buf, std::uint64_t& next) {
  const std::uint64_t at = SectorOffset(m_uDirSector);
  ReadResult r = read(at, 1024, buf);
  if (r != kRead) r = read(at, 512, buf);
  if (r == kLost) return false;
  if (r == kLater) {
    next = std::min(next, at);
    return true;
  }
  CRawFileInfo probe;
  m_iDirType = FileOLEAnalyser::CheckSectDirData(buf.data(), static_cast<int>(buf.size()), probe);
  m_bDirRead = true;
  const ByteView dir(buf.data(), buf.size());
  const std::string summary = std::string("\x05") + "SummaryInformation";
  for (std::size_t e = 0; e < buf.size() / 128; ++e) {
    if (dir.U8(e * 128 + 0x42) == 2 && EntryName(dir, e) == summary) {
      m_uSummaryStart = dir.U32Le(e * 128 + 0x74);
      m_uSummarySize = dir.U32Le(e * 128 + 0x78);
      break;
    }
  }
  return true;
}

int OleWalk::Finish(const Reader& read) {
  // The header, then the sectors the FAT covers; the directory and the FAT
  // sectors themselves must lie inside.
  if (m_u64MaxEnd == 0 || m_uDirSector >= m_u64MaxEnd) return kNoFile;
  for (std::uint32_t k : m_fats) {
    if (k >= m_u64MaxEnd) return kNoFile;
  }
  m_u64Size = (m_u64MaxEnd + 1) * m_uSectorBytes;
  if (m_u64Size > kMaxSize) return kNoFile;
  // A summary of 4096 bytes or more lies in regular sectors, usually in a row.
  if (!m_bSummaryTried && m_uSummarySize >= 4096 && m_uSummaryStart < m_u64MaxEnd) {
    const ReadResult r = read(SectorOffset(m_uSummaryStart), 4096, m_summary);
    if (r == kLater) {
      m_summary.clear();
      m_u64Next = SectorOffset(m_uSummaryStart);
      return kSizeNeedMore;
    }
    if (r != kRead) m_summary.clear();
  }
  m_bSummaryTried = true;
  return kSizeDone;
}

int OleWalk::Step(const Reader& read) {
  std::vector<unsigned char> buf;
  if (!m_bHeader) {
    const int header = ReadHeader(read, buf);
    if (header != kSizeDone) return header;
  }
  std::uint64_t next = ~0ULL;
  // DIFAT chain: FAT sectors beyond the 109 of the header; then every FAT
  // sector, in whatever order it lies on disk; then the directory.
  if (!ReadDifat(read, buf, next) || !ReadFats(read, buf, next)) return kNoFile;
  if (!m_bDirRead && !ReadDirectory(read, buf, next)) return kNoFile;
  const bool chainDone = m_uNextDifat == kEndOfChain || m_uNextDifat == kFree;
  if (!chainDone || m_fatsDone < m_fats.size() || !m_bDirRead) {
    m_u64Next = next;
    return kSizeNeedMore;
  }
  return Finish(read);
}

int FileOLEAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  QV_ASSERT(sector != nullptr);
  if (ByteView(sector, 8).U32Le(4) != 0xE11AB1A1) return 0;
  probe.m_eType = kTypeOle;
  return 1;
}

int FileOLEAnalyser::CheckSectDirData(const unsigned char* buffer, int length, CRawFileInfo& info) {
  int type = kTypeMof;
  if (buffer == nullptr || length < 128) {
    info.m_eType = type;
    return type;
  }
  const ByteView dir(buffer, static_cast<std::size_t>(length));
  const std::size_t count = static_cast<std::size_t>(length) / 128;
  std::vector<std::string> n(std::max<std::size_t>(count, 4));
  for (std::size_t i = 0; i < count; ++i) n[i] = EntryName(dir, i);
  const std::string summary = std::string("\x05") + "SummaryInformation";
  for (std::size_t i = 0; i < count; ++i) {
    if (n[i] == "WordDocument" || n[i] == "ObjectPool") type = kRawTypeDoc;
  }
  if (n[1] == "Workbook" || n[1] == "Book" || n[2] == "Workbook" || n[2] == "Book") type = kRawTypeXls;
  if (n[1] == "PowerPoint Document" || n[2] == "PowerPoint Document" || n[3] == "PowerPoint Document" ||
      n[1] == "Pictures" || n[1] == "PP40") {
    type = kRawTypePpt;
  }
  if (n[1] == "Scene" || n[2] == "Scene") type = kRawTypeMax;
  if (n[1] == "VisioDocument") type = kRawTypeVsd;
  if (n[1] == "PerfectOffice_MAIN" && n[2] == "PerfectOffice_OBJECTS") {
    static constexpr unsigned char kZero[16] = {};
    if (n[3] == summary) {
      type = kRawTypeShw;
    } else if (dir.Equals(0x50, kZero, 16)) {
      type = kRawTypeWpg;
    } else {
      type = kRawTypeWpd;
    }
  }
  if (n[1] == "RSeStorage" && (n[2] == "RSeEmbeddings" || n[3] == "RSeEmbeddings")) type = kRawTypeIpt;
  if (n[1] == "Objects" && n[2] == "Quill" && (n[3] == "Escher" || n[3] == "QuillSub")) type = kRawTypePub;
  if (n[1] == "NativeContent_MAIN") type = kRawTypeQpw;
  if (n[1] == "properties") type = kRawTypeAaf;
  if (n[1] == std::string("\x01") + "CompObj" &&
      ((n[2] == "   19" && n[3] == "   29") || (n[2] == "   112" && n[3] == "   212"))) {
    type = kRawTypeMpp;
  }
  if ((n[1] == "PropData" && n[2] == "Forms" && n[3] == "Reports") ||
      (n[1] == "VBA" && n[2] == "VBAProject" && n[3] == "VBA")) {
    type = kRawTypeAdp;
  }
  info.m_eType = type;
  return type;
}

void FileOLEAnalyser::OleRawFileInfo::SetFileTag(const std::string& text) {
  if (m_eType != kRawTypeDoc && m_eType != kRawTypePpt && m_eType != kRawTypeXls) return;
  std::string value = text;
  SetRawFileTagAndValue(kRawTagOffice, value);
  if (!m_strName.empty()) SetRawFileName(value + "_" + GetRawFileName());
}

void FileOLEAnalyser::OleRawFileInfo::SetFileName(const FileProperty& p) {
  const std::string& title = p[kSummaryTitle];
  const std::string& author = p[kSummaryAuthor];
  const std::string& last = p[kSummaryLastAuthor];
  const std::string& created = p[kSummaryCreated];
  const std::string& saved = p[kSummarySaved];
  const std::string t = !saved.empty() ? saved : created;
  std::string name;
  if (!t.empty()) {
    const std::string& who = !title.empty() ? title : (!last.empty() ? last : author);
    name = who.empty() ? t + " " : who + "_" + t + " ";
  } else {
    std::string pick;
    for (const std::string* s : {&title, &last, &author}) {
      if (!s->empty()) pick = *s;
    }
    if (!pick.empty()) name = pick + " ";
  }
  if (!name.empty()) SetRawFileName(name);
  if (!t.empty()) m_strTime = t;
  std::string label = !last.empty() ? last : author;
  if (label.empty() && (!created.empty() || !title.empty() || !saved.empty())) label = "unKnown";
  if (!label.empty()) SetFileTag(label);
}

void FileOLEAnalyser::OleRawFileInfo::Finish(long long sectorSize) {
  m_llSize = static_cast<long long>(m_walk.Size());
  m_eType = m_walk.DirectoryType();
  const std::vector<unsigned char>& summary = m_walk.SummaryBytes();
  if (m_iSummaryFound == 0 && !summary.empty() &&
      m_summary.GetFileInformation(summary.data(), m_property, static_cast<int>(summary.size()))) {
    m_iSummaryFound = 1;
  }
  char name[128];
  std::snprintf(name, sizeof(name), "%lld-%lld ", m_llStartSector,
                m_llStartSector + (sectorSize > 0 ? m_llSize / sectorSize : 0));
  SetRawFileName(name);
  if (m_iSummaryFound != 0) SetFileName(m_property);
  m_iSizeSettled = 1;
}

int FileOLEAnalyser::OleRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                                 SearchContext& context) {
  if (m_iSizeSettled != 0) return kSizeDone;
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  if (m_bFailed) return kSizeDone;
  const StreamBytes bytes(sector, sectorSize, context);
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  // A property set may begin at any 512-byte slice of the find.
  if (m_iSummaryFound == 0 && (m_walk.Size() == 0 || pos < static_cast<long long>(m_walk.Size()))) {
    for (int slice = 0; slice + 512 <= sectorSize; slice += 512) {
      if (ByteView(sector + slice, 4).U32Le(0) != 0x0000FFFE) continue;
      const long long room = std::min<long long>(bytes.After() - slice, 4096);
      if (room >= 48 && m_summary.GetFileInformation(sector + slice, m_property, static_cast<int>(room))) {
        m_iSummaryFound = 1;
        break;
      }
    }
  }
  if (static_cast<unsigned long long>(pos) > OleWalk::kMaxSize) {
    m_bFailed = true;
    m_llSize = 0;
    return kSizeDone;
  }
  if (static_cast<long long>(m_walk.NextOffset()) > pos + bytes.After()) return kSizeNeedMore;
  const OleWalk::Reader reader = [&](std::uint64_t offset, std::size_t n, std::vector<unsigned char>& out) {
    if (offset > static_cast<std::uint64_t>(pos + bytes.After())) return OleWalk::kLater;
    std::size_t at = 0;
    const long long rel = static_cast<long long>(offset) - pos;
    if (bytes.Locate(rel, n, at)) {
      out.assign(bytes.View().Data() + at, bytes.View().Data() + at + n);
      return OleWalk::kRead;
    }
    return rel + static_cast<long long>(n) > bytes.After() && rel >= -bytes.Before() ? OleWalk::kLater : OleWalk::kLost;
  };
  const int r = m_walk.Step(reader);
  if (r == kSizeNeedMore) return kSizeNeedMore;
  if (r == 0) {
    // The stream cannot size it: the device reader tries.
    m_bFailed = true;
    m_llSize = 0;
    return kSizeDone;
  }
  Finish(sectorSize);
  return kSizeDone;
}

bool FileOLEAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  QV_ASSERT(device != nullptr);
  info.m_llSize = 0;
  if (device == nullptr || info.m_llStartSector < 0) return false;
  RawFileBuffer buffer(device, static_cast<unsigned long long>(info.m_llStartSector));
  const OleWalk::Reader reader = [&](std::uint64_t offset, std::size_t n, std::vector<unsigned char>& out) {
    out.resize(n);
    return buffer.Read(offset, out.data(), n) ? OleWalk::kRead : OleWalk::kLost;
  };
  OleWalk walk;
  if (walk.Step(reader) != kSizeDone) return false;
  info.m_llSize = static_cast<long long>(walk.Size());
  info.m_eType = walk.DirectoryType();
  if (auto* ole = dynamic_cast<OleRawFileInfo*>(&info)) {
    const std::vector<unsigned char>& summary = walk.SummaryBytes();
    if (ole->m_iSummaryFound == 0 && !summary.empty() &&
        ole->m_summary.GetFileInformation(summary.data(), ole->m_property, static_cast<int>(summary.size()))) {
      ole->m_iSummaryFound = 1;
    }
    const long long ss = buffer.SectorSize();
    char name[128];
    std::snprintf(name, sizeof(name), "%lld-%lld ", info.m_llStartSector, info.m_llStartSector + info.m_llSize / ss);
    ole->SetRawFileName(name);
    if (ole->m_iSummaryFound != 0) ole->SetFileName(ole->m_property);
  }
  return true;
}
