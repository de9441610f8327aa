#include "carving/Samples.h"

#include <fstream>
#include <iterator>
#include <random>
#include <zlib.h>

#include "support/TempDir.h"
#include "support/Bytes.h"

namespace carvingtest {

namespace {

using testsupport::AppendBe16;
using testsupport::AppendBe32;
using testsupport::AppendLe;

class BitWriter {
 public:
  explicit BitWriter(Bytes& out) : m_out(out) {}
  void Put(unsigned code, int length) {
    for (int i = length - 1; i >= 0; --i) {
      m_acc = (m_acc << 1) | ((code >> i) & 1u);
      if (++m_bits == 8) Flush();
    }
  }
  void Finish() {
    while (m_bits != 0) Put(1, 1);
  }

 private:
  void Flush() {
    const auto b = static_cast<std::uint8_t>(m_acc & 0xFF);
    m_out.push_back(b);
    if (b == 0xFF) m_out.push_back(0x00);
    m_acc = 0;
    m_bits = 0;
  }
  Bytes& m_out;
  unsigned m_acc = 0;
  int m_bits = 0;
};

constexpr std::uint8_t kDcBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::uint8_t kAcBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr std::uint8_t kAcVals[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
// Codes of DC categories 0-5 and of AC symbols EOB and (0, 1..4).
constexpr unsigned kDcCode[6][2] = {{0b00, 2}, {0b010, 3}, {0b011, 3}, {0b100, 3}, {0b101, 3}, {0b110, 3}};
constexpr unsigned kAcCode[5][2] = {{0b1010, 4}, {0b00, 2}, {0b01, 2}, {0b100, 3}, {0b1011, 4}};

Bytes ExifBlock(const JpegOptions& o) {
  // TIFF (little-endian): IFD0 with make, model and the Exif IFD pointer.
  Bytes t = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const std::string make = o.make + '\0';
  const std::string model = o.model + '\0';
  const std::string date = (o.dateTime.empty() ? std::string("2004:05:06 12:34:56") : o.dateTime) + '\0';
  const std::uint32_t ifd0 = 8;
  const std::uint32_t ifd0Size = 2 + 3 * 12 + 4;
  const std::uint32_t makeAt = ifd0 + ifd0Size;
  const std::uint32_t modelAt = makeAt + static_cast<std::uint32_t>(make.size());
  const std::uint32_t subAt = modelAt + static_cast<std::uint32_t>(model.size());
  const std::uint32_t dateAt = subAt + 2 + 12 + 4;
  auto entry = [&](unsigned tag, unsigned format, std::uint32_t count, std::uint32_t value) {
    AppendLe(t, tag, 2);
    AppendLe(t, format, 2);
    AppendLe(t, count, 4);
    AppendLe(t, value, 4);
  };
  // Values of up to four bytes stand in the entry itself.
  auto text = [&](unsigned tag, const std::string& value, std::uint32_t at) {
    std::uint32_t inline_ = 0;
    for (std::size_t i = 0; i < value.size() && i < 4; ++i)
      inline_ |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(value[i])) << (8 * i);
    entry(tag, 2, static_cast<std::uint32_t>(value.size()), value.size() <= 4 ? inline_ : at);
  };
  AppendLe(t, 3, 2);
  text(0x010F, make, makeAt);
  text(0x0110, model, modelAt);
  entry(0x8769, 4, 1, subAt);
  AppendLe(t, 0, 4);
  t.insert(t.end(), make.begin(), make.end());
  t.insert(t.end(), model.begin(), model.end());
  AppendLe(t, 1, 2);
  entry(0x9003, 2, static_cast<std::uint32_t>(date.size()), dateAt);
  AppendLe(t, 0, 4);
  t.insert(t.end(), date.begin(), date.end());
  Bytes block = {'E', 'x', 'i', 'f', 0, 0};
  block.insert(block.end(), t.begin(), t.end());
  return block;
}

}  // namespace

Bytes MakeJpeg(const JpegOptions& o) {
  Bytes b = {0xFF, 0xD8};
  if (!o.dqtFirst) {
    if (o.make.empty() && o.model.empty()) {
      const std::uint8_t app0[] = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
      b.insert(b.end(), std::begin(app0), std::end(app0));
    } else {
      const Bytes exif = ExifBlock(o);
      b.push_back(0xFF);
      b.push_back(0xE1);
      AppendBe16(b, static_cast<unsigned>(exif.size() + 2));
      b.insert(b.end(), exif.begin(), exif.end());
    }
  }
  b.insert(b.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});
  for (int i = 0; i < 64; ++i) b.push_back(static_cast<std::uint8_t>(1 + i % 16));
  b.insert(b.end(), {0xFF, 0xC0, 0x00, 17, 8});
  AppendBe16(b, static_cast<unsigned>(o.height));
  AppendBe16(b, static_cast<unsigned>(o.width));
  b.insert(b.end(), {3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});
  b.insert(b.end(), {0xFF, 0xC4});
  AppendBe16(b, 2 + 17 + 12);
  b.push_back(0x00);
  b.insert(b.end(), std::begin(kDcBits), std::end(kDcBits));
  for (int v = 0; v < 12; ++v) b.push_back(static_cast<std::uint8_t>(v));
  b.insert(b.end(), {0xFF, 0xC4});
  AppendBe16(b, 2 + 17 + 162);
  b.push_back(0x10);
  b.insert(b.end(), std::begin(kAcBits), std::end(kAcBits));
  b.insert(b.end(), std::begin(kAcVals), std::end(kAcVals));
  b.insert(b.end(), {0xFF, 0xDA, 0x00, 12, 3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});
  std::mt19937 rng(o.seed);
  BitWriter bits(b);
  const int blocks = ((o.width + 7) / 8) * ((o.height + 7) / 8);
  for (int mcu = 0; mcu < blocks; ++mcu) {
    for (int comp = 0; comp < 3; ++comp) {
      const unsigned cat = rng() % 6;
      bits.Put(kDcCode[cat][0], static_cast<int>(kDcCode[cat][1]));
      if (cat != 0) bits.Put(rng() & ((1u << cat) - 1), static_cast<int>(cat));
      const int ac = o.maxAc > 0 ? static_cast<int>(rng() % static_cast<unsigned>(o.maxAc + 1)) : 0;
      for (int k = 0; k < ac; ++k) {
        const unsigned size = 1 + rng() % 4;
        bits.Put(kAcCode[size][0], static_cast<int>(kAcCode[size][1]));
        bits.Put(rng() & ((1u << size) - 1), static_cast<int>(size));
      }
      if (ac < 63) bits.Put(kAcCode[0][0], static_cast<int>(kAcCode[0][1]));
    }
  }
  bits.Finish();
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

Bytes MakePng(int width, int height, unsigned seed) {
  Bytes raw;
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width * 3; ++x) raw.push_back(static_cast<std::uint8_t>((x * y + (rng() % 7)) & 0xFF));
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6);
  packed.resize(packedSize);
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto chunk = [&b](const char* type, const Bytes& data) {
    AppendBe32(b, static_cast<std::uint32_t>(data.size()));
    const std::size_t at = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    AppendBe32(b, static_cast<std::uint32_t>(crc32(0, b.data() + at, static_cast<uInt>(4 + data.size()))));
  };
  Bytes ihdr;
  AppendBe32(ihdr, static_cast<std::uint32_t>(width));
  AppendBe32(ihdr, static_cast<std::uint32_t>(height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  chunk("IHDR", ihdr);
  // Several IDAT chunks, as encoders write them.
  for (std::size_t at = 0; at < packed.size(); at += 8192) {
    chunk("IDAT", Bytes(packed.begin() + static_cast<std::ptrdiff_t>(at),
                        packed.begin() + static_cast<std::ptrdiff_t>(std::min(packed.size(), at + 8192))));
  }
  chunk("IEND", {});
  return b;
}

Bytes MakeRar(const std::vector<std::pair<std::string, Bytes>>& members) {
  Bytes b = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
  auto block = [&b](Bytes head) {
    const auto crc = static_cast<std::uint16_t>(crc32(0, head.data(), static_cast<uInt>(head.size())) & 0xFFFF);
    AppendLe(b, crc, 2);
    b.insert(b.end(), head.begin(), head.end());
  };
  Bytes main = {0x73, 0x00, 0x00};
  AppendLe(main, 13, 2);
  AppendLe(main, 0, 6);
  block(main);
  for (const auto& [name, data] : members) {
    Bytes h = {0x74};
    AppendLe(h, 0x8000, 2);
    AppendLe(h, 32 + name.size(), 2);
    AppendLe(h, data.size(), 4);
    AppendLe(h, data.size(), 4);
    h.push_back(2);
    AppendLe(h, crc32(0, data.data(), static_cast<uInt>(data.size())), 4);
    AppendLe(h, 0x3C000000, 4);
    h.push_back(29);
    h.push_back(0x30);
    AppendLe(h, name.size(), 2);
    AppendLe(h, 0x20, 4);
    h.insert(h.end(), name.begin(), name.end());
    block(h);
    b.insert(b.end(), data.begin(), data.end());
  }
  b.insert(b.end(), {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00});
  return b;
}

Bytes Noise(std::size_t n, unsigned seed, bool text) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& c : out) c = static_cast<std::uint8_t>(text ? 'a' + rng() % 26 : 1 + rng() % 255);
  return out;
}

Bytes MakeHtml(std::size_t bytes, unsigned seed) {
  std::string s = "<html><head><title>t</title></head><body>\n";
  const Bytes words = Noise(bytes > 64 ? bytes - 64 : 1, seed, true);
  for (std::size_t i = 0; i < words.size(); ++i) s += (i % 60 == 59) ? '\n' : static_cast<char>(words[i]);
  s += "\n</body></html>\n";
  return Bytes(s.begin(), s.end());
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes RunAndRead(const std::string& command, const std::string& file) {
  if (testsupport::Run(command) != 0) return {};
  return ReadFileBytes(file);
}

}  // namespace carvingtest
