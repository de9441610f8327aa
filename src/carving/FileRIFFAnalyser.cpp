#include "carving/FileRIFFAnalyser.h"

#include <cctype>
#include <cstring>
#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

namespace {
bool Same(const unsigned char* p, const char* text) {
  for (std::size_t i = 0; text[i] != 0; ++i) {
    if (std::tolower(p[i]) != std::tolower(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}
}  // namespace

RAW_FILE_TYPE FileRIFFAnalyser::FormType(const unsigned char* s) {
  const unsigned char* form = s + 8;
  const unsigned char* chunk = s + 12;
  if (Same(form, "WAVE") && Same(chunk, "fmt ")) return kRawTypeWav;
  if (Same(form, "AVI ") && Same(chunk, "LIST")) return kRawTypeAvi;
  if (Same(form, "ACON") && (Same(chunk, "LIST") || Same(chunk, "anih"))) return kRawTypeAni;
  if (Same(form, "CMX1") && Same(s + 20, "{Corel Binary Meta File}")) return kRawTypeCmx;
  if (Same(form, "CARC") && Same(chunk, "vrsn")) return kRawTypeClk;
  if (Same(form, "CSL2") && Same(chunk, "vrsn")) return kRawTypeCsl;
  for (const char* cdr : {"CDR7", "CDR8", "cdr8", "CDR9", "CDRA", "CDRB", "CDRC"}) {
    if (std::memcmp(form, cdr, 4) == 0 && Same(chunk, "vrsn")) return kRawTypeCdr;
  }
  return kRawTypeRiff;
}

int FileRIFFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  probe.m_eType = FormType(sector);
  probe.m_llSize = 0;
  return 1;
}

bool FileRIFFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[8];
  if (!reader.Read(0, head, sizeof(head))) return false;
  const unsigned chunk = ByteView(head, sizeof(head)).U32Le(4);
  if (chunk < 4) return true;
  // The chunk's own 8-byte header belongs to the file.
  info.m_llSize = static_cast<long long>(chunk) + 8;
  return true;
}
