#include "carving/FilePDFAnalyser.h"

#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"
#include "carving/StreamBytes.h"
#include "core/util/Assert.h"

namespace {

bool Has(const unsigned char* data, std::size_t n, const char* needle) {
  return memmem(data, n, needle, std::strlen(needle)) != nullptr;
}

}  // namespace

int FilePDFAnalyser::EndOfMarker(const unsigned char* data, int length) {
  const int used = UsedBytes(data, length);
  int end = used;
  int eol = 0;
  while (end > 0 && eol < 2 && (data[end - 1] == '\n' || data[end - 1] == '\r')) {
    --end;
    ++eol;
  }
  if (end < 5 || std::memcmp(data + end - 5, "%%EOF", 5) != 0) return 0;
  return used;
}

int FilePDFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  QV_ASSERT(sector != nullptr);
  bool ok = std::memcmp(sector, "%PDF-", 5) == 0;
  if (!ok && std::memcmp(sector, "%!PS-Adobe", 10) == 0) {
    ok = Has(sector, 200, "Adobe Illustrator") && !Has(sector, 200, " EPSF-");
  }
  if (!ok) return 0;
  probe.m_eType = kTypePdf;
  return 1;
}

bool FilePDFAnalyser::IsContainPdfKeyWords(const std::string& text) {
  const char* words[] = {" 0 obj",   "xref\r\n", "xref\r",        "xref\n",      "trailr\r\n",
                         "trailr\r", "trailr\n", "startxref\r\n", "startxref\r", "startxref\n"};
  for (const char* w : words) {
    if (text.find(w) != std::string::npos) return true;
  }
  return false;
}

bool FilePDFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  QV_ASSERT(device != nullptr);
  info.m_llSize = 0;
  if (device == nullptr || info.m_llStartSector < 0) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  const long long ss = reader.SectorSize();
  std::vector<unsigned char> head(1024 + 512, 0);
  if (!reader.Read(0, head.data(), 512)) return false;
  reader.Read(0, head.data(), head.size());
  if (const void* ps = memmem(head.data(), 1024, "%!PS-Adobe", 10)) {
    const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(ps) - head.data());
    const std::size_t n = strnlen(reinterpret_cast<const char*>(head.data() + at), head.size() - at);
    if (Has(head.data() + at, n, "Adobe Illustrator")) info.m_eType = kTypeAi;
  }
  std::vector<unsigned char> sector(static_cast<std::size_t>(ss));
  for (long long offset = 0; offset <= kLimit; offset += ss) {
    if (!reader.Read(static_cast<unsigned long long>(offset), sector.data(), sector.size())) return false;
    if (offset != 0 && std::memcmp(sector.data(), "%PDF-", 5) == 0) {
      info.m_llSize = offset;
      return true;
    }
    const int end = EndOfMarker(sector.data(), static_cast<int>(ss));
    if (end > 0) {
      info.m_llSize = offset + end;
      return true;
    }
    // A marker that ends the previous sector, followed by zeros.
    if (offset != 0 && UsedBytes(sector.data(), static_cast<int>(ss)) == 0) {
      unsigned char tail[16];
      if (reader.Read(static_cast<unsigned long long>(offset - 16), tail, sizeof(tail)) &&
          EndOfMarker(tail, sizeof(tail)) == static_cast<int>(sizeof(tail))) {
        info.m_llSize = offset;
        return true;
      }
    }
  }
  return false;
}
