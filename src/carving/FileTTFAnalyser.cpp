#include "carving/FileTTFAnalyser.h"

#include "core/util/ByteView.h"

namespace {
constexpr const char* kTags[] = {"DSIG", "cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "name",
                                 "post", "OS/2", "cvt ", "EBDT", "EBLC", "EBSC", "fpgm", "gasp", "hdmx",
                                 "kern", "LTSH", "prep", "PCLT", "VDMX", "vhea", "vmtx"};
}  // namespace

int FileTTFAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (sector == nullptr) return 0;
  const ByteView v(sector, 512);
  const unsigned count = v.U16Be(4);
  if (count < 1 || count > 31) return 0;
  unsigned known = 0;
  long long size = 12 + 16LL * count;
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t e = 12 + 16 * static_cast<std::size_t>(i);
    for (const char* tag : kTags) {
      if (v.Equals(e, tag, 4)) {
        ++known;
        break;
      }
    }
    size += (static_cast<long long>(v.U32Be(e + 12)) + 3) / 4 * 4;
  }
  if (2 * known < count) return 0;
  probe.m_eType = kRawTypeTtf;
  probe.m_llSize = size;
  return 1;
}
