#include "carving/StreamFormatSamples.h"
#include "support/Bytes.h"

#include <random>
#include <string>

namespace carvingtest {

namespace {

using testsupport::Append;
using testsupport::AppendBe16;
using testsupport::AppendBe24;
using testsupport::AppendBe32;
using testsupport::AppendLe16;
using testsupport::AppendLe32;

}  // namespace

Bytes MakeGif(int width, int height, unsigned seed, int lastSubBlock) {
  Bytes g;
  Append(g, "GIF89a");
  AppendLe16(g, static_cast<unsigned>(width));
  AppendLe16(g, static_cast<unsigned>(height));
  g.push_back(0xF1);  // global table of 4 entries, 2 bits of colour
  g.push_back(0);
  g.push_back(0);
  for (int i = 0; i < 4; ++i) {
    g.push_back(static_cast<std::uint8_t>(i * 60));
    g.push_back(static_cast<std::uint8_t>(255 - i * 60));
    g.push_back(static_cast<std::uint8_t>(i * 30));
  }
  // Graphic control extension.
  const std::uint8_t gce[] = {'!', 0xF9, 4, 0, 0, 0, 0, 0};
  g.insert(g.end(), std::begin(gce), std::end(gce));
  // Comment extension of two sub-blocks.
  g.push_back('!');
  g.push_back(0xFE);
  g.push_back(5);
  Append(g, "hello");
  g.push_back(3);
  Append(g, "GIF");
  g.push_back(0);
  g.push_back(',');
  AppendLe16(g, 0);
  AppendLe16(g, 0);
  AppendLe16(g, static_cast<unsigned>(width));
  AppendLe16(g, static_cast<unsigned>(height));
  g.push_back(0);
  g.push_back(2);  // LZW minimum code size
  // Uncompressed LZW: a clear code before every two literals keeps the
  // codes 3 bits wide.
  std::mt19937 rng(seed);
  Bytes lzw;
  unsigned long long bits = 0;
  int count = 0;
  auto emit = [&](unsigned code) {
    bits |= static_cast<unsigned long long>(code) << count;
    count += 3;
    while (count >= 8) {
      lzw.push_back(static_cast<std::uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  };
  const int pixels = width * height;
  for (int i = 0; i < pixels; ++i) {
    if (i % 2 == 0) emit(4);
    emit(rng() % 4);
  }
  emit(5);
  if (count > 0) lzw.push_back(static_cast<std::uint8_t>(bits));
  // Sub-blocks of 255 bytes; the last one of the chosen length.
  std::size_t at = 0;
  while (at < lzw.size()) {
    std::size_t left = lzw.size() - at;
    std::size_t n = left > 255 ? 255 : left;
    if (lastSubBlock > 0 && left > static_cast<std::size_t>(lastSubBlock) &&
        left - n < static_cast<std::size_t>(lastSubBlock)) {
      n = left - static_cast<std::size_t>(lastSubBlock);
    }
    g.push_back(static_cast<std::uint8_t>(n));
    g.insert(g.end(), lzw.begin() + static_cast<long>(at), lzw.begin() + static_cast<long>(at + n));
    at += n;
  }
  g.push_back(0);
  g.push_back(';');
  return g;
}

Bytes MakeMidi(int tracks, int notes, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes m;
  Append(m, "MThd");
  AppendBe32(m, 6);
  AppendBe16(m, 1);
  AppendBe16(m, static_cast<unsigned>(tracks));
  AppendBe16(m, 96);
  for (int t = 0; t < tracks; ++t) {
    Bytes events;
    for (int n = 0; n < notes; ++n) {
      const std::uint8_t key = static_cast<std::uint8_t>(40 + rng() % 40);
      const std::uint8_t on[] = {0x00, 0x90, key, 0x60, 0x30, 0x80, key, 0x40};
      events.insert(events.end(), std::begin(on), std::end(on));
    }
    const std::uint8_t end[] = {0x00, 0xFF, 0x2F, 0x00};
    events.insert(events.end(), std::begin(end), std::end(end));
    Append(m, "MTrk");
    AppendBe32(m, static_cast<std::uint32_t>(events.size()));
    Append(m, events);
  }
  return m;
}

Bytes MakePsd(int width, int height, bool rle, unsigned seed, bool zeroLastRow) {
  std::mt19937 rng(seed);
  Bytes p;
  Append(p, "8BPS");
  AppendBe16(p, 1);
  p.insert(p.end(), 6, 0);
  AppendBe16(p, 3);
  AppendBe32(p, static_cast<std::uint32_t>(height));
  AppendBe32(p, static_cast<std::uint32_t>(width));
  AppendBe16(p, 8);
  AppendBe16(p, 3);
  AppendBe32(p, 0);  // colour mode data
  // Image resources: one resolution block.
  Bytes res;
  Append(res, "8BIM");
  AppendBe16(res, 0x03ED);
  AppendBe16(res, 0);
  AppendBe32(res, 16);
  for (int i = 0; i < 16; ++i) res.push_back(static_cast<std::uint8_t>(rng()));
  AppendBe32(p, static_cast<std::uint32_t>(res.size()));
  Append(p, res);
  AppendBe32(p, 0);  // layer and mask information
  const int rows = height * 3;
  std::vector<Bytes> data(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    for (int x = 0; x < width; ++x) {
      const bool zero = zeroLastRow && r == rows - 1;
      data[static_cast<std::size_t>(r)].push_back(zero ? 0 : static_cast<std::uint8_t>(1 + rng() % 255));
    }
  }
  if (!rle) {
    AppendBe16(p, 0);
    for (const Bytes& row : data) Append(p, row);
    return p;
  }
  AppendBe16(p, 1);
  std::vector<Bytes> packed;
  for (const Bytes& row : data) {
    Bytes out;
    for (std::size_t at = 0; at < row.size();) {
      const std::size_t n = std::min<std::size_t>(128, row.size() - at);
      out.push_back(static_cast<std::uint8_t>(n - 1));
      out.insert(out.end(), row.begin() + static_cast<long>(at), row.begin() + static_cast<long>(at + n));
      at += n;
    }
    packed.push_back(out);
  }
  for (const Bytes& row : packed) AppendBe16(p, static_cast<unsigned>(row.size()));
  for (const Bytes& row : packed) Append(p, row);
  return p;
}

Bytes MakeRtf(std::size_t bytes, unsigned seed) {
  std::string s =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}{\\colortbl;\\red255\\green0\\blue0;}\n\\f0\\fs24 ";
  const Bytes words = Noise(bytes > 128 ? bytes - 128 : 16, seed, true);
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i % 200 == 199) s += "{\\b bold}\\par\n";
    s += (i % 9 == 8) ? ' ' : static_cast<char>(words[i]);
  }
  s += "\\par\n}";
  return Bytes(s.begin(), s.end());
}

