#include "carving/ZipSearch.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "carving/RawFileType.h"

namespace {

bool StartsWith(const std::string& s, const char* p) { return s.compare(0, std::strlen(p), p) == 0; }
bool Contains(const std::string& s, const char* p) { return s.find(p) != std::string::npos; }

std::string Text(const ByteView& v, std::size_t n) {
  const std::size_t take = std::min(n, v.Size());
  return std::string(reinterpret_cast<const char*>(v.Data()), take);
}

// Position of the first occurrence, or npos.
std::size_t Find(const std::string& s, const char* p) { return s.find(p); }

}  // namespace

bool classZipSearch::IsValidHeader(const ByteView& v, std::size_t at) {
  if (!v.Has(at, 4)) return false;
  const std::uint32_t sig = v.U32Le(at);
  if (sig == kCentral || sig == kEnd || sig == kZip64End || sig == kZip64Locator) return true;
  if (sig != kLocal || !v.Has(at, 30)) return false;
  return v.U16Le(at + 8) <= 10 && v.U16Le(at + 26) < 4097;
}

classZipSearch::Parse classZipSearch::GetBlockSize(const ByteView& v, std::size_t at, ZipRecord& r) {
  r = ZipRecord{};
  if (!v.Has(at, 4)) return kNeedMore;
  r.signature = v.U32Le(at);
  switch (r.signature) {
    case kLocal: {
      if (!v.Has(at, 30)) return kNeedMore;
      if (!IsValidHeader(v, at)) return kInvalid;
      const std::size_t n = v.U16Le(at + 26);
      const std::size_t e = v.U16Le(at + 28);
      if (n > 1024) return kInvalid;
      if (!v.Has(at, 30 + n + e)) return kNeedMore;
      v.Bytes(at, r.header.bytes, 30);
      r.flag = v.U16Le(at + 6);
      r.method = v.U16Le(at + 8);
      r.compressed = v.U32Le(at + 18);
      r.uncompressed = v.U32Le(at + 22);
      r.name.assign(reinterpret_cast<const char*>(v.Data() + at + 30), n);
      // Zip64: the 64-bit sizes stand in the extra field, in the order of
      // the header fields that read 0xFFFFFFFF.
      if (r.compressed == 0xFFFFFFFF || r.uncompressed == 0xFFFFFFFF) {
        std::size_t p = at + 30 + n;
        const std::size_t end = p + e;
        while (p + 4 <= end) {
          const std::uint16_t id = v.U16Le(p);
          const std::uint16_t len = v.U16Le(p + 2);
          if (p + 4 + len > end) break;
          if (id == 0x0001) {
            std::size_t q = p + 4;
            if (r.uncompressed == 0xFFFFFFFF && q + 8 <= p + 4 + len) {
              r.uncompressed = v.U64Le(q);
              q += 8;
            }
            if (r.compressed == 0xFFFFFFFF && q + 8 <= p + 4 + len) r.compressed = v.U64Le(q);
            break;
          }
          p += 4 + len;
        }
      }
      r.dataOffset = 30 + n + e;
      r.size = r.dataOffset + r.compressed;
      return kOk;
    }
    case kCentral: {
      if (!v.Has(at, 46)) return kNeedMore;
      const std::size_t n = v.U16Le(at + 28);
      if (n > 1024) return kInvalid;
      if (!v.Has(at, 46 + n)) return kNeedMore;
      r.name.assign(reinterpret_cast<const char*>(v.Data() + at + 46), n);
      r.size = 46 + n + v.U16Le(at + 30) + static_cast<std::uint64_t>(v.U16Le(at + 32));
      return kOk;
    }
    case kEnd:
      if (!v.Has(at, 22)) return kNeedMore;
      r.size = 22 + static_cast<std::uint64_t>(v.U16Le(at + 20));
      return kOk;
    case kZip64End:
      r.size = 56;
      return kOk;
    case kZip64Locator:
      r.size = 20;
      return kOk;
    default:
      return kInvalid;
  }
}

bool classZipSearch::JudgeMaybeOfficeType(const std::string& name) {
  return StartsWith(name, "[Content_Types].xml") || StartsWith(name, "docProps/app.xml") ||
         StartsWith(name, "word/theme/theme1.xml") || StartsWith(name, "_rels/.rels") ||
         StartsWith(name, "Categories.xml");
}

