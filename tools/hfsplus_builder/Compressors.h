#pragma once
// Encoders for decmpfs payloads: zlib streams, raw-stored chunks and a
// simple LZVN encoder (literals and short back-references).

#include "hfsplus_builder/BigEndian.h"

namespace hfsbuilder {

Bytes ZlibCompress(const Bytes& data);
// LZVN stream (ends with the end-of-stream opcode and 7 padding bytes).
Bytes LzvnCompress(const Bytes& data);
// Resource fork of a zlib (type 4) or LZVN (type 8) compressed file, in
// 64 KiB chunks; `raw` stores every chunk uncompressed with its marker.
Bytes ZlibResourceFork(const Bytes& data, bool raw);
Bytes LzvnResourceFork(const Bytes& data, bool raw);
// The 16-byte decmpfs header followed by `payload`.
Bytes DecmpfsAttribute(std::uint32_t type, std::uint64_t size, const Bytes& payload);

}  // namespace hfsbuilder
