#pragma once
// Entry sets written byte by byte for the decoder tests.

#include <cstdint>
#include <string>
#include <vector>

#include "core/util/ByteView.h"
#include "exfat/ExFatEntryChecks.h"

namespace exfattest {

struct SetShape {
  std::u16string name = u"file.txt";
  std::uint64_t length = 1000;
  std::uint32_t firstCluster = 10;
  bool noFatChain = true;
  bool inUse = true;
  std::uint16_t attributes = 0x20;
  std::uint32_t timestamp = (41u << 25) | (3u << 21) | (4u << 16) | (5u << 11) | (6u << 5) | 4u;  // 2021-03-04 05:06:08
  bool badChecksum = false;
};

// File entry, stream extension and name entries, checksum filled in (over
// the in-use form; a deleted set then clears the in-use bits).
inline std::vector<std::uint8_t> MakeSet(const SetShape& s) {
  const std::size_t nameEntries = (s.name.size() + 14) / 15;
  std::vector<std::uint8_t> b((2 + nameEntries) * 32, 0);
  ByteWriter w(b);
  w.PutU8(0, 0x85);
  w.PutU8(1, static_cast<std::uint8_t>(1 + nameEntries));
  w.PutU16Le(4, s.attributes);
  w.PutU32Le(8, s.timestamp);
  w.PutU32Le(12, s.timestamp);
  w.PutU32Le(16, s.timestamp);
  w.PutU8(32, 0xC0);
  w.PutU8(33, static_cast<std::uint8_t>(0x01 | (s.noFatChain ? 0x02 : 0)));
  w.PutU8(35, static_cast<std::uint8_t>(s.name.size()));
  w.PutU64Le(40, s.length);
  w.PutU32Le(52, s.firstCluster);
  w.PutU64Le(56, s.length);
  for (std::size_t k = 0; k < nameEntries; ++k) {
    const std::size_t at = (2 + k) * 32;
    w.PutU8(at, 0xC1);
    for (std::size_t i = 0; i < 15 && k * 15 + i < s.name.size(); ++i) {
      w.PutU16Le(at + 2 + 2 * i, static_cast<std::uint16_t>(s.name[k * 15 + i]));
    }
  }
  std::uint16_t sum = exfatcheck::SetChecksum(ByteView(b.data(), b.size()), false);
  if (s.badChecksum) sum ^= 1;
  w.PutU16Le(2, sum);
  if (!s.inUse) {
    for (std::size_t at = 0; at < b.size(); at += 32) b[at] &= 0x7F;
  }
  return b;
}

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts, std::size_t padTo = 0) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  if (out.size() < padTo) out.resize(padTo, 0);
  return out;
}

}  // namespace exfattest
