#pragma once
// The content of a file stored compressed by the "com.apple.decmpfs"
// scheme, as HFS+ and APFS both keep it: zlib or LZVN data inline in the
// attribute (types 3 and 7) or in chunks of the resource fork (types 4 and
// 8). Inline data is decoded once; resource-fork data chunk by chunk,
// keeping the last decoded chunk for sequential reads. The file system
// supplies the attribute's bytes and a reader of the resource fork.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/compress/Decmpfs.h"
#include "core/util/ByteView.h"

class DecmpfsContent {
 public:
  // Decoded inline content and single chunks are capped at this size.
  static constexpr std::uint64_t kMaxInlineOutput = 64ull << 20;
  static constexpr std::uint64_t kMaxChunkInput = 1ull << 20;

  // Reads `length` bytes of the resource fork from `offset`; the bytes read.
  using ForkReader = std::function<std::uint64_t(std::uint64_t offset, std::uint8_t* dst, std::uint64_t length)>;

  enum class Status { kReady, kUnsupportedType, kDamaged };

  // Takes the attribute; `fork` and `forkSize` serve the resource-fork types.
  Status Open(const ByteView& attribute, ForkReader fork, std::uint64_t forkSize);

  [[nodiscard]] bool IsReady() const { return m_bReady; }
  [[nodiscard]] const DecmpfsHeader& Header() const { return m_header; }
  // Whether the type names a scheme this decoder reads.
  [[nodiscard]] static bool IsDecodableType(std::uint32_t type);

  // Bytes of the content from `pos`; fewer than asked at the end or where a
  // chunk cannot be decoded, 0 beyond the end.
  std::uint64_t Read(std::uint64_t pos, std::uint8_t* dst, std::uint64_t length);

 private:
  Status OpenInline(const ByteView& attribute);
  Status OpenResourceFork();
  const std::vector<std::uint8_t>* Chunk(std::size_t index);

  bool m_bReady = false;
  DecmpfsHeader m_header;
  ForkReader m_fork;
  std::uint64_t m_forkSize = 0;
  std::vector<std::uint8_t> m_inline;  // decoded inline content
  std::vector<DecmpfsChunk> m_chunks;  // resource-fork chunks
  std::optional<std::size_t> m_cachedIndex;
  std::vector<std::uint8_t> m_cached;
};
