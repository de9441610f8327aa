#include "carving/DocumentSamples.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/util/ByteView.h"
#include "support/TempDir.h"

namespace carvingtest {

namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) { ByteWriter(b).PutU16Le(at, v); }
void Put32(Bytes& b, std::size_t at, std::uint32_t v) { ByteWriter(b).PutU32Le(at, v); }
void Put64(Bytes& b, std::size_t at, std::uint64_t v) { ByteWriter(b).PutU64Le(at, v); }

void DirEntry(Bytes& d, std::size_t at, const std::string& name, int type, std::uint32_t child, std::uint32_t right,
              std::uint32_t start, std::uint64_t size) {
  for (std::size_t i = 0; i < name.size() && i < 31; ++i) Put16(d, at + 2 * i, static_cast<unsigned char>(name[i]));
  Put16(d, at + 0x40, static_cast<std::uint16_t>(2 * (name.size() + 1)));
  d[at + 0x42] = static_cast<std::uint8_t>(type);
  d[at + 0x43] = 1;
  Put32(d, at + 0x44, kFree);
  Put32(d, at + 0x48, right);
  Put32(d, at + 0x4C, child);
  Put32(d, at + 0x74, start);
  Put64(d, at + 0x78, size);
}

std::string Hex(const std::string& s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

}  // namespace

Bytes MakeSummary(const OleOptions& o, int extraProperties) {
  Bytes s(4096, 0);
  Put16(s, 0, 0xFFFE);
  Put16(s, 2, 0);
  Put32(s, 4, 0x00020006);
  Put32(s, 24, 1);
  static constexpr unsigned char kFmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                               0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
  std::memcpy(s.data() + 28, kFmtid, 16);
  Put32(s, 44, 48);
  struct Prop {
    std::uint32_t id;
    int kind;  // 0 text, 1 time, 2 16-bit integer
    std::string text;
    std::uint64_t time;
  };
  std::vector<Prop> props = {{2, 0, o.title, 0}, {4, 0, o.author, 0}, {8, 0, o.lastAuthor, 0}};
  if (o.codePage != 0) props.insert(props.begin(), {1, 2, {}, static_cast<std::uint64_t>(o.codePage)});
  if (o.created != 0) props.push_back({12, 1, {}, o.created});
  if (o.saved != 0) props.push_back({13, 1, {}, o.saved});
  for (int i = 0; i < extraProperties; ++i) props.push_back({static_cast<std::uint32_t>(100 + i), 0, "x", 0});
  const std::size_t section = 48;
  const std::size_t count = props.size();
  std::size_t value = 8 + 8 * count;
  Put32(s, section + 4, static_cast<std::uint32_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    Put32(s, section + 8 + 8 * i, props[i].id);
    Put32(s, section + 12 + 8 * i, static_cast<std::uint32_t>(value));
    const std::size_t at = section + value;
    if (props[i].kind == 0) {
      Put32(s, at, 30);
      Put32(s, at + 4, static_cast<std::uint32_t>(props[i].text.size() + 1));
      std::memcpy(s.data() + at + 8, props[i].text.data(), props[i].text.size());
      value += 8 + (props[i].text.size() + 1 + 3) / 4 * 4;
    } else if (props[i].kind == 2) {
      Put32(s, at, 2);
      Put16(s, at + 4, static_cast<std::uint16_t>(props[i].time));
      value += 8;
    } else {
      Put32(s, at, 64);
      Put64(s, at + 4, props[i].time);
      value += 12;
    }
  }
  Put32(s, section, static_cast<std::uint32_t>(value));
  return s;
}

