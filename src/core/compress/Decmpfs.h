#pragma once
// The "com.apple.decmpfs" attribute and the chunk tables of compressed
// resource forks (little-endian unless noted).

#include <cstdint>
#include <optional>
#include <vector>

#include "core/util/ByteView.h"

inline constexpr std::size_t kDecmpfsHeaderSize = 16;
inline constexpr std::uint64_t kDecmpfsChunkSize = 65536;

enum DecmpfsType : std::uint32_t {
  kDecmpfsZlibInline = 3,
  kDecmpfsZlibResource = 4,
  kDecmpfsLzvnInline = 7,
  kDecmpfsLzvnResource = 8,
};

struct DecmpfsHeader {
  std::uint32_t magic = 0;
  std::uint32_t type = 0;
  std::uint64_t uncompressedSize = 0;
};

// Where one compressed chunk lies in the resource fork.
struct DecmpfsChunk {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

[[nodiscard]] std::optional<DecmpfsHeader> DecodeDecmpfsHeader(const ByteView& attribute);

// Chunks of a zlib resource fork (type 4): `fork` holds the fork's first
// bytes, at least through the block table. Every chunk must end inside a
// fork of `forkSize` bytes. Nothing when the table is damaged.
[[nodiscard]] std::optional<std::vector<DecmpfsChunk>> DecodeZlibForkTable(const ByteView& fork,
                                                                           std::uint64_t forkSize);
// Bytes of the fork needed to decode the zlib table; 0 when the head is bad.
[[nodiscard]] std::uint64_t ZlibForkTableBytes(const ByteView& head, std::uint64_t forkSize);

// Chunks of an LZVN resource fork (type 8): a table of u32 offsets whose
// first entry is the table's size.
[[nodiscard]] std::optional<std::vector<DecmpfsChunk>> DecodeLzvnForkTable(const ByteView& fork,
                                                                           std::uint64_t forkSize);
[[nodiscard]] std::uint64_t LzvnForkTableBytes(const ByteView& head, std::uint64_t forkSize);

// Decodes one chunk of `type` into `out` (its size is the expected output).
// Raw-stored chunks (zlib: first byte's low nibble 0xF; LZVN: first byte
// 0x06) are copied. Returns the bytes produced.
[[nodiscard]] std::size_t DecodeDecmpfsChunk(std::uint32_t type, const ByteView& chunk, std::vector<std::uint8_t>& out);
