#include "bridge/AppleDiskImage.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/device/DeviceResult.h"
#include "core/util/Log.h"

namespace {

constexpr std::uint64_t kSector = 512;
constexpr std::size_t kTrailerSize = 512;
constexpr std::uint64_t kMaxPlistBytes = 64ull << 20;  // no real image has more
constexpr std::size_t kMishHeader = 204;
constexpr std::size_t kChunkSize = 40;
// A disk image's property list nests about six elements deep; the XML
// parser recurses once per level, so deeper text is refused unparsed.
constexpr int kMaxPlistDepth = 64;

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint64_t Be64(const std::uint8_t* p) { return (std::uint64_t{Be32(p)} << 32) | Be32(p + 4); }

bool AddOverflows(std::uint64_t a, std::uint64_t b, std::uint64_t& out) {
  out = a + b;
  return out < a;
}

// Decodes base64 text, skipping white space; false on any other character.
bool DecodeBase64(const char* text, std::vector<std::uint8_t>& out) {
  out.clear();
  std::uint32_t acc = 0;
  int bits = 0;
  bool ended = false;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = *p;
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else if (c == '=') {
      ended = true;
      continue;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
      continue;
    else
      return false;
    if (ended) return false;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
    }
  }
  return true;
}

// The value element that follows <key>name</key> in a plist <dict>.
const TiXmlElement* DictValue(const TiXmlElement* dict, const char* name) {
  if (dict == nullptr) return nullptr;
  for (const TiXmlElement* e = dict->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    if (std::strcmp(e->Value(), "key") == 0 && e->GetText() != nullptr && std::strcmp(e->GetText(), name) == 0) {
      return e->NextSiblingElement();
    }
  }
  return nullptr;
}

const char* ChunkTypeName(std::uint32_t type) {
  switch (type) {
    case kUdifChunkAdc:
      return "ADC";
    case kUdifChunkZlib:
      return "zlib";
    case kUdifChunkBzip2:
      return "bzip2";
    case kUdifChunkLzfse:
      return "LZFSE";
    case kUdifChunkLzma:
      return "LZMA";
    default:
      return "unknown";
  }
}

// Sorts the runs and refuses overlaps and runs past the image's end.
bool CheckRuns(std::vector<UdifRun>& runs, std::uint64_t totalSectors, std::string& error) {
  std::sort(runs.begin(), runs.end(), [](const UdifRun& a, const UdifRun& b) { return a.firstSector < b.firstSector; });
  std::uint64_t next = 0;
  for (const UdifRun& r : runs) {
    std::uint64_t end = 0;
    if (AddOverflows(r.firstSector, r.sectorCount, end) || end > totalSectors) {
      error = "a block table reaches past the image's sector count";
      return false;
    }
    if (r.firstSector < next) {
      error = "block tables overlap";
      return false;
    }
    next = end;
  }
  return true;
}

}  // namespace

