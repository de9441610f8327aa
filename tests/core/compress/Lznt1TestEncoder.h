#pragma once
// A small LZNT1 writer for tests: literals for the first `period` bytes of a
// chunk, then back-references of distance `period`.

#include <cstdint>
#include <vector>

namespace lznt1test {

inline std::vector<std::uint8_t> EncodeChunk(const std::vector<std::uint8_t>& data, std::size_t period) {
  std::vector<std::uint8_t> body;
  std::size_t flagAt = 0;
  int item = 8;
  auto nextItem = [&](bool ref) {
    if (item == 8) {
      flagAt = body.size();
      body.push_back(0);
      item = 0;
    }
    if (ref) body[flagAt] = static_cast<std::uint8_t>(body[flagAt] | (1u << item));
    ++item;
  };
  std::size_t p = 0;
  while (p < data.size()) {
    int lengthBits = 12;
    for (std::size_t i = p - 1; p > 0 && i > 15; i >>= 1) --lengthBits;
    const std::size_t maxLength = (std::size_t{1} << lengthBits) - 1 + 3;
    const std::size_t left = data.size() - p;
    if (p >= period && left >= 3) {
      const std::size_t length = left < maxLength ? left : maxLength;
      const std::size_t ref = ((period - 1) << lengthBits) | (length - 3);
      nextItem(true);
      body.push_back(static_cast<std::uint8_t>(ref));
      body.push_back(static_cast<std::uint8_t>(ref >> 8));
      p += length;
    } else {
      nextItem(false);
      body.push_back(data[p++]);
    }
  }
  const std::size_t header = 0xB000 | (body.size() - 1);
  std::vector<std::uint8_t> chunk = {static_cast<std::uint8_t>(header), static_cast<std::uint8_t>(header >> 8)};
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

// Bytes i % period, shifted by `salt`: data that EncodeChunk compresses.
inline std::vector<std::uint8_t> Periodic(std::size_t size, std::size_t period, std::uint8_t salt) {
  std::vector<std::uint8_t> out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>((i % period) * 7 + salt);
  return out;
}

}  // namespace lznt1test
