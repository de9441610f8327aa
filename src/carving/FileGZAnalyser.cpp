#include "carving/FileGZAnalyser.h"

#include <string>
#include <vector>
#include <zlib.h>

#include "carving/GzHeader.h"
#include "carving/RawFileBuffer.h"

namespace {

// Offset just past a zero-terminated field at `off`; with its text.
long long SkipText(RawFileBuffer& reader, long long off, std::string* text) {
  unsigned char c = 0;
  while (off < FileGZAnalyser::kFieldLimit) {
    if (!reader.Read(static_cast<unsigned long long>(off), &c, 1)) return -1;
    ++off;
    if (c == 0) return off;
    if (text != nullptr && text->size() < 1024) text->push_back(static_cast<char>(c));
  }
  return FileGZAnalyser::kFieldLimit;
}

// Offset just past the deflate stream that starts at `off` and its 8-byte
// trailer; -1 when the data do not inflate.
long long InflateEnd(RawFileBuffer& reader, long long off) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return -1;
  std::vector<unsigned char> in(reader.SectorSize() * 16u);
  std::vector<unsigned char> out(1 << 16);
  long long at = off;
  long long end = -1;
  while (at - off < FileGZAnalyser::kLimit) {
    const unsigned char* p = reader.GetRawFileBuffer(static_cast<unsigned long long>(at));
    if (p == nullptr) break;
    const std::size_t n = std::min<std::size_t>(in.size(), reader.Available(static_cast<unsigned long long>(at)));
    if (n == 0) break;
    std::copy(p, p + n, in.begin());
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    int r = Z_OK;
    while (z.avail_in > 0 && r == Z_OK) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      r = inflate(&z, Z_NO_FLUSH);
    }
    if (r == Z_STREAM_END) {
      end = at + static_cast<long long>(n - z.avail_in) + 8;
      break;
    }
    if (r != Z_OK && r != Z_BUF_ERROR) break;
    at += static_cast<long long>(n);
  }
  inflateEnd(&z);
  return end;
}

}  // namespace

int FileGZAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!CGzSearch::IsValidGzHeader(sector) || (sector[8] != 2 && sector[8] != 4)) return 0;
  probe.m_eType = kRawTypeGz;
  return 1;
}

bool FileGZAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char h[12];
  if (!reader.Read(0, h, sizeof(h)) || !CGzSearch::IsValidGzHeader(h)) return false;
  const unsigned flags = h[3];
  long long off = 10;
  if ((flags & 4) != 0) off += 2 + (h[10] | (h[11] << 8));
  if ((flags & 8) != 0) {
    std::string name;
    off = SkipText(reader, off, &name);
    if (off < 0) return false;
    if (!name.empty()) info.SetRawFileName(name);
  }
  if ((flags & 16) != 0) {
    off = SkipText(reader, off, nullptr);
    if (off < 0) return false;
  }
  if ((flags & 2) != 0) off += 2;
  if (off >= kFieldLimit) {
    info.m_llSize = kFieldLimit;
    info.m_eType = kRawTypeGz;
    return true;
  }
  const long long end = InflateEnd(reader, off);
  if (end <= 0) return false;
  info.m_llSize = end;
  info.m_eType = kRawTypeGz;
  return true;
}
