#include "carving/RtfAnalyser.h"

namespace RawSpeed {

int RTFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr || sector[4] != 'f') return 0;
  return m_pReader->AnalyseBuffer(sector, probe);
}

CRawFileInfo* RTFAnalyser::CreateRawFileInfo() {
  return new CZeroTailRecord(60, m_pReader.get(),
                             CZeroTailRecord::Rule{20, 0x12C00000, 1, 8, streammember::kFormA});
}

}  // namespace RawSpeed