std::uint32_t OggCrc(const std::uint8_t* data, std::size_t n) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= static_cast<std::uint32_t>(data[i]) << 24;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

Bytes MakeOgg(const std::vector<std::size_t>& pages, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out;
  std::uint32_t sequence = 0;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::size_t body = pages[i];
    Bytes page;
    Append(page, "OggS");
    page.push_back(0);
    page.push_back(i == 0 ? 2 : (i + 1 == pages.size() ? 4 : 0));
    for (int k = 0; k < 8; ++k) page.push_back(static_cast<std::uint8_t>(k == 0 ? i * 7 : 0));
    AppendLe32(page, 0x1234);
    AppendLe32(page, sequence++);
    AppendLe32(page, 0);  // CRC, filled below
    Bytes lacing;
    std::size_t left = body;
    while (left >= 255) {
      lacing.push_back(255);
      left -= 255;
    }
    lacing.push_back(static_cast<std::uint8_t>(left));
    page.push_back(static_cast<std::uint8_t>(lacing.size()));
    Append(page, lacing);
    for (std::size_t k = 0; k < body; ++k) page.push_back(static_cast<std::uint8_t>(1 + rng() % 255));
    const std::uint32_t crc = OggCrc(page.data(), page.size());
    page[22] = static_cast<std::uint8_t>(crc);
    page[23] = static_cast<std::uint8_t>(crc >> 8);
    page[24] = static_cast<std::uint8_t>(crc >> 16);
    page[25] = static_cast<std::uint8_t>(crc >> 24);
    Append(out, page);
  }
  return out;
}

