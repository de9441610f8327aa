#pragma once
// Numbers and text written into the byte images tests build: at an offset
// (the buffer grows to hold them) or at the end, little- or big-endian.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// The low `size` bytes of `v` at `at`, least significant first.
inline void PutLe(Bytes& b, std::size_t at, std::uint64_t v, std::size_t size) {
  if (b.size() < at + size) b.resize(at + size);
  for (std::size_t i = 0; i < size; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
// The low `size` bytes of `v` at `at`, most significant first.
inline void PutBe(Bytes& b, std::size_t at, std::uint64_t v, std::size_t size) {
  if (b.size() < at + size) b.resize(at + size);
  for (std::size_t i = 0; i < size; ++i) b[at + size - 1 - i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutLe16(Bytes& b, std::size_t at, std::uint64_t v) { PutLe(b, at, v, 2); }
inline void PutLe32(Bytes& b, std::size_t at, std::uint64_t v) { PutLe(b, at, v, 4); }
inline void PutLe64(Bytes& b, std::size_t at, std::uint64_t v) { PutLe(b, at, v, 8); }
inline void PutBe16(Bytes& b, std::size_t at, std::uint64_t v) { PutBe(b, at, v, 2); }
inline void PutBe24(Bytes& b, std::size_t at, std::uint64_t v) { PutBe(b, at, v, 3); }
inline void PutBe32(Bytes& b, std::size_t at, std::uint64_t v) { PutBe(b, at, v, 4); }
inline void PutBe64(Bytes& b, std::size_t at, std::uint64_t v) { PutBe(b, at, v, 8); }
// The characters of `text` at `at`.
inline void PutText(Bytes& b, std::size_t at, const std::string& text) {
  if (b.size() < at + text.size()) b.resize(at + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) b[at + i] = static_cast<std::uint8_t>(text[i]);
}

// The same at the end of the buffer.
inline void AppendLe(Bytes& b, std::uint64_t v, std::size_t size) { PutLe(b, b.size(), v, size); }
inline void AppendBe(Bytes& b, std::uint64_t v, std::size_t size) { PutBe(b, b.size(), v, size); }
inline void AppendLe16(Bytes& b, std::uint64_t v) { AppendLe(b, v, 2); }
inline void AppendLe32(Bytes& b, std::uint64_t v) { AppendLe(b, v, 4); }
inline void AppendBe16(Bytes& b, std::uint64_t v) { AppendBe(b, v, 2); }
inline void AppendBe24(Bytes& b, std::uint64_t v) { AppendBe(b, v, 3); }
inline void AppendBe32(Bytes& b, std::uint64_t v) { AppendBe(b, v, 4); }
inline void Append(Bytes& b, const std::string& text) { b.insert(b.end(), text.begin(), text.end()); }
inline void Append(Bytes& b, const Bytes& tail) { b.insert(b.end(), tail.begin(), tail.end()); }

}  // namespace testsupport
