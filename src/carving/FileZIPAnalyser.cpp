#include "carving/FileZIPAnalyser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "carving/FileNameFilter.h"
#include "carving/OfficeTagFromXML.h"
#include "carving/RawFileBuffer.h"
#include "carving/StreamBytes.h"
#include "core/util/Assert.h"

namespace {

constexpr std::uint32_t kDescriptor = 0x08074B50;

// An end-of-central-directory record at file offset `at` whose directory
// ends right before it.
bool IsArchiveEnd(const ByteView& v, std::size_t i, std::uint64_t at) {
  if (!v.Has(i, 22) || v.U32Le(i) != classZipSearch::kEnd) return false;
  const std::uint64_t cdSize = v.U32Le(i + 12);
  const std::uint64_t cdOffset = v.U32Le(i + 16);
  if (cdOffset == 0xFFFFFFFF || cdSize == 0xFFFFFFFF) return true;  // Zip64
  return cdOffset + cdSize == at;
}

std::string CutName(const std::string& name) { return name.size() > 20 ? name.substr(0, 20) : name; }

// The bytes a data descriptor takes after a member whose header flags one
// (bit 3): 16 with its signature, 12 without, none when the next record
// starts at once. Shared by the sweep's walk and the device walk.
std::uint64_t DescriptorBytes(std::uint32_t signature, bool nextIsHeader) {
  if (signature == kDescriptor) return 16;
  return nextIsHeader ? 0 : 12;
}

constexpr std::uint16_t kFlagDescriptor = 0x0008;

// A record's fixed part and its name (and extra field) as the device holds them.
bool ReadRecordAt(RawFileBuffer& reader, std::uint64_t at, std::vector<unsigned char>& rec) {
  rec.assign(4, 0);
  if (!reader.Read(at, rec.data(), 4)) return false;
  const std::uint32_t sig = ByteView(rec.data(), 4).U32Le(0);
  std::size_t fixed = 4;
  if (sig == classZipSearch::kLocal) fixed = 30;
  if (sig == classZipSearch::kCentral) fixed = 46;
  if (sig == classZipSearch::kEnd) fixed = 22;
  rec.resize(fixed);
  if (!reader.Read(at, rec.data(), fixed)) return false;
  std::size_t more = 0;
  const ByteView h(rec.data(), fixed);
  if (sig == classZipSearch::kLocal) more = static_cast<std::size_t>(h.U16Le(26)) + h.U16Le(28);
  if (sig == classZipSearch::kCentral) more = h.U16Le(28);
  if (more == 0) return true;
  rec.resize(fixed + more);
  return reader.Read(at, rec.data(), rec.size());
}

// docProps/core.xml of the member at `offset`, read and parsed.
bool ReadCoreProperties(RawFileBuffer& reader, const ZipRecord& r, std::uint64_t offset, FileProperty& property) {
  if (r.compressed == 0 || r.compressed > Kalder::OfficeTagFromXML::kMaxMember) return false;
  std::vector<unsigned char> packed(static_cast<std::size_t>(r.compressed));
  std::string xml;
  if (!reader.Read(offset + r.dataOffset, packed.data(), packed.size()) ||
      !Kalder::OfficeTagFromXML::bDepress(packed.data(), packed.size(), static_cast<std::size_t>(r.uncompressed),
                                          r.method, xml)) {
    return false;
  }
  try {
    return Kalder::OfficeTagFromXML::AnalyzeTag(xml, property);
  } catch (...) {
    return false;
  }
}

}  // namespace

int FileZIPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  QV_ASSERT(sector != nullptr);
  probe.m_eType = classZipSearch::ZipIpaFileType(sector, 512) ? kRawTypeIpa : kTypeZip;
  return 1;
}

void FileZIPAnalyser::ZIPRawFileInfo::WillBeRemove(unsigned char*, long long) {
  // The device reader sizes it; only a name is kept.
  if (m_strName.empty() && m_llStartSector >= 0) {
    char name[64];
    std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, m_llStartSector);
    m_strName = name;
  }
}

