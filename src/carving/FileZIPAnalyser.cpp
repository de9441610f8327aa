#include "carving/FileZIPAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <vector>

#include "carving/FileNameFilter.h"
#include "carving/OfficeTagFromXML.h"
#include "carving/RawFileBuffer.h"
#include "carving/StreamBytes.h"

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

}  // namespace

int FileZIPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  assert(sector != nullptr);
  probe.m_eType = classZipSearch::ZipIpaFileType(sector, 512) ? 118 : kTypeZip;
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
      if (m_eType >= 73 && m_eType <= 75) {
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
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return 2;
  const long long pos = (sectorNumber - m_llStartSector) * sectorSize;
  if (pos > 20 * m_llCap) return Finish(sectorNumber, sectorSize, 0, 0);
  const StreamBytes bytes(sector, sectorSize, context);
  const ByteView& view = bytes.View();
  std::size_t at = 0;

  if (!m_bStarted) {
    m_bStarted = true;
    m_iSubType = m_eType == 118 ? 118 : kTypeZip;
    if (!bytes.Locate(0, 30, at) || !classZipSearch::IsValidHeader(view, at) ||
        view.U32Le(at) != classZipSearch::kLocal) {
      return Finish(sectorNumber, sectorSize, 0, 0);
    }
    ZipRecord first;
    if (classZipSearch::GetBlockSize(view, at, first) == classZipSearch::kOk) {
      if (classZipSearch::JudgeMaybeOfficeType(first.name)) {
        m_bMaybeOffice = true;
        m_llCap = kOfficeCap;
      } else if (classZipSearch::IsCorelDraw(first.name)) {
        m_iSubType = 13;
      }
    }
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
      if (view.U32Le(at) == kDescriptor) {
        m_u64Walk += 16;
        continue;
      }
      if (!classZipSearch::IsValidHeader(view, at)) {
        m_u64Walk += 12;
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
      const ByteView data = view.Sub(dataAt, std::min<std::size_t>(avail, std::min<std::uint64_t>(rec.compressed, 1024)));
      m_iSubType = classZipSearch::LocalNameType(rec.name, data, m_bMaybeOffice, m_iSubType);
      if (rec.name == "docProps/core.xml" && m_iPropertiesRead == 0 && rec.compressed != 0 &&
          rec.compressed <= Kalder::OfficeTagFromXML::kMaxMember && rec.uncompressed != 0 &&
          rec.uncompressed <= Kalder::OfficeTagFromXML::kMaxMember) {
        m_core = rec;
        m_u64CoreAt = m_u64Walk;
        TryCore(bytes, pos);
      }
      if ((rec.flag & 0x0008) != 0 && rec.compressed == 0) {
        m_bWalk = false;  // sizes in a data descriptor: look for the end record
        m_u64Walk += rec.dataOffset;
        break;
      }
      m_bDescriptor = (rec.flag & 0x0008) != 0;
    } else if (rec.signature == classZipSearch::kCentral) {
      m_iSubType = classZipSearch::CentralNameType(rec.name, m_bMaybeOffice, m_iSubType);
    }
    m_u64Walk += rec.size;
    if (rec.signature == classZipSearch::kEnd) {
      return Finish(sectorNumber, sectorSize, context.zeroTailBytes, static_cast<long long>(m_u64Walk));
    }
  }

  if (!m_bWalk) {
    // Central headers still type the archive; the end record closes it.
    if (!bytes.Locate(0, static_cast<std::size_t>(sectorSize), at)) return 2;
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
        return Finish(sectorNumber, sectorSize, context.zeroTailBytes, fileAt + 22 + view.U16Le(here + 20));
      }
    }
  }
  return 2;
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