namespace {

// Position of the '>' that ends the tag opened at `at`, quotes skipped.
std::size_t TagEnd(std::string_view text, std::size_t at) {
  char quote = 0;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

bool XmlNestingWithin(std::string_view text, int limit) {
  int depth = 0;
  std::size_t at = 0;
  while ((at = text.find('<', at)) != std::string_view::npos) {
    const std::string_view rest = text.substr(at);
    std::string_view skipTo;
    if (rest.starts_with("<!--"))
      skipTo = "-->";
    else if (rest.starts_with("<![CDATA["))
      skipTo = "]]>";
    else if (rest.starts_with("<?"))
      skipTo = "?>";
    if (!skipTo.empty()) {
      const std::size_t close = text.find(skipTo, at + 1);
      if (close == std::string_view::npos) return true;  // unterminated: the parser reports it
      at = close + skipTo.size();
      continue;
    }
    const std::size_t close = TagEnd(text, at);
    if (close == std::string_view::npos) return true;
    const bool closing = rest.starts_with("</");
    const bool declaration = rest.starts_with("<!");
    const bool empty = text[close - 1] == '/';
    at = close + 1;
    if (declaration) continue;
    if (closing) {
      if (depth > 0) --depth;
    } else if (!empty && ++depth > limit) {
      return false;
    }
  }
  return true;
}

int ParseMishTable(const std::uint8_t* data, std::size_t size, std::uint64_t fileSize, std::vector<UdifRun>& runs,
                   std::string& error, std::uint64_t dataForkOffset) {
  if (data == nullptr || size < kMishHeader || std::memcmp(data, "mish", 4) != 0) {
    error = "a block table is damaged (no \"mish\" header)";
    return 0;
  }
  const std::uint64_t first = Be64(data + 8);
  const std::uint64_t count = Be64(data + 16);
  const std::uint64_t dataOffset = Be64(data + 24);
  const std::uint32_t chunks = Be32(data + 200);
  CatchExeception::WriteLog("sectorcount: %llu, start sectorNum: %llu\n", static_cast<unsigned long long>(count),
                            static_cast<unsigned long long>(first));
  CatchExeception::WriteLog("mish dataoffset: %llu, bufferneed: %u\n", static_cast<unsigned long long>(dataOffset),
                            Be32(data + 32));
  if (chunks > (size - kMishHeader) / kChunkSize) {
    error = "a block table's chunk count reaches past its data";
    return 0;
  }
  std::uint64_t tableEnd = 0;
  if (AddOverflows(first, count, tableEnd)) {
    error = "a block table's sectors overflow";
    return 0;
  }
  for (std::uint32_t i = 0; i < chunks; ++i) {
    const std::uint8_t* c = data + kMishHeader + kChunkSize * i;
    const std::uint32_t type = Be32(c);
    const std::uint64_t sector = Be64(c + 8);
    const std::uint64_t sectors = Be64(c + 16);
    const std::uint64_t offset = Be64(c + 24);
    const std::uint64_t length = Be64(c + 32);
    if (type == kUdifChunkEnd) break;
    if (type == kUdifChunkComment) continue;
    if (type != kUdifChunkZero && type != kUdifChunkRaw && type != kUdifChunkIgnore) {
      error = std::string("the image is compressed (") + ChunkTypeName(type) +
              " chunks); convert it to a read-only uncompressed image (UDRO) first";
      return 0;
    }
    CatchExeception::WriteLog(
        "Bkl %d,start sector:%llu (have %llu sectors) - Compressed to %llu, %llu bytes, type = %u\n",
        static_cast<int>(i), static_cast<unsigned long long>(sector), static_cast<unsigned long long>(sectors),
        static_cast<unsigned long long>(offset), static_cast<unsigned long long>(length), type);
    if (sectors == 0) continue;
    UdifRun run;
    if (AddOverflows(first, sector, run.firstSector)) {
      error = "a chunk's sector overflows";
      return 0;
    }
    run.sectorCount = sectors;
    std::uint64_t runEnd = 0;
    if (AddOverflows(run.firstSector, sectors, runEnd) || runEnd > tableEnd) {
      error = "a chunk reaches past its block table";
      return 0;
    }
    if (type == kUdifChunkRaw) {
      std::uint64_t bytes = 0;
      std::uint64_t end = 0;
      if (sectors > std::numeric_limits<std::uint64_t>::max() / kSector || length != (bytes = sectors * kSector) ||
          AddOverflows(dataOffset, offset, run.fileOffset) ||
          AddOverflows(run.fileOffset, dataForkOffset, run.fileOffset) || AddOverflows(run.fileOffset, bytes, end) ||
          end > fileSize) {
        error = "a stored chunk lies outside the file";
        return 0;
      }
    } else {
      run.zero = true;
    }
    runs.push_back(run);
  }
  return 1;
}

namespace {

// The first bytes of an encrypted image, in either of its two forms.
bool IsEncryptedHead(const std::uint8_t (&head)[8]) {
  return std::memcmp(head, "encrcdsa", 8) == 0 || std::memcmp(head, "cdsaencr", 8) == 0;
}

// The block tables of the trailer's property list, appended to `runs`; false
// with `error` when the list or a table is damaged.
bool ReadBlockTables(const std::string& xml, std::uint64_t fileSize, std::uint64_t dataForkOffset,
                     std::vector<UdifRun>& runs, std::string& error) {
  if (!XmlNestingWithin(xml, kMaxPlistDepth)) {
    error = "the image's property list is nested too deeply to be a disk image's";
    return false;
  }
  TiXmlDocument doc;
  doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
  const TiXmlElement* plist = doc.RootElement();
  const TiXmlElement* top = plist != nullptr ? plist->FirstChildElement("dict") : nullptr;
  const TiXmlElement* fork = DictValue(top, "resource-fork");
  const TiXmlElement* blkx = DictValue(fork, "blkx");
  if (doc.Error() || blkx == nullptr || std::strcmp(blkx->Value(), "array") != 0) {
    error = "the image's property list is damaged (no resource-fork/blkx table)";
    return false;
  }
  CatchExeception::WriteLog("========= mish info begin =============\n");
  std::vector<std::uint8_t> bytes;
  for (const TiXmlElement* entry = blkx->FirstChildElement("dict"); entry != nullptr;
       entry = entry->NextSiblingElement("dict")) {
    const TiXmlElement* data = DictValue(entry, "Data");
    if (data == nullptr || std::strcmp(data->Value(), "data") != 0 ||
        !DecodeBase64(data->GetText() != nullptr ? data->GetText() : "", bytes)) {
      error = "a block table of the property list is damaged";
      return false;
    }
    if (ParseMishTable(bytes.data(), bytes.size(), fileSize, runs, error, dataForkOffset) == 0) return false;
  }
  return true;
}

// An image with a koly trailer: its fields checked, then its property list's
// block tables read into `info.runs`. 1 done, 0 with `error`.
int ParseKolyImage(const platform::RawDevice& file, const std::uint8_t (&trailer)[kTrailerSize],
                   CDMGDeviceInfoStruct& record, UdifImageInfo& info, std::string& error) {
  const std::uint64_t size = info.fileSize;
  info.hasTrailer = true;
  const std::uint64_t xmlOffset = Be64(trailer + 216);
  const std::uint64_t xmlLength = Be64(trailer + 224);
  info.totalSectors = Be64(trailer + 492);
  const std::uint64_t dataForkOffset = Be64(trailer + 24);
  const std::uint32_t segmentCount = Be32(trailer + 60);
  if (segmentCount > 1) {
    error = "the image is split into segments; join them into one image first";
    return 0;
  }
  if (dataForkOffset >= size) {
    error = "the trailer's data fork lies outside the file";
    return 0;
  }
  CatchExeception::WriteLog("========= koly info begin =============\n");
  CatchExeception::WriteLog("XML plist from: %llu, spanning %llu types\n", static_cast<unsigned long long>(xmlOffset),
                            static_cast<unsigned long long>(xmlLength));
  CatchExeception::WriteLog("Original total sectors: %llu\n", static_cast<unsigned long long>(info.totalSectors));
  CatchExeception::WriteLog("========= koly info end ===============\n");
  std::uint64_t xmlEnd = 0;
  if (xmlLength == 0 || xmlLength > kMaxPlistBytes || AddOverflows(xmlOffset, xmlLength, xmlEnd) ||
      xmlEnd > size - kTrailerSize) {
    error = "the trailer's property list lies outside the file";
    return 0;
  }
  if (info.totalSectors == 0 || info.totalSectors > std::numeric_limits<std::uint64_t>::max() / kSector / 2) {
    error = "the trailer's sector count is not usable";
    return 0;
  }
  std::string xml(static_cast<std::size_t>(xmlLength), '\0');
  if (file.Pread(xml.data(), xmlLength, xmlOffset).bytes != xmlLength) {
    error = "the property list cannot be read";
    return 0;
  }
  if (!ReadBlockTables(xml, size, dataForkOffset, info.runs, error)) return 0;
  if (!CheckRuns(info.runs, info.totalSectors, error)) return 0;
  // Sectors no chunk describes have no data anywhere: an image claiming
  // them would be read forever as zeros.
  const std::uint64_t held = info.runs.empty() ? 0 : info.runs.back().firstSector + info.runs.back().sectorCount;
  if (info.totalSectors > held) {
    error = "the trailer claims more sectors (" + std::to_string(info.totalSectors) + ") than its block tables hold (" +
            std::to_string(held) + ")";
    return 0;
  }
  record.totalSectors = info.totalSectors;
  return 1;
}

}  // namespace

int ParseDmgFile(const std::string& path, CDMGDeviceInfoStruct& record, UdifImageInfo& info, std::string& error) {
  info = UdifImageInfo{};
  platform::RawDevice file;
  if (file.OpenReadOnly(path) != 0) {
    error = std::string("cannot be opened: ") + std::strerror(errno);
    return 0;
  }
  std::uint8_t head[8] = {};
  const platform::PreadResult headRead = file.Pread(head, sizeof head, 0);
  if (headRead.error != 0) {
    error = std::string("cannot be read: ") + std::strerror(headRead.error);
    return 0;
  }
  // A file shorter than the head is found too small below.
  if (headRead.bytes == sizeof head && IsEncryptedHead(head)) {
    error = "the image is encrypted";
    return 0;
  }
  const std::optional<std::uint64_t> size = file.SizeBytes();
  if (!size || *size <= kTrailerSize) {
    error = "the file is too small to be a disk image";
    return 0;
  }
  info.fileSize = *size;
  record.fileSize = *size;
  std::uint8_t trailer[kTrailerSize];
  if (file.Pread(trailer, kTrailerSize, *size - kTrailerSize).bytes != kTrailerSize) {
    error = "the trailer cannot be read";
    return 0;
  }
  if (std::memcmp(trailer + kTrailerSize - 8, "cdsaencr", 8) == 0) {
    error = "the image is encrypted";
    return 0;
  }
  if (std::memcmp(trailer, "koly", 4) == 0) return ParseKolyImage(file, trailer, record, info, error);
  // A raw sector image; a partial last sector is not part of it.
  info.totalSectors = *size / kSector;
  info.runs.push_back(UdifRun{0, info.totalSectors, 0, false});
  record.totalSectors = info.totalSectors;
  return 1;
}

int ParseDmgFile(const std::string& path, CDMGDeviceInfoStruct& record) {
  UdifImageInfo info;
  std::string error;
  return ParseDmgFile(path, record, info, error);
}

bool LooksLikeAppleDiskImage(const std::string& path) {
  platform::RawDevice file;
  if (file.OpenReadOnly(path) != 0) return false;
  std::uint8_t head[8] = {};
  if (file.Pread(head, sizeof head, 0).bytes == sizeof head && IsEncryptedHead(head)) return true;
  const std::optional<std::uint64_t> size = file.SizeBytes();
  if (!size || *size <= kTrailerSize) return false;
  std::uint8_t magic[4] = {};
  return file.Pread(magic, 4, *size - kTrailerSize).bytes == 4 && std::memcmp(magic, "koly", 4) == 0;
}

CUdifDevice::~CUdifDevice() = default;

int CUdifDevice::ReadSector(void* buffer, long long startSector, long long count) {
  m_lastError = 0;
  const long long total = GetTotalSectors();
  if (buffer == nullptr || startSector < 0 || count <= 0 || startSector >= total || count > total - startSector ||
      static_cast<std::uint64_t>(count) > std::numeric_limits<std::size_t>::max() / kSector) {
    m_lastError = QV_DEVICE_RESULT(kDevBadArgument);
    return 0;
  }
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint64_t sector = static_cast<std::uint64_t>(startSector);
  const std::uint64_t end = sector + static_cast<std::uint64_t>(count);
  const auto& runs = m_info.runs;
  // The first run that ends after `sector`.
  auto it = std::upper_bound(runs.begin(), runs.end(), sector,
                             [](std::uint64_t s, const UdifRun& r) { return s < r.firstSector + r.sectorCount; });
  while (sector < end) {
    std::uint64_t upto = end;
    bool stored = false;
    std::uint64_t fileOffset = 0;
    if (it != runs.end() && it->firstSector <= sector) {
      upto = std::min(end, it->firstSector + it->sectorCount);
      if (!it->zero) {
        stored = true;
        fileOffset = it->fileOffset + (sector - it->firstSector) * kSector;
      }
    } else if (it != runs.end()) {
      upto = std::min(end, it->firstSector);  // a gap between tables reads as zeros
    }
    const std::uint64_t bytes = (upto - sector) * kSector;
    if (stored) {
      const platform::PreadResult r = m_file.Pread(out, bytes, fileOffset);
      if (r.bytes != bytes) {
        m_lastError = QV_DEVICE_RESULT(kDevOpenOrReadFailed);
        return 0;
      }
    } else {
      std::memset(out, 0, bytes);
    }
    out += bytes;
    sector = upto;
    if (it != runs.end() && sector >= it->firstSector + it->sectorCount) ++it;
  }
  return 1;
}

std::unique_ptr<CUdifDevice> CUdifDevice::OpenImage(const std::string& path, std::string& error) {
  auto record = std::make_unique<CDMGDeviceInfoStruct>();
  record->sectorSize = 512;
  const auto slash = path.find_last_of('/');
  record->name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (record->name.size() > 127) record->name.resize(127);
  record->path = path;
  if (record->path.size() > 1031) {
    error = "the path is too long to be kept";
    return nullptr;
  }
  std::unique_ptr<CUdifDevice> device(new CUdifDevice());
  if (ParseDmgFile(path, *record, device->m_info, error) == 0) return nullptr;
  if (device->m_file.OpenReadOnly(path) != 0) {
    error = std::string("cannot be opened: ") + std::strerror(errno);
    return nullptr;
  }
  record->dataOffset = 0;
  device->m_data.reset(CreateDMGDeviceData(record.release()));
  return device;
}

IStorageDevice* OpenDmgDeviceByDmgInfo(const void* block, int len, std::string& error) {
  if (block == nullptr || len != static_cast<int>(kDmgInfoSize)) {
    error = "the saved image record is damaged";
    return nullptr;
  }
  CDMGDeviceInfoStruct saved;
  if (!ParseDmgInfo(static_cast<const std::uint8_t*>(block), kDmgInfoSize, saved) || saved.path.empty()) {
    error = "the saved image record is damaged";
    return nullptr;
  }
  std::unique_ptr<CUdifDevice> device = CUdifDevice::OpenImage(saved.path, error);
  if (!device) return nullptr;
  if (saved.totalSectors != 0 && static_cast<std::uint64_t>(device->GetTotalSectors()) != saved.totalSectors) {
    error = "the image at the saved path has another size";
    return nullptr;
  }
  return device.release();
}
