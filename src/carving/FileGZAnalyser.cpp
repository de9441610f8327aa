#include "carving/FileGZAnalyser.h"

#include <algorithm>
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

// Feeds the deflate stream to zlib straight from the reader's windows, in
// pieces of at most 16 sectors up to the input limit, and keeps where the
// last piece began.
struct InflateInput {
  RawFileBuffer* reader;
  long long first;      // offset of the stream's first byte
  long long next;       // offset of the next piece
  long long lastStart;  // offset of the piece handed last
  std::size_t lastLength;
};

unsigned TakeInput(void* context, z_const unsigned char** buffer) {
  auto* in = static_cast<InflateInput*>(context);
  if (in->next - in->first >= FileGZAnalyser::kLimit) return 0;
  const auto at = static_cast<unsigned long long>(in->next);
  const unsigned char* p = in->reader->GetRawFileBuffer(at);
  if (p == nullptr) return 0;
  const std::size_t n = std::min<std::size_t>(in->reader->SectorSize() * 16u, in->reader->Available(at));
  if (n == 0) return 0;
  *buffer = const_cast<unsigned char*>(p);
  in->lastStart = in->next;
  in->lastLength = n;
  in->next += static_cast<long long>(n);
  return static_cast<unsigned>(n);
}

// The inflated bytes are not wanted: only where the stream ends.
int DropOutput(void*, unsigned char*, unsigned) { return 0; }

// Offset just past the deflate stream that starts at `off` and its 8-byte
// trailer; -1 when the data do not inflate. zlib's callback interface
// inflates into its own 32 KiB window, with no output buffer and no copy of
// the input.
long long InflateEnd(RawFileBuffer& reader, long long off) {
  std::vector<unsigned char> window(1u << 15);
  z_stream z{};
  if (inflateBackInit(&z, 15, window.data()) != Z_OK) return -1;
  InflateInput in{&reader, off, off, off, 0};
  const int r = inflateBack(&z, TakeInput, &in, DropOutput, nullptr);
  long long end = -1;
  if (r == Z_STREAM_END && z.next_in != nullptr) {
    end = in.lastStart + static_cast<long long>(in.lastLength - z.avail_in) + 8;
  }
  inflateBackEnd(&z);
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
