#include "core/compress/Decmpfs.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "core/compress/Lzvn.h"

namespace {
constexpr std::uint32_t kZlibHeadBytes = 8;
constexpr std::uint64_t kMaxChunks = 1u << 24;
}  // namespace

std::optional<DecmpfsHeader> DecodeDecmpfsHeader(const ByteView& a) {
  if (!a.Has(0, kDecmpfsHeaderSize)) return std::nullopt;
  return DecmpfsHeader{a.U32Le(0), a.U32Le(4), a.U64Le(8)};
}

std::uint64_t ZlibForkTableBytes(const ByteView& head, std::uint64_t forkSize) {
  if (!head.Has(0, 4)) return 0;
  const std::uint64_t r = head.U32Be(0);
  if (r + kZlibHeadBytes > forkSize || !head.Has(static_cast<std::size_t>(r), kZlibHeadBytes)) return 0;
  const std::uint64_t count = head.U32Le(static_cast<std::size_t>(r + 4));
  if (count > kMaxChunks || r + kZlibHeadBytes + 8 * count > forkSize) return 0;
  return r + kZlibHeadBytes + 8 * count;
}

std::optional<std::vector<DecmpfsChunk>> DecodeZlibForkTable(const ByteView& fork, std::uint64_t forkSize) {
  const std::uint64_t need = ZlibForkTableBytes(fork, forkSize);
  if (need == 0 || !fork.Has(0, static_cast<std::size_t>(need))) return std::nullopt;
  const std::uint64_t r = fork.U32Be(0);
  const std::uint64_t count = fork.U32Le(static_cast<std::size_t>(r + 4));
  std::vector<DecmpfsChunk> chunks;
  chunks.reserve(static_cast<std::size_t>(count));
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::size_t at = static_cast<std::size_t>(r + kZlibHeadBytes + 8 * i);
    DecmpfsChunk c{r + 4 + fork.U32Le(at), fork.U32Le(at + 4)};
    if (c.size == 0 || c.offset > forkSize || c.size > forkSize - c.offset) return std::nullopt;
    chunks.push_back(c);
  }
  return chunks;
}

std::uint64_t LzvnForkTableBytes(const ByteView& head, std::uint64_t forkSize) {
  if (!head.Has(0, 4)) return 0;
  const std::uint64_t table = head.U32Le(0);
  if (table < 8 || table % 4 != 0 || table > forkSize || table / 4 > kMaxChunks) return 0;
  return table;
}

std::optional<std::vector<DecmpfsChunk>> DecodeLzvnForkTable(const ByteView& fork, std::uint64_t forkSize) {
  const std::uint64_t table = LzvnForkTableBytes(fork, forkSize);
  if (table == 0 || !fork.Has(0, static_cast<std::size_t>(table))) return std::nullopt;
  std::vector<DecmpfsChunk> chunks;
  const std::size_t n = static_cast<std::size_t>(table / 4);
  chunks.reserve(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const std::uint64_t start = fork.U32Le(4 * i);
    const std::uint64_t end = fork.U32Le(4 * (i + 1));
    if (end <= start || end > forkSize) return std::nullopt;
    chunks.push_back({start, end - start});
  }
  return chunks;
}

std::size_t DecodeDecmpfsChunk(std::uint32_t type, const ByteView& chunk, std::vector<std::uint8_t>& out) {
  if (chunk.Size() == 0 || out.empty()) return 0;
  const std::uint8_t first = chunk.U8(0);
  const bool zlibType = type == kDecmpfsZlibInline || type == kDecmpfsZlibResource;
  const bool lzvnType = type == kDecmpfsLzvnInline || type == kDecmpfsLzvnResource;
  if ((zlibType && (first & 0x0F) == 0x0F) || (lzvnType && first == 0x06)) {
    const std::size_t n = std::min(out.size(), chunk.Size() - 1);
    std::memcpy(out.data(), chunk.Data() + 1, n);
    return n;
  }
  if (zlibType) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return 0;
    z.next_in = const_cast<Bytef*>(chunk.Data());
    z.avail_in = static_cast<uInt>(chunk.Size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int rc = Z_OK;
    while (rc == Z_OK && z.avail_out != 0) rc = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = out.size() - z.avail_out;
    inflateEnd(&z);
    return produced;
  }
  if (lzvnType) return lzvn_decode(out.data(), out.size(), chunk.Data(), chunk.Size());
  return 0;
}