void FileZIPAnalyser::ZIPRawFileInfo::FillFileInfo(long long sector, int sectorSize, int zeroTail) {
  m_strTagValue.clear();
  m_eTag = kRawTagNone;
  bool named = false;
  if (m_iPropertiesRead != 0 && m_bMaybeOffice) {
    const FileProperty& p = m_property;
    std::string label = !p[kOfficeLastAuthor].empty() ? p[kOfficeLastAuthor] : p[kOfficeAuthor];
    if (label.empty()) label = "unKnown";
    if (!p[kOfficeModified].empty()) m_strTime = p[kOfficeModified];
    std::string title = p[kOfficeTitle];
    if (title.size() > 24) title = CutUtf8(title, 24);
    const std::string& who =
        !title.empty() ? title : (!p[kOfficeLastAuthor].empty() ? p[kOfficeLastAuthor] : p[kOfficeAuthor]);
    std::string name;
    if (!who.empty()) {
      name = p[kOfficeModified].empty() ? who : who + "_" + p[kOfficeModified];
    } else if (!p[kOfficeModified].empty()) {
      name = p[kOfficeModified];
    } else {
      name = p[kOfficeCreated];
    }
    if (!name.empty()) {
      if (m_eType >= kRawTypeDocx && m_eType <= kRawTypePptx) {
        SetRawFileTagAndValue(kRawTagOffice, label);
        name = label + "_" + name;
      }
      SetRawFileName(name);
      named = true;
    }
  }
  if (!named) {
    char name[64];
    std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sector);
    SetRawFileName(name);
  }
  if (m_llSize == 0 && sector >= m_llStartSector && sectorSize > 0) {
    m_llSize = (sector - m_llStartSector + 1) * sectorSize - zeroTail;
  }
}

bool FileZIPAnalyser::ZIPRawFileInfo::TryCore(const StreamBytes& bytes, long long pos) {
  const long long dataAt = static_cast<long long>(m_u64CoreAt + m_core.dataOffset) - pos;
  std::size_t at = 0;
  if (!bytes.Locate(dataAt, static_cast<std::size_t>(m_core.compressed), at)) {
    // Not arrived yet: wait; already gone: give up.
    m_bCorePending = dataAt + static_cast<long long>(m_core.compressed) > bytes.After() && dataAt >= -bytes.Before();
    return false;
  }
  m_bCorePending = false;
  std::string xml;
  if (!Kalder::OfficeTagFromXML::bDepress(bytes.View().Data() + at, static_cast<std::size_t>(m_core.compressed),
                                          static_cast<std::size_t>(m_core.uncompressed), m_core.method, xml)) {
    return false;
  }
  try {
    if (!Kalder::OfficeTagFromXML::AnalyzeTag(xml, m_property)) return false;
  } catch (...) {
    return false;
  }
  m_iPropertiesRead = 1;
  return true;
}

int FileZIPAnalyser::ZIPRawFileInfo::Finish(long long sectorNumber, int sectorSize, int zeroTail, long long size) {
  m_llSize = size;
  m_eType = m_iSubType;
  if (m_llSize > 0) FillFileInfo(sectorNumber, sectorSize, zeroTail);
  return 1;
}