Bytes MakeFlv(int tags, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes f;
  Append(f, "FLV");
  f.push_back(1);
  f.push_back(5);
  AppendBe32(f, 9);
  AppendBe32(f, 0);
  for (int t = 0; t < tags; ++t) {
    const std::uint8_t kind = t == 0 ? 18 : (t % 2 == 1 ? 9 : 8);
    const std::size_t size = t == 0 ? 40 : 100 + rng() % 900;
    f.push_back(kind);
    AppendBe24(f, static_cast<unsigned>(size));
    AppendBe24(f, static_cast<unsigned>(t * 40));
    f.push_back(0);
    AppendBe24(f, 0);
    for (std::size_t k = 0; k < size; ++k) f.push_back(static_cast<std::uint8_t>(1 + rng() % 255));
    AppendBe32(f, static_cast<std::uint32_t>(size + 11));
  }
  return f;
}

Bytes MakeMpegPs(int packs, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes m;
  auto pes = [&](std::size_t size) {
    Append(m, Bytes{0, 0, 1, 0xE0});
    AppendBe16(m, static_cast<unsigned>(size));
    for (std::size_t k = 0; k < size; ++k) m.push_back(static_cast<std::uint8_t>(2 + rng() % 250));
  };
  for (int p = 0; p < packs; ++p) {
    Append(m, Bytes{0, 0, 1, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8});
    if (p == 0) {
      Append(m, Bytes{0, 0, 1, 0xBB});
      AppendBe16(m, 12);
      Append(m, Bytes{0x80, 0xC4, 0xE1, 0x04, 0xE1, 0xFF, 0xE0, 0xE0, 0xE8, 0xC0, 0xC0, 0x20});
    }
    pes(300 + rng() % 1500);
  }
  Append(m, Bytes{0, 0, 1, 0xB9});
  return m;
}

Bytes MakeSvg(std::size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"400\" height=\"400\">\n";
  while (s.size() + 8 < bytes) {
    s += "<circle cx=\"" + std::to_string(rng() % 400) + "\" cy=\"" + std::to_string(rng() % 400) + "\" r=\"" +
         std::to_string(1 + rng() % 40) + "\" fill=\"#" + std::to_string(100000 + rng() % 800000) + "\"/>\n";
  }
  s += "</svg>\n";
  return Bytes(s.begin(), s.end());
}

Bytes MakeGpx(int points) {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\">\n<trk><trkseg>\n";
  for (int i = 0; i < points; ++i) {
    s += "<trkpt lat=\"47." + std::to_string(100000 + i) + "\" lon=\"8." + std::to_string(200000 + i * 3) + "\"><ele>" +
         std::to_string(400 + i % 50) + "</ele></trkpt>\n";
  }
  s += "</trkseg></trk>\n</gpx>\n";
  return Bytes(s.begin(), s.end());
}

Bytes MakeDxf(int entities, bool crlf) {
  const std::string nl = crlf ? "\r\n" : "\n";
  std::string s;
  if (!crlf) s += "999" + nl + "made by a test" + nl;
  auto pair = [&](const std::string& code, const std::string& value) { s += code + nl + value + nl; };
  pair("  0", "SECTION");
  pair("  2", "HEADER");
  pair("  9", "$ACADVER");
  pair("  1", "AC1009");
  pair("  0", "ENDSEC");
  pair("  0", "SECTION");
  pair("  2", "ENTITIES");
  for (int i = 0; i < entities; ++i) {
    pair("  0", "LINE");
    pair("  8", "0");
    pair(" 10", std::to_string(i) + ".0");
    pair(" 20", std::to_string(i * 2) + ".5");
    pair(" 11", std::to_string(i + 10) + ".0");
    pair(" 21", std::to_string(i * 3) + ".25");
  }
  pair("  0", "ENDSEC");
  pair("  0", "EOF");
  return Bytes(s.begin(), s.end());
}

Bytes MakeEpsText(std::size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 200\n%%EndComments\nnewpath\n";
  while (s.size() + 16 < bytes) {
    s += std::to_string(rng() % 200) + " " + std::to_string(rng() % 200) + " moveto " + std::to_string(rng() % 200) +
         " " + std::to_string(rng() % 200) + " lineto\n";
  }
  s += "stroke\n%%EOF\n";
  return Bytes(s.begin(), s.end());
}

