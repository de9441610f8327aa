#include "hfsplus_builder/BigEndian.h"

namespace hfsbuilder {

namespace {
void Put(Bytes& b, std::size_t at, std::uint64_t v, int n, bool big) {
  if (b.size() < at + n) b.resize(at + n);
  for (int i = 0; i < n; ++i) {
    const int shift = big ? 8 * (n - 1 - i) : 8 * i;
    b[at + i] = static_cast<std::uint8_t>(v >> shift);
  }
}
}  // namespace

void PutBe16(Bytes& b, std::size_t at, std::uint16_t v) { Put(b, at, v, 2, true); }
void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) { Put(b, at, v, 4, true); }
void PutBe64(Bytes& b, std::size_t at, std::uint64_t v) { Put(b, at, v, 8, true); }
void PutLe16(Bytes& b, std::size_t at, std::uint16_t v) { Put(b, at, v, 2, false); }
void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) { Put(b, at, v, 4, false); }
void PutLe64(Bytes& b, std::size_t at, std::uint64_t v) { Put(b, at, v, 8, false); }
void AppendBe16(Bytes& b, std::uint16_t v) { PutBe16(b, b.size(), v); }
void AppendBe32(Bytes& b, std::uint32_t v) { PutBe32(b, b.size(), v); }
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

}  // namespace hfsbuilder