int FileZIPAnalyser::ZIPRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                                 SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  if (pos > 20 * m_llCap) return Finish(sectorNumber, sectorSize, 0, 0);
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& view = bytes.View();
  std::size_t at = 0;

  if (!m_bStarted) {
    m_bStarted = true;
    if (!Start(bytes)) return Finish(sectorNumber, sectorSize, 0, 0);
  }

  if (m_bCorePending && TryCore(bytes, pos)) m_bCorePending = false;

  while (m_bWalk && static_cast<long long>(m_u64Walk) < pos + sectorSize) {
    const long long rel = static_cast<long long>(m_u64Walk) - pos;
    if (!bytes.Locate(rel, 4, at)) {
      if (rel < -bytes.Before()) m_bWalk = false;  // passed out of reach
      break;
    }
    if (m_bDescriptor) {
      m_bDescriptor = false;
      const std::uint64_t skip = DescriptorBytes(view.U32Le(at), classZipSearch::IsValidHeader(view, at));
      if (skip != 0) {
        m_u64Walk += skip;
        continue;
      }
    }
    ZipRecord rec;
    const classZipSearch::Parse parse = classZipSearch::GetBlockSize(view, at, rec);
    if (parse == classZipSearch::kNeedMore) break;  // the rest arrives with the next block
    if (parse == classZipSearch::kInvalid || rec.size == 0) {
      return Finish(sectorNumber, sectorSize, context.zeroTailBytes, static_cast<long long>(m_u64Walk));
    }
    if (rec.signature == classZipSearch::kLocal) {
      if (!rec.name.empty() && !m_bFirstMember) {
        m_bFirstMember = true;
        m_strFirstMember = CutName(rec.name);
      }
      const std::size_t dataAt = at + static_cast<std::size_t>(std::min<std::uint64_t>(rec.dataOffset, view.Size()));
      const std::size_t avail = view.Size() - std::min(dataAt, view.Size());
      const ByteView data =
          view.Sub(dataAt, std::min<std::size_t>(avail, std::min<std::uint64_t>(rec.compressed, 1024)));
      m_iSubType = classZipSearch::LocalNameType(rec.name, data, m_bMaybeOffice, m_iSubType);
      if (rec.name == "docProps/core.xml" && m_iPropertiesRead == 0 && rec.compressed != 0 &&
          rec.compressed <= Kalder::OfficeTagFromXML::kMaxMember && rec.uncompressed != 0 &&
          rec.uncompressed <= Kalder::OfficeTagFromXML::kMaxMember) {
        m_core = rec;
        m_u64CoreAt = m_u64Walk;
        TryCore(bytes, pos);
      }
      if ((rec.flag & kFlagDescriptor) != 0 && rec.compressed == 0) {
        m_bWalk = false;  // sizes in a data descriptor: look for the end record
        m_u64Walk += rec.dataOffset;
        break;
      }
      m_bDescriptor = (rec.flag & kFlagDescriptor) != 0;
    } else if (rec.signature == classZipSearch::kCentral) {
      m_iSubType = classZipSearch::CentralNameType(rec.name, m_bMaybeOffice, m_iSubType);
    }
    m_u64Walk += rec.size;
    if (rec.signature == classZipSearch::kEnd) {
      return Finish(sectorNumber, sectorSize, context.zeroTailBytes, static_cast<long long>(m_u64Walk));
    }
  }

  if (m_bWalk) return kSizeNeedMore;
  // Central headers still type the archive; the end record closes it.
  const long long end = ScanForEnd(bytes, sector, sectorSize, pos);
  return end > 0 ? Finish(sectorNumber, sectorSize, context.zeroTailBytes, end) : kSizeNeedMore;
}

bool FileZIPAnalyser::ZIPRawFileInfo::Start(const StreamBytes& bytes) {
  const ByteView& view = bytes.View();
  std::size_t at = 0;
  m_iSubType = m_eType == kRawTypeIpa ? kRawTypeIpa : kTypeZip;
  if (!bytes.Locate(0, 30, at) || !classZipSearch::IsValidHeader(view, at) ||
      view.U32Le(at) != classZipSearch::kLocal) {
    return false;
  }
  ZipRecord first;
  if (classZipSearch::GetBlockSize(view, at, first) == classZipSearch::kOk) {
    if (classZipSearch::JudgeMaybeOfficeType(first.name)) {
      m_bMaybeOffice = true;
      m_llCap = kOfficeCap;
    } else if (classZipSearch::IsCorelDraw(first.name)) {
      m_iSubType = kRawTypeCdr;
    }
  }
  return true;
}