Bytes MakeEpsBinary(std::size_t postscript, unsigned seed) {
  Bytes e{0xC5, 0xD0, 0xD3, 0xC6};
  AppendLe32(e, 30);
  AppendLe32(e, static_cast<std::uint32_t>(postscript));
  for (int i = 0; i < 4; ++i) AppendLe32(e, 0);
  AppendLe16(e, 0xFFFF);
  const Bytes body = MakeEpsText(postscript, seed);
  e.insert(e.end(), body.begin(), body.begin() + static_cast<long>(std::min(postscript, body.size())));
  while (e.size() < 30 + postscript) e.push_back('\n');
  return e;
}

Bytes MakeSqlite(const std::string& directory, int rows, int pageSize) {
  const std::string path = directory + "/t.sqlite";
  const std::string script =
      "import sqlite3,sys\n"
      "c=sqlite3.connect(sys.argv[1])\n"
      "c.execute('PRAGMA page_size=" +
      std::to_string(pageSize) +
      "')\n"
      "c.execute('CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, blob BLOB)')\n"
      "c.execute('CREATE INDEX ti ON t(name)')\n"
      "for i in range(" +
      std::to_string(rows) +
      "):\n"
      "  c.execute('INSERT INTO t(name,blob) VALUES(?,?)',('row%d'%i, bytes((i*7+k)%251+1 for k in range(200))))\n"
      "c.commit()\n"
      "c.close()\n";
  WriteAll(directory + "/make.py", Bytes(script.begin(), script.end()));
  return RunAndRead("python3 '" + directory + "/make.py' '" + path + "'", path);
}

Bytes MakeZeroTailFile(const Bytes& header, std::size_t bytes, unsigned seed) {
  Bytes f = header;
  const Bytes body = Noise(bytes > header.size() ? bytes - header.size() : 1, seed);
  Append(f, body);
  return f;
}

Bytes MakeDwgR2000(std::size_t bytes, unsigned seed) {
  Bytes d = Noise(bytes, seed);
  const std::string version = "AC1015";
  std::copy(version.begin(), version.end(), d.begin());
  const std::uint32_t sections[][2] = {{0x60, 0x300},
                                       {0x360, static_cast<std::uint32_t>(bytes - 0x360 - 0x100)},
                                       {static_cast<std::uint32_t>(bytes - 0x100), 0x100}};
  d[0x15] = 3;
  d[0x16] = d[0x17] = d[0x18] = 0;
  for (int i = 0; i < 3; ++i) {
    Bytes r;
    r.push_back(static_cast<std::uint8_t>(i));
    AppendLe32(r, sections[i][0]);
    AppendLe32(r, sections[i][1]);
    std::copy(r.begin(), r.end(), d.begin() + 0x19 + 9 * i);
  }
  return d;
}

Bytes MakeDwgR2004(std::size_t bytes, unsigned seed) {
  Bytes d = Noise(bytes, seed);
  const std::string version = "AC1018";
  std::copy(version.begin(), version.end(), d.begin());
  Bytes h;
  Append(h, "AcFssFcAJMB");
  h.resize(0x10, 0);
  AppendLe32(h, 0x6C);
  AppendLe32(h, 4);
  while (h.size() < 0x34) h.push_back(0x11);
  const std::uint64_t second = bytes - 108;
  AppendLe32(h, static_cast<std::uint32_t>(second));
  AppendLe32(h, static_cast<std::uint32_t>(second >> 32));
  while (h.size() < 0x44) h.push_back(0x22);
  AppendLe32(h, 0x20);
  AppendLe32(h, 0x80);
  AppendLe32(h, 0x40);
  while (h.size() < 108) h.push_back(0x33);
  std::uint32_t x = 1;
  for (std::size_t i = 0; i < 108; ++i) {
    x = x * 214013u + 2531011u;
    d[0x80 + i] = static_cast<std::uint8_t>(h[i] ^ ((x >> 16) & 0xFF));
  }
  return d;
}

Bytes MakeMdb(int pages, unsigned seed) {
  Bytes m(static_cast<std::size_t>(pages) * 4096);
  const Bytes noise = Noise(m.size(), seed);
  std::copy(noise.begin(), noise.end(), m.begin());
  const std::uint8_t lead[] = {0x00, 0x01, 0x00, 0x00};
  std::copy(std::begin(lead), std::end(lead), m.begin());
  const std::string name = "Standard Jet DB";
  std::copy(name.begin(), name.end(), m.begin() + 4);
  m[19] = 0;
  for (int p = 1; p < pages; ++p) {
    m[static_cast<std::size_t>(p) * 4096] = static_cast<std::uint8_t>(1 + p % 5);
    m[static_cast<std::size_t>(p) * 4096 + 1] = 1;
  }
  return m;
}

