#include "carving/FileSVGAnalyser.h"

#include <cstring>
#include <string>

#include "carving/RawFileBuffer.h"
#include "carving/StreamMember.h"

namespace {
constexpr const char* kSvgForms[] = {"<svg ", "<svg\n ", "<svg\r ", "<svg> ", "<svg>\n", "<svg>\r"};
}

int FileSVGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  if (streammember::EqualsNoCase(sector, "<?xml", 5)) {
    if (streammember::EqualsNoCase(sector + 57, "<gpx", 4)) {
      probe.m_eType = kRawTypeGpx;
      return 1;
    }
    if (streammember::EqualsNoCase(sector + 39, "<!DOCTYPE plist", 15)) {
      probe.m_eType = kRawTypePlist;
      return 1;
    }
  }
  if (std::memcmp(sector, "<?xml version=\"", 15) != 0) return 0;
  const std::string text(reinterpret_cast<const char*>(sector), 512);
  for (const char* form : kSvgForms) {
    if (text.find(form) != std::string::npos) {
      probe.m_eType = kRawTypeSvg;
      return 1;
    }
  }
  return 0;
}

bool FileSVGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  const unsigned ss = reader.SectorSize();
  std::string sector(ss, '\0');
  for (unsigned long long off = 0; off <= static_cast<unsigned long long>(kLimit); off += ss) {
    if (!reader.Read(off, sector.data(), ss)) return false;
    if (sector[ss - 1] != 0 || sector[ss - 2] != 0) continue;
    // The text ends in this sector: keep its bytes in use.
    const int used = UsedBytes(reinterpret_cast<const unsigned char*>(sector.data()), static_cast<int>(ss));
    info.m_llSize = static_cast<long long>(off) + used;
    info.m_bEndGuessed = true;
    if (info.m_eType == kRawTypeRaw) info.m_eType = kRawTypeSvg;
    return info.m_llSize > 0;
  }
  return false;
}
