#include "carving/FileMP4Analyser.h"

#include <cstring>
#include <strings.h>

#include "carving/RawFileBuffer.h"
#include "core/util/Assert.h"
#include "core/util/ByteView.h"

namespace {

constexpr long long kLimit = 0x7FFFFFFF;

bool TypeIs(const ByteView& v, std::size_t at, const char* const* types, int n) {
  char t[5] = {};
  if (!v.Bytes(at, t, 4)) return false;
  for (int k = 0; k < n; ++k) {
    if (strncasecmp(t, types[k], 4) == 0) return true;
  }
  return false;
}

}  // namespace

bool CRawBoxFileAnalyser::GetFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr || info.m_llStartSector < 0) return false;
  RawFileBuffer buffer(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char header[16];
  if (!buffer.Read(0, header, 4)) return false;
  const long long first = ByteView(header, 4).U32Be(0);
  if (first < 1 || first > kLimit) return false;
  long long offset = first;
  static constexpr const char* kMdat[] = {"mdat"};
  static constexpr const char* kTop[] = {"mdat", "moov", "free", "moof", "mfra", "uuid"};
  for (int n = 0; n < kMaxBoxes; ++n) {
    if (!buffer.Read(static_cast<unsigned long long>(offset), header, sizeof(header))) break;
    const ByteView v(header, sizeof(header));
    long long size = v.U32Be(0);
    if (size == 0 || size > kLimit) break;
    if (size == 1) {
      if (!TypeIs(v, 4, kMdat, 1) && !TypeIs(v, 12, kMdat, 1)) break;
      size = v.U32Be(12);
      if (size < 1 || size > kLimit) return false;
    } else if (!TypeIs(v, 4, kTop, 6) && !TypeIs(v, 12, kTop, 6)) {
      break;
    }
    // Offsets stay below 2^31: a box that would pass it ends the walk.
    if (size > kLimit - offset) break;
    offset += size;
  }
  info.m_llSize = offset;
  return offset != 0;
}

bool FileMP4Analyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  QV_ASSERT(device != nullptr);
  return CRawBoxFileAnalyser::GetFileSize(info, device);
}

int FileMP4Analyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  QV_ASSERT(sector != nullptr);
  const char* text = reinterpret_cast<const char*>(sector + 4);
  int type = 0;
  if (std::memcmp(text, "ftypisom", 8) == 0 || std::memcmp(text, "ftypmp41", 8) == 0 ||
      std::memcmp(text, "ftypmp42", 8) == 0) {
    type = kRawTypeMp4;
  } else if (std::memcmp(text, "ftypM4A ", 8) == 0) {
    type = kRawTypeM4a;
  } else if (std::memcmp(text, "ftypM4V ", 8) == 0) {
    type = kRawTypeM4v;
  }
  if (type == 0) return 0;
  probe.m_eType = type;
  probe.m_llSize = 0;
  return 1;
}