long long FileZIPAnalyser::ZIPRawFileInfo::ScanForEnd(const StreamBytes& bytes, const unsigned char* sector,
                                                      int sectorSize, long long pos) {
  const ByteView& view = bytes.View();
  std::size_t at = 0;
  if (!bytes.Locate(0, static_cast<std::size_t>(sectorSize), at)) return 0;
  for (int i = 0; i + 4 <= sectorSize; ++i) {
    if (sector[i] != 'P' || sector[i + 1] != 'K') continue;
    const std::size_t here = at + static_cast<std::size_t>(i);
    const std::uint32_t sig = view.U32Le(here);
    const long long fileAt = pos + i;
    if (sig == classZipSearch::kCentral) {
      ZipRecord rec;
      if (classZipSearch::GetBlockSize(view, here, rec) == classZipSearch::kOk) {
        m_iSubType = classZipSearch::CentralNameType(rec.name, m_bMaybeOffice, m_iSubType);
      }
    } else if (sig == classZipSearch::kEnd && view.Has(here, 22) &&
               IsArchiveEnd(view, here, static_cast<std::uint64_t>(fileAt))) {
      return fileAt + 22 + view.U16Le(here + 20);
    }
  }
  return 0;
}

std::uint64_t FileZIPAnalyser::GetProbablySize(std::uint64_t offset, RawFileBuffer& reader,
                                               std::uint64_t* endRecordAt) {
  constexpr std::size_t kChunk = 65536;
  std::vector<unsigned char> chunk(kChunk + 22);
  for (std::uint64_t p = offset; p <= kEndSearchLimit; p += kChunk) {
    std::size_t have = chunk.size();
    while (have >= 22 && !reader.Read(p, chunk.data(), have)) have /= 2;
    if (have < 22) return 0;
    const ByteView v(chunk.data(), have);
    for (std::size_t i = 0; i + 22 <= have && i < kChunk; ++i) {
      if (chunk[i] == 'P' && IsArchiveEnd(v, i, p + i)) {
        if (endRecordAt != nullptr) *endRecordAt = p + i;
        return p + i + 22 + v.U16Le(i + 20);
      }
    }
    if (have < chunk.size()) return 0;
  }
  return 0;
}

void FileZIPAnalyser::TypeFromCentralDirectory(RawFileBuffer& reader, std::uint64_t endRecord, int& sub) {
  unsigned char eocd[22];
  if (!reader.Read(endRecord, eocd, sizeof(eocd))) return;
  std::vector<unsigned char> rec;
  std::uint64_t cd = ByteView(eocd, sizeof(eocd)).U32Le(16);
  for (int k = 0; k < 65536 && cd < endRecord && ReadRecordAt(reader, cd, rec); ++k) {
    ZipRecord c;
    if (classZipSearch::GetBlockSize(ByteView(rec.data(), rec.size()), 0, c) != classZipSearch::kOk ||
        c.signature != classZipSearch::kCentral || c.size == 0) {
      return;
    }
    sub = classZipSearch::CentralNameType(c.name, m_bMaybeOffice, sub);
    cd += c.size;
  }
}