bool FileZIPAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  assert(device != nullptr);
  info.m_llSize = 0;
  if (device == nullptr || info.m_llStartSector < 0) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  std::vector<unsigned char> head(512);
  if (!reader.Read(0, head.data(), head.size())) return false;
  int sub = classZipSearch::ZipIpaFileType(head.data(), head.size()) ? 118 : kTypeZip;
  if (!classZipSearch::IsValidHeader(ByteView(head.data(), head.size()), 0)) return false;

  auto* zip = dynamic_cast<ZIPRawFileInfo*>(&info);
  FileProperty property;
  bool propertiesRead = false;
  std::string firstName;
  std::uint64_t offset = 0;
  bool ended = false;
  std::vector<unsigned char> rec;
  // A record's fixed part and its name (and extra field) as the device holds them.
  auto readRecord = [&reader, &rec](std::uint64_t at) {
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
  };
  for (int count = 0; offset <= kDeviceWalkLimit && count < 4000000; ++count) {
    if (!readRecord(offset)) break;
    const ByteView v(rec.data(), rec.size());
    ZipRecord r;
    if (classZipSearch::GetBlockSize(v, 0, r) != classZipSearch::kOk || r.size == 0) break;
    if (r.signature == classZipSearch::kLocal) {
      if (firstName.empty() && !r.name.empty()) {
        firstName = r.name;
        m_bMaybeOffice = r.name == "[Content_Types].xml" || r.name == "docProps/app.xml" ||
                         r.name == "Categories.xml" || r.name.find("doc") != std::string::npos ||
                         r.name.find("ppt") != std::string::npos;
        m_bCorelDraw = classZipSearch::IsCorelDraw(r.name);
      }
      std::vector<unsigned char> data(static_cast<std::size_t>(std::min<std::uint64_t>(r.compressed, 1024)));
      if (!data.empty() && !reader.Read(offset + r.dataOffset, data.data(), data.size())) data.clear();
      sub = classZipSearch::LocalNameType(r.name, ByteView(data.data(), data.size()), m_bMaybeOffice, sub);
      if (r.name == "docProps/core.xml" && !propertiesRead && r.compressed != 0 &&
          r.compressed <= Kalder::OfficeTagFromXML::kMaxMember) {
        std::vector<unsigned char> packed(static_cast<std::size_t>(r.compressed));
        std::string xml;
        if (reader.Read(offset + r.dataOffset, packed.data(), packed.size()) &&
            Kalder::OfficeTagFromXML::bDepress(packed.data(), packed.size(), static_cast<std::size_t>(r.uncompressed),
                                               r.method, xml)) {
          try {
            propertiesRead = Kalder::OfficeTagFromXML::AnalyzeTag(xml, property);
          } catch (...) {
            propertiesRead = false;
          }
        }
      }
      if ((r.flag & 0x0008) != 0 && r.compressed == 0) {
        std::uint64_t endRecord = 0;
        const std::uint64_t end = GetProbablySize(offset + r.dataOffset, reader, &endRecord);
        if (end == 0) return false;
        // The central directory still names the members.
        unsigned char eocd[22];
        if (reader.Read(endRecord, eocd, sizeof(eocd))) {
          std::uint64_t cd = ByteView(eocd, sizeof(eocd)).U32Le(16);
          for (int k = 0; k < 65536 && cd < endRecord && readRecord(cd); ++k) {
            ZipRecord c;
            if (classZipSearch::GetBlockSize(ByteView(rec.data(), rec.size()), 0, c) != classZipSearch::kOk ||
                c.signature != classZipSearch::kCentral || c.size == 0) {
              break;
            }
            sub = classZipSearch::CentralNameType(c.name, m_bMaybeOffice, sub);
            cd += c.size;
          }
        }
        offset = end;
        ended = true;
        break;
      }
      offset += r.size;
      if ((r.flag & 0x0008) != 0) {
        unsigned char sig[4];
        if (reader.Read(offset, sig, 4) && ByteView(sig, 4).U32Le(0) == kDescriptor) {
          offset += 16;
        } else if (unsigned char next[30];
                   !(reader.Read(offset, next, sizeof(next)) && classZipSearch::IsValidHeader(ByteView(next, 30), 0))) {
          offset += 12;
        }
      }
      continue;
    }
    if (r.signature == classZipSearch::kCentral) sub = classZipSearch::CentralNameType(r.name, m_bMaybeOffice, sub);
    offset += r.size;
    if (r.signature == classZipSearch::kEnd) {
      ended = true;
      break;
    }
  }
  if (offset == 0) return false;
  (void)ended;
  if (m_bCorelDraw && !m_bMaybeOffice) sub = 13;
  info.m_llSize = static_cast<long long>(offset);
  info.m_eType = sub;
  if (zip != nullptr) {
    if (propertiesRead && zip->m_iPropertiesRead == 0) {
      zip->m_property = property;
      zip->m_iPropertiesRead = 1;
    }
    zip->m_bMaybeOffice = zip->m_bMaybeOffice || m_bMaybeOffice;
    if (zip->m_iPropertiesRead != 0 && zip->m_bMaybeOffice) {
      const long long ss = reader.SectorSize();
      zip->FillFileInfo(info.m_llStartSector + (info.m_llSize - 1) / ss, static_cast<int>(ss), 0);
      return true;
    }
  }
  info.SetRawFileName(firstName);
  return true;
}