Bytes MakeOle(const OleOptions& o) {
  const std::size_t ss = o.version4 ? 4096 : 512;
  const std::size_t entries = ss / 4;
  const std::size_t summarySectors = o.summary ? 4096 / ss : 0;
  const std::size_t mainSectors = (std::max<std::size_t>(o.payload, 4096) + ss - 1) / ss;
  const std::size_t difat = o.difatSector ? 1 : 0;
  std::size_t fats = 1;
  while (fats * entries < 1 + summarySectors + mainSectors + difat + fats) ++fats;
  if (o.difatSector) fats = std::max<std::size_t>(fats, 2);
  const std::size_t total = 1 + summarySectors + mainSectors + difat + fats;
  std::vector<std::uint32_t> fatAt(fats);
  std::size_t next = 0;
  std::uint32_t difatAt = kEnd;
  auto placeMeta = [&] {
    for (std::size_t i = 0; i < fats; ++i) fatAt[i] = static_cast<std::uint32_t>(next++);
    if (difat != 0) difatAt = static_cast<std::uint32_t>(next++);
  };
  if (!o.fatAtEnd) placeMeta();
  const auto dirAt = static_cast<std::uint32_t>(next++);
  const auto summaryAt = static_cast<std::uint32_t>(next);
  next += summarySectors;
  const auto mainAt = static_cast<std::uint32_t>(next);
  next += mainSectors;
  if (o.fatAtEnd) placeMeta();

  std::vector<std::uint32_t> fat(fats * entries, kFree);
  for (std::uint32_t k : fatAt) fat[k] = kFatSect;
  if (difat != 0) fat[difatAt] = kDifSect;
  fat[dirAt] = kEnd;
  auto chain = [&fat](std::uint32_t first, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) fat[first + i] = i + 1 < n ? static_cast<std::uint32_t>(first + i + 1) : kEnd;
  };
  chain(summaryAt, summarySectors);
  chain(mainAt, mainSectors);

  Bytes file((total + 1) * ss, 0);
  static constexpr unsigned char kSig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(file.data(), kSig, 8);
  Put16(file, 0x18, 0x3E);
  Put16(file, 0x1A, o.version4 ? 4 : 3);
  Put16(file, 0x1C, 0xFFFE);
  Put16(file, 0x1E, o.version4 ? 12 : 9);
  Put16(file, 0x20, 6);
  Put32(file, 0x28, o.version4 ? 1 : 0);
  Put32(file, 0x2C, static_cast<std::uint32_t>(fats));
  Put32(file, 0x30, dirAt);
  Put32(file, 0x38, 4096);
  Put32(file, 0x3C, kEnd);
  Put32(file, 0x44, difatAt);
  Put32(file, 0x48, static_cast<std::uint32_t>(difat));
  for (std::size_t i = 0; i < 109; ++i) Put32(file, 0x4C + 4 * i, kFree);
  const std::size_t inHeader = o.difatSector ? 1 : std::min<std::size_t>(fats, 109);
  for (std::size_t i = 0; i < inHeader; ++i) Put32(file, 0x4C + 4 * i, fatAt[i]);
  auto sectorAt = [ss](std::uint32_t k) { return (static_cast<std::size_t>(k) + 1) * ss; };
  if (difat != 0) {
    const std::size_t at = sectorAt(difatAt);
    for (std::size_t i = 0; i + 1 < entries; ++i) Put32(file, at + 4 * i, kFree);
    for (std::size_t i = inHeader; i < fats; ++i) Put32(file, at + 4 * (i - inHeader), fatAt[i]);
    Put32(file, at + 4 * (entries - 1), kEnd);
  }
  for (std::size_t i = 0; i < fats; ++i) {
    for (std::size_t e = 0; e < entries; ++e) Put32(file, sectorAt(fatAt[i]) + 4 * e, fat[i * entries + e]);
  }
  Bytes dir(ss, 0);
  for (std::size_t e = 0; e < ss / 128; ++e) {
    Put32(dir, e * 128 + 0x44, kFree);
    Put32(dir, e * 128 + 0x48, kFree);
    Put32(dir, e * 128 + 0x4C, kFree);
  }
  DirEntry(dir, 0, "Root Entry", 5, 1, kFree, kEnd, 0);
  DirEntry(dir, 128, o.stream, 2, kFree, o.summary ? 2 : kFree, mainAt, std::max<std::size_t>(o.payload, 4096));
  if (o.summary) DirEntry(dir, 256, std::string("\x05") + "SummaryInformation", 2, kFree, kFree, summaryAt, 4096);
  std::copy(dir.begin(), dir.end(), file.begin() + static_cast<std::ptrdiff_t>(sectorAt(dirAt)));
  if (o.summary) {
    const Bytes s = MakeSummary(o);
    std::copy(s.begin(), s.end(), file.begin() + static_cast<std::ptrdiff_t>(sectorAt(summaryAt)));
  }
  const Bytes body = Noise(mainSectors * ss, 31);
  std::copy(body.begin(), body.end(), file.begin() + static_cast<std::ptrdiff_t>(sectorAt(mainAt)));
  return file;
}

Bytes MakePdf(const PdfOptions& o) {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  auto object = [&](const std::string& body) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };
  const Bytes noise = Noise(o.body, 41, true);
  std::string content(noise.begin(), noise.end());
  for (char& c : content) {
    if (c == '(' || c == ')' || c == '\\') c = ' ';
  }
  content = "BT /F1 12 Tf 72 712 Td (" + content + ") Tj ET";
  object("<< /Type /Catalog /Pages 2 0 R >>");
  object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>");
  object("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream");
  const std::string creator = o.illustrator ? "Adobe Illustrator" : o.creator;
  object("<< /Title (" + o.title + ") /Author (" + o.author + ") /Creator (" + creator + ") /Producer (" + o.producer +
         ") /CreationDate (" + o.created + ") /ModDate (" + o.modified + ") >>");
  const std::size_t xref = pdf.size();
  char line[32];
  pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t off : offsets) {
    std::snprintf(line, sizeof(line), "%010zu 00000 n \n", off);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) + " /Root 1 0 R /Info 5 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return Bytes(pdf.begin(), pdf.end());
}