bool FileZIPAnalyser::LocalMember(RawFileBuffer& reader, const ZipRecord& r, DeviceWalk& walk) {
  if (walk.firstName.empty() && !r.name.empty()) {
    walk.firstName = r.name;
    m_bMaybeOffice = r.name == "[Content_Types].xml" || r.name == "docProps/app.xml" || r.name == "Categories.xml" ||
                     r.name.find("doc") != std::string::npos || r.name.find("ppt") != std::string::npos;
    m_bCorelDraw = classZipSearch::IsCorelDraw(r.name);
  }
  std::vector<unsigned char> data(static_cast<std::size_t>(std::min<std::uint64_t>(r.compressed, 1024)));
  if (!data.empty() && !reader.Read(walk.offset + r.dataOffset, data.data(), data.size())) data.clear();
  walk.sub = classZipSearch::LocalNameType(r.name, ByteView(data.data(), data.size()), m_bMaybeOffice, walk.sub);
  if (r.name == "docProps/core.xml" && !walk.propertiesRead) {
    walk.propertiesRead = ReadCoreProperties(reader, r, walk.offset, walk.property);
  }
  if ((r.flag & kFlagDescriptor) != 0 && r.compressed == 0) {
    // Sizes in a data descriptor: the end record closes the archive and the
    // central directory still names the members.
    std::uint64_t endRecord = 0;
    const std::uint64_t end = GetProbablySize(walk.offset + r.dataOffset, reader, &endRecord);
    if (end == 0) return false;
    TypeFromCentralDirectory(reader, endRecord, walk.sub);
    walk.offset = end;
    walk.ended = true;
    return true;
  }
  walk.offset += r.size;
  if ((r.flag & kFlagDescriptor) != 0) {
    unsigned char next[30];
    const bool haveSignature = reader.Read(walk.offset, next, 4);
    const std::uint32_t signature = haveSignature ? ByteView(next, 4).U32Le(0) : 0;
    const bool nextIsHeader = signature != kDescriptor && reader.Read(walk.offset, next, sizeof(next)) &&
                              classZipSearch::IsValidHeader(ByteView(next, sizeof(next)), 0);
    walk.offset += DescriptorBytes(signature, nextIsHeader);
  }
  return true;
}

bool FileZIPAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  QV_ASSERT(device != nullptr);
  info.m_llSize = 0;
  if (device == nullptr || info.m_llStartSector < 0) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  std::vector<unsigned char> head(512);
  if (!reader.Read(0, head.data(), head.size())) return false;
  DeviceWalk walk;
  walk.sub = classZipSearch::ZipIpaFileType(head.data(), head.size()) ? kRawTypeIpa : kTypeZip;
  if (!classZipSearch::IsValidHeader(ByteView(head.data(), head.size()), 0)) return false;

  std::vector<unsigned char> rec;
  for (int count = 0; walk.offset <= kDeviceWalkLimit && count < 4000000 && !walk.ended; ++count) {
    if (!ReadRecordAt(reader, walk.offset, rec)) break;
    ZipRecord r;
    if (classZipSearch::GetBlockSize(ByteView(rec.data(), rec.size()), 0, r) != classZipSearch::kOk || r.size == 0) {
      break;
    }
    if (r.signature == classZipSearch::kLocal) {
      if (!LocalMember(reader, r, walk)) return false;
      continue;
    }
    if (r.signature == classZipSearch::kCentral)
      walk.sub = classZipSearch::CentralNameType(r.name, m_bMaybeOffice, walk.sub);
    walk.offset += r.size;
    if (r.signature == classZipSearch::kEnd) walk.ended = true;
  }
  if (walk.offset == 0) return false;
  if (m_bCorelDraw && !m_bMaybeOffice) walk.sub = kRawTypeCdr;
  info.m_llSize = static_cast<long long>(walk.offset);
  info.m_eType = walk.sub;
  auto* zip = dynamic_cast<ZIPRawFileInfo*>(&info);
  if (zip != nullptr) {
    if (walk.propertiesRead && zip->m_iPropertiesRead == 0) {
      zip->m_property = walk.property;
      zip->m_iPropertiesRead = 1;
    }
    zip->m_bMaybeOffice = zip->m_bMaybeOffice || m_bMaybeOffice;
    if (zip->m_iPropertiesRead != 0 && zip->m_bMaybeOffice) {
      const long long ss = reader.SectorSize();
      zip->FillFileInfo(info.m_llStartSector + (info.m_llSize - 1) / ss, static_cast<int>(ss), 0);
      return true;
    }
  }
  info.SetRawFileName(walk.firstName);
  return true;
}
