#include "carving/CFileAIFAnalyzer.h"

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

int CFileAIFAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  if (!v.Equals(8, "AIF", 3)) return 0;
  probe.m_eType = kRawTypeAiff;
  probe.m_llSize = 0;
  return 1;
}

bool CFileAIFAnalyzer::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[12];
  if (!reader.Read(0, head, sizeof(head))) return false;
  const ByteView v(head, sizeof(head));
  if (v.Equals(0, "FORM", 4) && v.Equals(8, "AIF", 3)) info.m_llSize = static_cast<long long>(v.U32Be(4)) + 8;
  return true;
}