Bytes MakeLzh(const std::vector<std::size_t>& members, unsigned seed) {
  Bytes a;
  int index = 0;
  for (std::size_t size : members) {
    const std::string name = "file" + std::to_string(index++) + ".txt";
    Bytes h;
    h.push_back(0);  // header size, set below
    h.push_back(0);  // checksum, set below
    Append(h, "-lh0-");
    AppendLe32(h, static_cast<std::uint32_t>(size));
    AppendLe32(h, static_cast<std::uint32_t>(size));
    AppendLe32(h, 0x5A8B1234);
    h.push_back(0x20);
    h.push_back(0);
    h.push_back(static_cast<std::uint8_t>(name.size()));
    Append(h, name);
    AppendLe16(h, 0xBEEF);
    h[0] = static_cast<std::uint8_t>(h.size() - 2);
    unsigned sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum += h[i];
    h[1] = static_cast<std::uint8_t>(sum);
    Append(a, h);
    Append(a, Noise(size, seed + static_cast<unsigned>(index), true));
  }
  a.push_back(0);
  return a;
}

Bytes MakeBzDmg(std::size_t bytes, unsigned seed) {
  bytes = (bytes + 511) / 512 * 512;
  Bytes d = Noise(bytes - 512, seed);
  const std::string head = "BZh11AY&SY";
  std::copy(head.begin(), head.end(), d.begin());
  Bytes koly;
  Append(koly, "koly");
  AppendBe32(koly, 4);
  AppendBe32(koly, 512);
  const Bytes fields = Noise(300, seed + 1);
  Append(koly, fields);
  koly.resize(512, 0);
  Append(d, koly);
  return d;
}

Bytes MakeX3f(std::size_t bytes, unsigned seed) {
  Bytes x = Noise(bytes - 76, seed);
  const std::string head = "FOVb";
  std::copy(head.begin(), head.end(), x.begin());
  Bytes dir;
  Append(dir, "SECd");
  AppendLe32(dir, 0x00020000);
  AppendLe32(dir, 5);
  for (int i = 0; i < 5; ++i) {
    AppendLe32(dir, static_cast<std::uint32_t>(0x100 * (i + 1)));
    AppendLe32(dir, 0x80);
    Append(dir, i % 2 == 0 ? "IMAG" : "PROP");
  }
  dir.resize(76, 0x01);
  Append(x, dir);
  return x;
}

Bytes MakeDbx(std::size_t bytes, unsigned seed) {
  Bytes d = Noise(bytes, seed);
  const std::uint8_t head[] = {0xCF, 0xAD, 0x12, 0xFE, 0xC5, 0xFD, 0x74, 0x6F,
                               0x66, 0xE3, 0xD1, 0x11, 0x9A, 0x4E, 0x00, 0xC0};
  std::copy(std::begin(head), std::end(head), d.begin());
  Bytes size;
  AppendLe32(size, static_cast<std::uint32_t>(bytes));
  std::copy(size.begin(), size.end(), d.begin() + 124);
  return d;
}

Bytes MakeAep(std::size_t bytes, unsigned seed) {
  Bytes a;
  Append(a, "RIFX");
  AppendBe32(a, static_cast<std::uint32_t>(bytes - 8));
  Append(a, "Egg!");
  Append(a, Noise(bytes - 12, seed));
  return a;
}

Bytes MakeNgrr(const std::vector<std::size_t>& records, unsigned seed) {
  Bytes n;
  Append(n, "-in-");
  Append(n, Noise(56, seed));
  for (std::size_t size : records) {
    Append(n, "atad");
    Append(n, Noise(12, seed + 1));
    AppendLe32(n, static_cast<std::uint32_t>(size));
    Append(n, Noise(4 + size, seed + 2));
  }
  return n;
}

