#include "carving/FileTARAnalyser.h"

#include <algorithm>

#include "carving/RawFileBuffer.h"
#include "carving/TarHeader.h"

int FileTARAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!IsTarHeader(sector)) return 0;
  probe.m_eType = kRawTypeTar;
  return 1;
}

bool FileTARAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char header[kTarRecord];
  long long total = 0;
  // Members, empty ones included, up to the first record without "ustar".
  for (;;) {
    if (total > kLimit || !reader.Read(static_cast<unsigned long long>(total), header, sizeof(header))) return false;
    if (!IsTarHeader(header)) break;
    const long long size = TarMemberSize(header);
    if (size < 0 || size > kLimit) return false;
    total += kTarRecord + TarDataRecords(size);
  }
  if (total == 0) return false;
  // The two zero records that end the archive, and GNU tar's zero padding.
  long long end = total + 2 * kTarRecord;
  while (end % kTarBlocking != 0) {
    if (!reader.Read(static_cast<unsigned long long>(end), header, sizeof(header)) ||
        !std::all_of(header, header + kTarRecord, [](unsigned char c) { return c == 0; })) {
      break;
    }
    end += kTarRecord;
  }
  info.m_llSize = end;
  info.m_eType = kRawTypeTar;
  return true;
}