Bytes MakeZip(const std::vector<std::pair<std::string, std::string>>& members, bool streamed) {
  testsupport::TempDir dir;
  const std::string list = dir.File("members.txt");
  std::string text;
  for (const auto& m : members) text += Hex(m.first) + " " + Hex(m.second) + "\n";
  WriteAll(list, Bytes(text.begin(), text.end()));
  const std::string script = dir.File("zip.py");
  const std::string py =
      "import sys, zipfile\n"
      "out = sys.stdout.buffer\n"
      "with zipfile.ZipFile(out, 'w') as z:\n"
      "    for line in open(sys.argv[1]):\n"
      "        n, d = line.split()\n"
      "        n = bytes.fromhex(n).decode('latin-1')\n"
      "        info = zipfile.ZipInfo(n, (2021, 2, 3, 4, 5, 6))\n"
      "        info.compress_type = zipfile.ZIP_STORED if n == 'mimetype' else zipfile.ZIP_DEFLATED\n"
      "        z.writestr(info, bytes.fromhex(d))\n";
  WriteAll(script, Bytes(py.begin(), py.end()));
  const std::string out = dir.File("out.zip");
  const std::string command =
      "python3 '" + script + "' '" + list + "'" + (streamed ? " | cat" : "") + " > '" + out + "'";
  return RunAndRead(command, out);
}

std::string CoreXml(const std::string& title, const std::string& creator, const std::string& lastModifiedBy,
                    const std::string& modified) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
         "<dc:title>" +
         title + "</dc:title><dc:creator>" + creator +
         "</dc:creator>"
         "<cp:lastModifiedBy>" +
         lastModifiedBy +
         "</cp:lastModifiedBy>"
         "<dcterms:created xsi:type=\"dcterms:W3CDTF\">2020-01-02T03:04:05Z</dcterms:created>"
         "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">" +
         modified +
         "</dcterms:modified>"
         "</cp:coreProperties>";
}

std::vector<std::pair<std::string, std::string>> DocxMembers(const std::string& kind, std::size_t bodyBytes,
                                                             const std::string& core) {
  const Bytes noise = Noise(bodyBytes, 53);
  const std::string body(noise.begin(), noise.end());
  std::vector<std::pair<std::string, std::string>> m;
  if (kind == "odt" || kind == "ods" || kind == "odp" || kind == "epub") {
    const char* mime = kind == "odt"   ? "application/vnd.oasis.opendocument.text"
                       : kind == "ods" ? "application/vnd.oasis.opendocument.spreadsheet"
                       : kind == "odp" ? "application/vnd.oasis.opendocument.presentation"
                                       : "application/epub+zip";
    m.emplace_back("mimetype", mime);
    m.emplace_back("content.xml", body);
    m.emplace_back("META-INF/manifest.xml", "<manifest/>");
    return m;
  }
  m.emplace_back("[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>");
  m.emplace_back("_rels/.rels", "<?xml version=\"1.0\"?><Relationships/>");
  if (!core.empty()) m.emplace_back("docProps/core.xml", core);
  m.emplace_back("docProps/app.xml", "<?xml version=\"1.0\"?><Properties/>");
  if (kind == "docx") {
    m.emplace_back("word/_rels/document.xml.rels", "<?xml version=\"1.0\"?><Relationships/>");
    m.emplace_back("word/document.xml", body);
  } else if (kind == "xlsx") {
    m.emplace_back("xl/_rels/workbook.xml.rels", "<?xml version=\"1.0\"?><Relationships/>");
    m.emplace_back("xl/worksheets/sheet1.xml", body);
  } else if (kind == "pptx") {
    m.emplace_back("ppt/_rels/presentation.xml.rels", "<?xml version=\"1.0\"?><Relationships/>");
    m.emplace_back("ppt/slides/slide1.xml", body);
  }
  return m;
}

Bytes MakeXar(const std::vector<std::pair<std::string, Bytes>>& members, bool directoryLast) {
  std::string toc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xar>\n <toc>\n"
      "  <checksum style=\"sha1\"><offset>0</offset><size>20</size></checksum>\n"
      "  <creation-time>2021-02-03T04:05:06</creation-time>\n";
  Bytes heap(20, 0x5A);
  int id = 1;
  for (const auto& m : members) {
    toc += "  <file id=\"" + std::to_string(id++) + "\">\n   <data><length>" + std::to_string(m.second.size()) +
           "</length><offset>" + std::to_string(heap.size()) + "</offset><size>" + std::to_string(m.second.size()) +
           "</size><encoding style=\"application/octet-stream\"/></data>\n   <name>" + m.first +
           "</name>\n   <type>file</type>\n  </file>\n";
    heap.insert(heap.end(), m.second.begin(), m.second.end());
  }
  if (directoryLast) {
    toc += "  <file id=\"" + std::to_string(id++) + "\"><name>Resources</name><type>directory</type></file>\n";
  }
  toc += " </toc>\n</xar>\n";
  uLongf clen = compressBound(toc.size());
  Bytes packed(clen);
  compress(packed.data(), &clen, reinterpret_cast<const Bytef*>(toc.data()), toc.size());
  packed.resize(clen);
  Bytes file(28, 0);
  std::memcpy(file.data(), "xar!", 4);
  ByteWriter w(file);
  w.PutU16Be(4, 28);
  w.PutU16Be(6, 1);
  w.PutU64Be(8, clen);
  w.PutU64Be(16, toc.size());
  w.PutU32Be(24, 1);
  file.insert(file.end(), packed.begin(), packed.end());
  file.insert(file.end(), heap.begin(), heap.end());
  return file;
}

}  // namespace carvingtest
