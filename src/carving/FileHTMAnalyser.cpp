#include "carving/FileHTMAnalyser.h"

#include <cctype>
#include <cstring>
#include <strings.h>

#include "carving/SearchSignFileAnalyser.h"
#include "core/device/StorageDevice.h"
#include "core/util/ByteView.h"

bool FileHTMAnalyser::IsHtmlHeader(const unsigned char* s) {
  if (s == nullptr) return false;
  const char* text = reinterpret_cast<const char*>(s);
  if (strncasecmp(text, "<HTML", 5) == 0 || strncasecmp(text, "<!DOCTYPE HTML", 14) == 0) return true;
  static constexpr unsigned char kUtf16Open[] = {0xFF, 0xFE, 0x3C, 0x00, 0x21, 0x00};
  if (std::memcmp(s, kUtf16Open, sizeof(kUtf16Open)) == 0) return true;
  const ByteView v(s, 2 + 6 * 4);
  static constexpr char kTag[] = "<html>";
  for (int k = 0; k < 6; ++k) {
    const unsigned unit = v.U32Le(2 + 4 * static_cast<std::size_t>(k));
    if (unit > 0x7F || std::tolower(static_cast<int>(unit)) != kTag[k]) return false;
  }
  return true;
}

int FileHTMAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsHtmlHeader(sector)) return 0;
  probe.m_eType = kRawTypeHtm;
  return 1;
}

bool FileHTMAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  SearchSignCodeInfo code;
  std::memcpy(code.code, "</html>", 7);
  code.length = 7;
  code.limit = kLimit;
  SearchSignFileAnalyser::SearchEndSignCode(info, device, &code, 0);
  int ss = device->GetSectorSize();
  if (ss <= 0) ss = 512;
  info.m_llSize = (info.m_llSize + ss - 1) / ss * ss;
  info.m_eType = kRawTypeHtm;
  return info.m_llSize > 0;
}