Bytes MakePsp(const std::vector<std::size_t>& blocks, unsigned seed) {
  Bytes p;
  Append(p, std::string("Paint Shop Pro Image File\n\x1a", 27));
  p.insert(p.end(), 5, 0);
  AppendLe16(p, 5);
  AppendLe16(p, 0);
  std::uint16_t id = 0;
  for (std::size_t size : blocks) {
    Append(p, Bytes{0x7E, 0x42, 0x4B, 0x00});
    AppendLe16(p, id++);
    AppendLe32(p, static_cast<std::uint32_t>(size));
    Append(p, Noise(size, seed + id));
  }
  return p;
}

Bytes MakeMobi(const std::vector<std::size_t>& records, unsigned seed) {
  Bytes m(78, 0);
  const std::string name = "test_book";
  std::copy(name.begin(), name.end(), m.begin());
  const std::string kind = "BOOKMOBI";
  std::copy(kind.begin(), kind.end(), m.begin() + 60);
  const std::size_t count = records.size() + 1;
  m[76] = static_cast<std::uint8_t>(count >> 8);
  m[77] = static_cast<std::uint8_t>(count);
  std::size_t offset = 78 + count * 8 + 2;
  for (std::size_t i = 0; i < count; ++i) {
    AppendBe32(m, static_cast<std::uint32_t>(offset));
    AppendBe32(m, static_cast<std::uint32_t>(2 * i));
    if (i < records.size()) offset += records[i];
  }
  AppendBe16(m, 0);
  for (std::size_t i = 0; i < records.size(); ++i) Append(m, Noise(records[i], seed + static_cast<unsigned>(i)));
  Append(m, Bytes{0xE9, 0x8E, 0x0D, 0x0A});
  return m;
}

Bytes MakeMxf(const std::vector<std::size_t>& packets, unsigned seed) {
  Bytes x{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x02, 0x04, 0x00};
  Bytes body(88, 0);
  body[0] = 0x00;
  body[1] = 0x01;  // major version
  body[3] = 0x02;
  body[7] = 0x01;  // KAG size
  body[12 + 7] = 0x00;
  body[28 + 7] = 0x40;  // footer partition offset differs from this partition's
  Append(x, Bytes{0x83, 0x00, 0x00, static_cast<std::uint8_t>(body.size())});
  Append(x, body);
  for (std::size_t size : packets) {
    Append(x, Bytes{0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03, 0x01, 0x15, 0x01, 0x05, 0x00});
    Append(x, Bytes{0x83, static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 8),
                    static_cast<std::uint8_t>(size)});
    Append(x, Noise(size, seed++));
  }
  return x;
}

Bytes MakeMlv(const std::vector<std::size_t>& frames, unsigned seed) {
  Bytes m;
  auto block = [&](const char* type, std::size_t payload) {
    Append(m, std::string(type, 4));
    AppendLe32(m, static_cast<std::uint32_t>(payload + 8));
    Append(m, Noise(payload, seed++));
  };
  block("MLVI", 44);
  block("RAWI", 172);
  block("INFO", 24);
  for (std::size_t f : frames) block("VIDF", f);
  block("NULL", 16);
  return m;
}

Bytes MakeRm(int packets, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes r;
  auto chunk = [&](const char* id, const Bytes& body) {
    Append(r, std::string(id, 4));
    AppendBe32(r, static_cast<std::uint32_t>(body.size() + 8));
    Append(r, body);
  };
  Bytes head;
  AppendBe16(head, 0);
  AppendBe32(head, 0);
  AppendBe32(head, 4);
  chunk(".RMF", head);
  chunk("PROP", Noise(42, seed));
  Bytes mdpr = Noise(40, seed + 1);
  Append(mdpr, "Audio Stream");
  Append(mdpr, Noise(30, seed + 2));
  chunk("MDPR", mdpr);
  Bytes data;
  AppendBe16(data, 0);
  AppendBe32(data, static_cast<std::uint32_t>(packets));
  AppendBe32(data, 0);
  for (int i = 0; i < packets; ++i) {
    const std::size_t size = 200 + rng() % 600;
    AppendBe16(data, 0);
    AppendBe16(data, static_cast<unsigned>(size));
    Append(data, Noise(size - 4, seed + 10 + static_cast<unsigned>(i)));
  }
  chunk("DATA", data);
  // The index header counts only itself; its entries follow.
  Append(r, "INDX");
  AppendBe32(r, 20);
  AppendBe16(r, 0);
  AppendBe32(r, static_cast<std::uint32_t>(packets));
  AppendBe16(r, 0);
  AppendBe32(r, 0);
  for (int i = 0; i < packets; ++i) Append(r, Noise(14, seed + 100 + static_cast<unsigned>(i)));
  return r;
}

