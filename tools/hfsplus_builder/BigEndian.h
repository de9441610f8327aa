#pragma once
// Writing big- and little-endian fields into byte buffers.

#include <cstdint>
#include <vector>

namespace hfsbuilder {

using Bytes = std::vector<std::uint8_t>;

void PutBe16(Bytes& b, std::size_t at, std::uint16_t v);
void PutBe32(Bytes& b, std::size_t at, std::uint32_t v);
void PutBe64(Bytes& b, std::size_t at, std::uint64_t v);
void PutLe16(Bytes& b, std::size_t at, std::uint16_t v);
void PutLe32(Bytes& b, std::size_t at, std::uint32_t v);
void PutLe64(Bytes& b, std::size_t at, std::uint64_t v);
void AppendBe16(Bytes& b, std::uint16_t v);
void AppendBe32(Bytes& b, std::uint32_t v);
void Append(Bytes& b, const Bytes& more);

}  // namespace hfsbuilder
