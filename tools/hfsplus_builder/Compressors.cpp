#include "hfsplus_builder/Compressors.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace hfsbuilder {

namespace {
constexpr std::size_t kChunk = 65536;

std::vector<Bytes> Chunks(const Bytes& data) {
  std::vector<Bytes> out;
  for (std::size_t at = 0; at < data.size(); at += kChunk) {
    out.emplace_back(data.begin() + static_cast<long>(at),
                     data.begin() + static_cast<long>(std::min(data.size(), at + kChunk)));
  }
  return out;
}

void Literals(Bytes& out, const Bytes& data, std::size_t from, std::size_t count) {
  while (count > 0) {
    if (count >= 16) {
      const std::size_t n = std::min<std::size_t>(count, 271);
      out.push_back(0xE0);
      out.push_back(static_cast<std::uint8_t>(n - 16));
      out.insert(out.end(), data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + n));
      from += n;
      count -= n;
    } else {
      out.push_back(static_cast<std::uint8_t>(0xE0 | count));
      out.insert(out.end(), data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + count));
      from += count;
      count = 0;
    }
  }
}
}  // namespace

Bytes ZlibCompress(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
    throw std::runtime_error("zlib failed");
  }
  out.resize(size);
  return out;
}

Bytes LzvnCompress(const Bytes& data) {
  // Runs of one repeated byte become a literal and a match of distance 1
  // (large-distance opcode); everything else is literal.
  Bytes out;
  std::size_t i = 0;
  std::size_t pending = 0;
  while (i < data.size()) {
    std::size_t run = 1;
    while (i + run < data.size() && data[i + run] == data[i] && run < 3 + 7 + 1) ++run;
    if (run >= 4) {
      Literals(out, data, i - pending, pending + 1);
      pending = 0;
      const std::size_t m = run - 1;  // 3..10
      out.push_back(static_cast<std::uint8_t>(((m - 3) << 3) | 0x07));
      out.push_back(1);
      out.push_back(0);
      i += run;
    } else {
      ++pending;
      ++i;
    }
  }
  Literals(out, data, i - pending, pending);
  out.push_back(0x06);
  out.insert(out.end(), 7, 0);
  return out;
}

Bytes ZlibResourceFork(const Bytes& data, bool raw) {
  const auto chunks = Chunks(data);
  std::vector<Bytes> encoded;
  for (const Bytes& c : chunks) {
    Bytes e;
    if (raw) {
      e.push_back(0xFF);
      Append(e, c);
    } else {
      e = ZlibCompress(c);
    }
    encoded.push_back(std::move(e));
  }
  const std::uint32_t r = 256;
  Bytes table;
  PutLe32(table, 0, static_cast<std::uint32_t>(encoded.size()));
  std::uint32_t at = static_cast<std::uint32_t>(4 + 8 * encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    PutLe32(table, 4 + 8 * i, at);
    PutLe32(table, 8 + 8 * i, static_cast<std::uint32_t>(encoded[i].size()));
    at += static_cast<std::uint32_t>(encoded[i].size());
  }
  Bytes body = table;
  for (const Bytes& e : encoded) Append(body, e);
  Bytes fork(r, 0);
  PutBe32(fork, 0, r);                                                // data offset
  PutBe32(fork, 4, r + 4 + static_cast<std::uint32_t>(body.size()));  // map offset
  PutBe32(fork, 8, static_cast<std::uint32_t>(body.size()));          // data length
  PutBe32(fork, 12, 50);                                              // map length
  AppendBe32(fork, static_cast<std::uint32_t>(body.size()));
  Append(fork, body);
  // A minimal resource map ("cmpf" resource 1).
  Bytes map(50, 0);
  Append(fork, map);
  return fork;
}

Bytes LzvnResourceFork(const Bytes& data, bool raw) {
  const auto chunks = Chunks(data);
  std::vector<Bytes> encoded;
  for (const Bytes& c : chunks) {
    Bytes e;
    if (raw) {
      e.push_back(0x06);
      Append(e, c);
    } else {
      e = LzvnCompress(c);
    }
    encoded.push_back(std::move(e));
  }
  Bytes fork;
  const auto tableSize = static_cast<std::uint32_t>(4 * (encoded.size() + 1));
  std::uint32_t at = tableSize;
  for (std::size_t i = 0; i <= encoded.size(); ++i) {
    PutLe32(fork, 4 * i, at);
    if (i < encoded.size()) at += static_cast<std::uint32_t>(encoded[i].size());
  }
  for (const Bytes& e : encoded) Append(fork, e);
  return fork;
}

Bytes DecmpfsAttribute(std::uint32_t type, std::uint64_t size, const Bytes& payload) {
  Bytes a;
  PutLe32(a, 0, 0x636D7066);  // "fpmc"
  PutLe32(a, 4, type);
  PutLe64(a, 8, size);
  Append(a, payload);
  return a;
}

}  // namespace hfsbuilder