bool classZipSearch::ZipIpaFileType(const unsigned char* data, std::size_t length) {
  if (data == nullptr || length < 30) return false;
  const ByteView v(data, length);
  const std::size_t n = std::min<std::size_t>(v.U16Le(26), length - 30);
  const char* patterns[] = {"Payload",   "iTunesArtwork",   "iTunesMetadata.plist",
                            "Container", "WatchKitSupport", "META-INF"};
  for (const char* p : patterns) {
    const std::size_t len = std::strlen(p);
    if (len > n) continue;
    bool same = true;
    for (std::size_t i = 0; i < len && same; ++i) {
      same = std::tolower(data[30 + i]) == std::tolower(static_cast<unsigned char>(p[i]));
    }
    if (same) return true;
  }
  return false;
}

int classZipSearch::LocalNameType(const std::string& name, const ByteView& data, bool maybeOffice, int sub) {
  if (maybeOffice) {
    if (name == "word/_rels/document.xml.rels" || name == "word/theme/theme1.xml") return kRawTypeDocx;
    if (name == "xl/_rels/workbook.xml.rels") return kRawTypeXlsx;
    if (name == "ppt/_rels/presentation.xml.rels") return kRawTypePptx;
  }
  if (name.size() == 36) {
    return std::count(name.begin(), name.end(), '-') == 4 ? 145 : sub;
  }
  const bool iwork = sub == kRawTypePages || sub == kRawTypeKey;
  if (!maybeOffice) {
    if (Contains(name, "numbers/") && !iwork) return kRawTypeNumbers;
    if (name == "Index/Slide1.iwa" || name == "Index/Slide2.iwa" || name == "index.apxl") return kRawTypeKey;
  }
  if (maybeOffice && (StartsWith(name, "Accounts/Outlook/com.microsoft.__Messages/") ||
                      StartsWith(name, "Accounts/Outlook/") || StartsWith(name, "Local/com.microsoft.__Messages/"))) {
    return kRawTypeOlm;
  }
  if (!maybeOffice && !iwork) {
    if (name == "buildVersionHistory.plist") {
      const std::string body = Text(data, 1024);
      const std::size_t n = Find(body, "<string>numbers-trunk");
      const std::size_t p = Find(body, "<string>pages-trunk");
      return p != std::string::npos && (n == std::string::npos || p < n) ? 110 : 112;
    }
    if (name == "Index/DocumentStylesheet.iwa" || name == "Index/Tables/HeaderStorageBuckt-1.iwa") {
      const std::string body = Text(data, 256);
      return Contains(body, "imported-paragraph-style-") || Contains(body, "layout-style-") ? 110 : 112;
    }
    if (name == "Index/Metadata.iwa" || name == "Metadata/Properties.plist") {
      const std::string body = Text(data, 256);
      return Contains(body, "CalculationEngine") || Contains(body, "DocumentMetadata") || Contains(body, "Xrevision")
                 ? 110
                 : 112;
    }
  }
  if (!maybeOffice && sub != kRawTypePages && sub != kRawTypeKey && sub != kRawTypeNumbers) {
    if (StartsWith(name, "OEBPS/Text/chapter") || name == "OPS/chapter.html") return kRawTypeEpub;
    if (name == "mimetype") {
      const std::string body = Text(data, 48);
      int type = sub;
      if (Contains(body, "application/epub+")) type = kRawTypeEpub;
      if (Contains(body, "application/vnd.oasis.opendocument.text")) type = kRawTypeOdt;
      if (Contains(body, "application/vnd.oasis.opendocument.spreadsheet")) type = kRawTypeOds;
      if (Contains(body, "application/vnd.oasis.opendocument.presentation")) type = kRawTypeOdp;
      return type;
    }
  }
  if (maybeOffice && name.size() > 4 && StartsWith(name, "word")) return kRawTypeDocx;
  return sub;
}

int classZipSearch::CentralNameType(const std::string& name, bool maybeOffice, int sub) {
  if (!maybeOffice) return sub;
  if (name == "word/_rels/document.xml.rels") return kRawTypeDocx;
  if (name == "xl/_rels/workbook.xml.rels") return kRawTypeXlsx;
  if (name == "ppt/_rels/presentation.xml.rels") return kRawTypePptx;
  if (StartsWith(name, "Accounts/Outlook/")) return kRawTypeOlm;
  if (name.size() > 4 && StartsWith(name, "word")) return kRawTypeDocx;
  return sub;
}