Bytes MakeSit5(std::size_t bytes, unsigned seed) {
  Bytes s;
  Append(s, "StuffIt (c)1997-2002 Aladdin Systems, Inc., http://www.aladdinsys.com/StuffIt/\r\n");
  s.push_back(0x1A);
  s.push_back(0x00);
  s.push_back(5);
  s.push_back(0x10);
  AppendBe32(s, static_cast<std::uint32_t>(bytes));
  Append(s, Noise(bytes - s.size(), seed));
  return s;
}

Bytes MakeSitx(std::size_t bytes, unsigned seed) {
  Bytes s;
  Append(s, "StuffIt!");
  Append(s, Noise(bytes - s.size() - 12, seed));
  Append(s, Bytes{0x02, 0xD7, 0x0A, 0x19, 0x98, 0xF6, 0x42, 0x88, 0x11, 0x22, 0x33, 0x44});
  return s;
}

Bytes MakeIndd(int pages, const std::vector<std::size_t>& objects, unsigned seed) {
  Bytes d = Noise(static_cast<std::size_t>(pages) * 4096, seed);
  const std::uint8_t head[] = {0x06, 0x06, 0xED, 0xF5, 0xD8, 0x1D, 0x46, 0xE5, 0xBD, 0x31, 0xEF, 0xE7,
                               0xFE, 0x74, 0xB7, 0x1D, 'D',  'O',  'C',  'U',  'M',  'E',  'N',  'T'};
  std::copy(std::begin(head), std::end(head), d.begin());
  Bytes count;
  AppendLe32(count, static_cast<std::uint32_t>(pages));
  std::copy(count.begin(), count.end(), d.begin() + 280);
  const std::uint8_t object[] = {0xDE, 0x39, 0x39, 0x79, 0x51, 0x88, 0x4B, 0x6C,
                                 0x8E, 0x63, 0xEE, 0xF8, 0xAE, 0xE0, 0xDD, 0x38};
  for (std::size_t size : objects) {
    d.insert(d.end(), std::begin(object), std::end(object));
    Append(d, Noise(8, seed + 1));
    AppendLe32(d, static_cast<std::uint32_t>(size));
    Append(d, Noise(4 + size, seed + 2));
    Append(d, Noise(32, seed + 3));
  }
  return d;
}

Bytes MakeOne(const std::vector<std::size_t>& sections, unsigned seed) {
  Bytes o;
  const std::uint8_t head[] = {0xE4, 0x52, 0x5C, 0x7B, 0x8C, 0xD8, 0xA7, 0x4D,
                               0xAE, 0xB1, 0x53, 0x78, 0xD0, 0x29, 0x96, 0xD3};
  for (std::size_t size : sections) {
    Bytes section = Noise(size, seed++);
    std::copy(std::begin(head), std::end(head), section.begin());
    for (int i = 0; i < 8; ++i) section[196 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    Append(o, section);
  }
  return o;
}

Bytes MakeCrw(std::size_t bytes, unsigned seed) {
  Bytes c = Noise(bytes, seed);
  const std::uint8_t head[] = {'I', 'I', 0x1A, 0x00, 0x00, 0x00, 'H',  'E',  'A',
                               'P', 'C', 'C',  'D',  'R',  0x02, 0x00, 0x01, 0x00};
  std::copy(std::begin(head), std::end(head), c.begin());
  const std::uint8_t end[] = {0x07, 0x28, 0xA8, 0x00, 0x00, 0x00};
  std::copy(std::begin(end), std::end(end), c.end() - 70);
  return c;
}

Bytes Make3ds(std::size_t bytes, unsigned seed) {
  Bytes m{'M', 'M'};
  AppendLe32(m, static_cast<std::uint32_t>(bytes));
  AppendLe16(m, 0x0002);
  AppendLe32(m, 10);
  AppendLe32(m, 3);
  AppendLe16(m, 0x3D3D);
  AppendLe32(m, static_cast<std::uint32_t>(bytes - 16));
  Append(m, Noise(bytes - m.size(), seed));
  return m;
}

}  // namespace carvingtest
