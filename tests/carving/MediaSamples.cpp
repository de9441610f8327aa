#include "carving/MediaSamples.h"
#include "support/Bytes.h"

#include <cstring>

namespace carvingtest {

namespace {

using testsupport::Append;
using testsupport::PutBe32;
}  // namespace

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Box(const char* type, const Bytes& payload) {
  Bytes b(8, 0);
  PutBe32(b, 0, static_cast<std::uint32_t>(payload.size() + 8));
  std::memcpy(b.data() + 4, type, 4);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes Ftyp(const char* major, const std::vector<const char*>& compatible) {
  Bytes p;
  p.insert(p.end(), major, major + 4);
  p.insert(p.end(), {0, 0, 2, 0});
  for (const char* c : compatible) p.insert(p.end(), c, c + 4);
  return Box("ftyp", p);
}

Bytes MakeMovie(const MovieOptions& o) {
  Bytes out = Ftyp(o.major, o.compatible);
  if (o.wide) out = Concat({out, Box("wide", {})});
  const Bytes media = Noise(o.media, 31);
  if (o.largeMdat) {
    Bytes h(16, 0);
    PutBe32(h, 0, 1);
    std::memcpy(h.data() + 4, "mdat", 4);
    PutBe32(h, 12, static_cast<std::uint32_t>(media.size() + 16));
    out = Concat({out, h, media});
  } else {
    out = Concat({out, Box("mdat", media)});
  }
  Bytes mvhd(100, 0);
  Bytes inner = Box("mvhd", mvhd);
  if (!o.make.empty() || !o.model.empty()) {
    // "Exif" 00 00, then a big-endian TIFF header with one IFD.
    Bytes exif;
    Append(exif, "Exif");
    exif.insert(exif.end(), {0, 0});
    Bytes tiff(8 + 2 + 2 * 12 + 4, 0);
    tiff[0] = 'M';
    tiff[1] = 'M';
    tiff[3] = 42;
    PutBe32(tiff, 4, 8);
    tiff[9] = 2;
    const std::uint32_t makeAt = static_cast<std::uint32_t>(tiff.size());
    const std::uint32_t modelAt = makeAt + 64;
    const std::pair<int, std::pair<std::string, std::uint32_t>> entries[] = {{271, {o.make, makeAt}},
                                                                             {272, {o.model, modelAt}}};
    std::size_t e = 10;
    for (const auto& [tag, text] : entries) {
      tiff[e] = static_cast<std::uint8_t>(tag >> 8);
      tiff[e + 1] = static_cast<std::uint8_t>(tag);
      tiff[e + 3] = 2;
      PutBe32(tiff, e + 4, static_cast<std::uint32_t>(text.first.size() + 1));
      PutBe32(tiff, e + 8, text.second);
      e += 12;
    }
    Bytes strings(128 + 64, 0);
    std::memcpy(strings.data(), o.make.data(), o.make.size());
    std::memcpy(strings.data() + 64, o.model.data(), o.model.size());
    exif = Concat({exif, tiff, strings});
    inner = Concat({Box("udta", exif), inner});
  }
  return Concat({out, Box("moov", inner)});
}

Bytes Mp3Frames(int count, unsigned seed) {
  Bytes out;
  const Bytes payload = Noise(static_cast<std::size_t>(count) * 417, seed);
  for (int k = 0; k < count; ++k) {
    Bytes f(payload.begin() + k * 417, payload.begin() + (k + 1) * 417);
    f[0] = 0xFF;
    f[1] = 0xFB;
    f[2] = 0x90;
    f[3] = 0x00;
    // No stray tag markers inside the payload.
    for (std::size_t i = 4; i + 1 < f.size(); ++i) {
      if (f[i] == 'T' || f[i] == 'A' || f[i] == 0xFF) f[i] = 0x11;
    }
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

Bytes Id3v2(const std::string& artist, const std::string& title, unsigned char encoding) {
  Bytes frames;
  for (const auto& [id, text] : {std::pair<const char*, std::string>{"TPE1", artist}, {"TIT2", title}}) {
    Bytes f(10, 0);
    std::memcpy(f.data(), id, 4);
    PutBe32(f, 4, static_cast<std::uint32_t>(text.size() + 1));
    f.push_back(encoding);
    Append(f, text);
    frames.insert(frames.end(), f.begin(), f.end());
  }
  frames.resize(frames.size() + 200, 0);  // padding
  Bytes h = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
  const std::uint32_t n = static_cast<std::uint32_t>(frames.size());
  h[6] = (n >> 21) & 0x7F;
  h[7] = (n >> 14) & 0x7F;
  h[8] = (n >> 7) & 0x7F;
  h[9] = n & 0x7F;
  return Concat({h, frames});
}

Bytes Id3v1(const std::string& title, const std::string& artist) {
  Bytes t(128, 0);
  std::memcpy(t.data(), "TAG", 3);
  std::memcpy(t.data() + 3, title.data(), std::min<std::size_t>(30, title.size()));
  std::memcpy(t.data() + 33, artist.data(), std::min<std::size_t>(30, artist.size()));
  std::memcpy(t.data() + 93, "2001", 4);
  t[127] = 12;
  return t;
}

}  // namespace carvingtest
