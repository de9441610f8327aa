#include "carving/FileCPTAnalyser.h"

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

namespace {
constexpr unsigned kDirectoryAt = 316;

bool ReadU32(RawFileBuffer& reader, unsigned long long offset, unsigned long long& value) {
  unsigned char bytes[4];
  if (!reader.Read(offset, bytes, sizeof(bytes))) return false;
  value = ByteView(bytes, sizeof(bytes)).U32Le(0);
  return true;
}
}  // namespace

int FileCPTAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  if (!v.Equals(4, "FILE", 4) || v.U32Le(52) != kDirectoryAt) return 0;
  probe.m_eType = kRawTypeCpt;
  probe.m_llSize = 0;
  return 1;
}

bool FileCPTAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned long long directory = 0;
  unsigned long long count = 0;
  if (!ReadU32(reader, 52, directory) || !ReadU32(reader, 40, count)) return false;
  if (count == 0) return true;  // no directory entry to size from
  // The last directory entry gives the offset of the last object.
  unsigned long long last = 0;
  if (!ReadU32(reader, directory + 8 * count - 8, last)) return false;
  unsigned long long tail = last + 60;
  unsigned long long extra = 0;
  unsigned long long atTail = 0;
  if (!ReadU32(reader, last + 32, extra) || !ReadU32(reader, tail, atTail)) return false;
  if (extra != 0 && atTail == extra) tail += extra;
  unsigned long long first = 0;
  unsigned long long second = 0;
  if (!ReadU32(reader, tail, first) || !ReadU32(reader, tail + 4, second)) return false;
  if (first == 0 || second == 0) {
    info.m_llSize = static_cast<long long>(last);
    return true;
  }
  if (first < 8) return true;  // the pair it points to would lie before the file
  unsigned long long offset = 0;
  unsigned long long length = 0;
  if (!ReadU32(reader, first - 8, offset) || !ReadU32(reader, first - 4, length)) return false;
  info.m_llSize = static_cast<long long>(offset + length);
  return true;
}
