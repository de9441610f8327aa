#include "carving/OfficeTagFromXML.h"

#include <tinyxml.h>
#include <zlib.h>

#include <cctype>
#include <vector>

#include "carving/Utf8Convert.h"

namespace Kalder {

bool OfficeTagFromXML::bDepress(const unsigned char* data, std::size_t compressed, std::size_t uncompressed, int method,
                                std::string& out) {
  out.clear();
  if (data == nullptr || compressed == 0 || uncompressed == 0 || compressed > kMaxMember || uncompressed > kMaxMember) {
    return false;
  }
  if (method == 0) {
    if (compressed != uncompressed) return false;
    out.assign(reinterpret_cast<const char*>(data), compressed);
    return true;
  }
  if (method != 8) return false;
  std::vector<unsigned char> buffer(uncompressed + 1, 0);
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = static_cast<uInt>(compressed);
  zs.next_out = buffer.data();
  zs.avail_out = static_cast<uInt>(uncompressed);
  const int r = inflate(&zs, Z_FINISH);
  const std::size_t produced = uncompressed - zs.avail_out;
  inflateEnd(&zs);
  if (r < 0 && r != Z_BUF_ERROR) return false;
  if (produced == 0) return false;
  out.assign(reinterpret_cast<const char*>(buffer.data()), produced);
  return true;
}

std::string OfficeTagFromXML::FilterFileTime(const std::string& text) {
  std::string out = text;
  for (std::size_t i = 1; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80 && std::isalpha(c)) {
      out[i] = ' ';
    } else if (c == ':') {
      out[i] = '-';
    }
  }
  return out;
}

bool OfficeTagFromXML::AnalyzeTag(const std::string& xml, FileProperty& property) {
  if (xml.compare(0, 2, "<?") != 0) return false;
  TiXmlDocument doc;
  doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
  if (doc.Error()) return true;
  const TiXmlElement* root = doc.FirstChildElement("cp:coreProperties");
  if (root == nullptr) return true;
  auto textOf = [root](const char* name) -> std::string {
    const TiXmlElement* e = root->FirstChildElement(name);
    if (e == nullptr || e->GetText() == nullptr) return {};
    return e->GetText();
  };
  auto keepText = [&property](int slot, const std::string& value) {
    if (value.empty() || value.size() > 1023) return;
    char converted[1024] = {};
    const unsigned long n = UTF8ToANSI(reinterpret_cast<const unsigned char*>(value.data()), value.size(), converted,
                                       sizeof(converted) - 1);
    if (n > 0) property[slot] = std::string(converted, n);
  };
  keepText(kOfficeTitle, textOf("dc:title"));
  keepText(kOfficeAuthor, textOf("dc:creator"));
  keepText(kOfficeLastAuthor, textOf("cp:lastModifiedBy"));
  const std::string created = textOf("dcterms:created");
  if (!created.empty()) property[kOfficeCreated] = FilterFileTime(created);
  const std::string modified = textOf("dcterms:modified");
  if (!modified.empty()) property[kOfficeModified] = FilterFileTime(modified);
  return true;
}

}  // namespace Kalder
