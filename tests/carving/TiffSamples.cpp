#include "carving/TiffSamples.h"
#include "support/Bytes.h"

#include <map>
#include <vector>

namespace carvingtest {

namespace {

struct Field {
  unsigned tag;
  unsigned type;
  unsigned count;
  Bytes payload;          // written out of line when longer than 4 bytes
  bool isOffset = false;  // value patched with a file offset
  std::size_t target = 0;
};

class Writer {
 public:
  explicit Writer(bool big) : m_big(big) {}
  void Put16(Bytes& b, std::size_t at, unsigned v) const {
    m_big ? testsupport::PutBe16(b, at, v) : testsupport::PutLe16(b, at, v);
  }
  void Put32(Bytes& b, std::size_t at, unsigned v) const {
    m_big ? testsupport::PutBe32(b, at, v) : testsupport::PutLe32(b, at, v);
  }
  Bytes Short(unsigned v) const {
    Bytes b;
    Put16(b, 0, v);
    return b;
  }
  Bytes Long(unsigned v) const {
    Bytes b;
    Put32(b, 0, v);
    return b;
  }
  // Writes an IFD at `at`; returns the offset past its data.
  std::size_t Ifd(Bytes& b, std::size_t at, const std::vector<Field>& fields, unsigned next) const {
    std::size_t data = at + 2 + 12 * fields.size() + 4;
    Put16(b, at, static_cast<unsigned>(fields.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const Field& f = fields[i];
      const std::size_t e = at + 2 + 12 * i;
      Put16(b, e, f.tag);
      Put16(b, e + 2, f.type);
      Put32(b, e + 4, f.count);
      if (f.isOffset) {
        Put32(b, e + 8, static_cast<unsigned>(f.target));
      } else if (f.payload.size() <= 4) {
        if (b.size() < e + 12) b.resize(e + 12);
        std::copy(f.payload.begin(), f.payload.end(), b.begin() + static_cast<long>(e + 8));
      } else {
        Put32(b, e + 8, static_cast<unsigned>(data));
        if (b.size() < data + f.payload.size()) b.resize(data + f.payload.size());
        std::copy(f.payload.begin(), f.payload.end(), b.begin() + static_cast<long>(data));
        data += f.payload.size() + (f.payload.size() & 1);
      }
    }
    Put32(b, at + 2 + 12 * fields.size(), next);
    if (b.size() < data) b.resize(data);
    return data;
  }

 private:
  bool m_big;
};

Bytes Ascii(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

Field Text(unsigned tag, const std::string& s) { return {tag, 2, static_cast<unsigned>(s.size() + 1), Ascii(s)}; }

}  // namespace

Bytes MakeTiff(const TiffOptions& o) {
  const Writer w(o.bigEndian);
  Bytes thumb;
  if (o.thumbnail) {
    JpegOptions j;
    j.width = 32;
    j.height = 24;
    j.seed = o.seed;
    thumb = MakeJpeg(j);
  }
  std::size_t strip = o.stripBytes;
  for (int pass = 0; pass < 2; ++pass) {
    // Layout: header, IFD0 + data, EXIF IFD, extra IFDs, thumbnail, strip.
    Bytes b;
    if (o.bigEndian) {
      b = {0x4D, 0x4D, 0x00, 0x2A};
    } else if (o.rw2Header) {
      b = {0x49, 0x49, 0x55, 0x00};
    } else {
      b = {0x49, 0x49, 0x2A, 0x00};
    }
    w.Put32(b, 4, 8);
    std::vector<Field> f;
    f.push_back({256, 4, 1, w.Long(static_cast<unsigned>(o.width))});
    f.push_back({257, 4, 1, w.Long(static_cast<unsigned>(o.height))});
    f.push_back({258, 3, 1, w.Short(8)});
    if (!o.make.empty()) f.push_back(Text(271, o.make));
    if (!o.model.empty()) f.push_back(Text(272, o.model));
    const std::size_t stripField = f.size();
    f.push_back({273, 4, 1, {}, true, 0});
    f.push_back({279, 4, 1, w.Long(static_cast<unsigned>(strip))});
    if (!o.dateTime.empty()) f.push_back(Text(306, o.dateTime));
    std::size_t thumbField = 0;
    if (o.thumbnail) {
      thumbField = f.size();
      f.push_back({513, 4, 1, {}, true, 0});
      f.push_back({514, 4, 1, w.Long(static_cast<unsigned>(thumb.size()))});
    }
    std::size_t exifField = 0;
    if (o.exifIfd) {
      exifField = f.size();
      f.push_back({34665, 4, 1, {}, true, 0});
    }
    if (o.dng) f.push_back({50706, 1, 4, Bytes{1, 4, 0, 0}});
    // Pass 1 sizes the layout; pass 2 writes the offsets.
    std::size_t at = 8;
    Bytes probe = b;
    std::size_t end = w.Ifd(probe, at, f, 0);
    const std::size_t exifAt = end;
    if (o.exifIfd)
      end = w.Ifd(probe, exifAt, {Text(36867, o.dateTime.empty() ? "2020:01:02 03:04:05" : o.dateTime)}, 0);
    std::vector<std::size_t> extraAt;
    for (int k = 0; k < o.extraIfds; ++k) {
      extraAt.push_back(end);
      end = w.Ifd(probe, end, {{256, 4, 1, w.Long(16)}}, 0);
    }
    const std::size_t thumbAt = end;
    end += thumb.size();
    const std::size_t stripAt = end;
    f[stripField].target = stripAt;
    if (o.thumbnail) f[thumbField].target = thumbAt;
    if (o.exifIfd) f[exifField].target = exifAt;
    const unsigned firstNext = extraAt.empty() ? (o.selfLink ? 8u : 0u) : static_cast<unsigned>(extraAt[0]);
    w.Ifd(b, 8, f, firstNext);
    if (o.exifIfd) w.Ifd(b, exifAt, {Text(36867, o.dateTime.empty() ? "2020:01:02 03:04:05" : o.dateTime)}, 0);
    for (std::size_t k = 0; k < extraAt.size(); ++k) {
      unsigned next = k + 1 < extraAt.size() ? static_cast<unsigned>(extraAt[k + 1]) : (o.selfLink ? 8u : 0u);
      w.Ifd(b, extraAt[k], {{256, 4, 1, w.Long(16)}}, next);
    }
    b.resize(thumbAt);
    b.insert(b.end(), thumb.begin(), thumb.end());
    const Bytes data = Noise(strip, o.seed);
    b.insert(b.end(), data.begin(), data.end());
    if (!data.empty()) b.back() = 0x5A;  // the file's last byte is not zero
    if (o.endRemainder == 0 || b.size() % 512 == o.endRemainder || pass == 1) return b;
    strip += (o.endRemainder + 512 - b.size() % 512) % 512;
  }
  return {};
}

Bytes MakeRaf(const std::string& make, const std::string& model, std::size_t cfaBytes) {
  JpegOptions j;
  j.width = 64;
  j.height = 48;
  j.make = make;
  j.model = model;
  j.dateTime = "2019:08:07 06:05:04";
  const Bytes jpeg = MakeJpeg(j);
  Bytes b(512, 0);
  const std::string magic = "FUJIFILMCCD-RAW 0201FF383501";
  std::copy(magic.begin(), magic.end(), b.begin());
  const Writer w(true);
  const std::size_t jpegAt = 512;
  const std::size_t cfaAt = jpegAt + jpeg.size() + 100;
  w.Put32(b, 84, static_cast<unsigned>(jpegAt));
  w.Put32(b, 88, static_cast<unsigned>(jpeg.size()));
  w.Put32(b, 92, static_cast<unsigned>(jpegAt + jpeg.size()));
  w.Put32(b, 96, 100);
  w.Put32(b, 100, static_cast<unsigned>(cfaAt));
  w.Put32(b, 104, static_cast<unsigned>(cfaBytes));
  b.insert(b.end(), jpeg.begin(), jpeg.end());
  const Bytes header = Noise(100, 4);
  b.insert(b.end(), header.begin(), header.end());
  const Bytes cfa = Noise(cfaBytes, 5);
  b.insert(b.end(), cfa.begin(), cfa.end());
  b.back() = 0x77;
  return b;
}

}  // namespace carvingtest
