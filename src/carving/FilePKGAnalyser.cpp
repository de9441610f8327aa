#include "carving/FilePKGAnalyser.h"

#include <tinyxml.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"
#include "core/util/Assert.h"
#include "core/util/ByteView.h"

namespace {

constexpr int kMaxDepth = 64;

// A decimal number; false when the text is not one or too large.
bool Decimal(const char* text, unsigned long long& value) {
  if (text == nullptr || *text == '\0') return false;
  value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9' || value > 0xFFFFFFFFFFFFULL) return false;
    value = value * 10 + static_cast<unsigned>(*p - '0');
  }
  return true;
}

}  // namespace

int FilePKGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  QV_ASSERT(sector != nullptr);
  if (std::memcmp(sector, "xar!", 4) != 0 && std::memcmp(sector, "\x7FPKG", 4) != 0) return 0;
  probe.m_eType = kTypePkg;
  return 1;
}

unsigned long long FilePKGAnalyser::Hl64ton(unsigned long long v) { return __builtin_bswap64(v); }

bool FilePKGAnalyser::PkgSignFileSize(const unsigned char* data, std::size_t length, long long& size) const {
  const ByteView v(data, length);
  if (!v.Equals(0, "\x7FPKG", 4)) return false;
  const unsigned kind = v.U16Be(6);
  const unsigned long long total = v.U64Be(24);
  if ((kind != 1 && kind != 2) || total == 0 || total > static_cast<unsigned long long>(m_llLimit)) return false;
  size = static_cast<long long>(total);
  return true;
}

int FilePKGAnalyser::UnCompress(unsigned char* destination, unsigned long* destinationLength, const unsigned char* data,
                                unsigned long sourceLength) {
  if (destination == nullptr || destinationLength == nullptr || data == nullptr || sourceLength == 0) return 5;
  uLongf out = *destinationLength;
  const int r = uncompress(destination, &out, data, sourceLength);
  *destinationLength = out;
  return r;
}

bool FilePKGAnalyser::SearchXmlNodeData(const TiXmlElement* element) {
  unsigned long long id = 0;
  if (!Decimal(element->Attribute("id"), id)) return false;
  const TiXmlElement* first = element->FirstChildElement();
  // The heap ends at the furthest member's data (a directory has none).
  for (const TiXmlElement* data = element->FirstChildElement("data"); data != nullptr;
       data = data->NextSiblingElement("data")) {
    const TiXmlElement* len = data->FirstChildElement("length");
    const TiXmlElement* off = data->FirstChildElement("offset");
    unsigned long long l = 0;
    unsigned long long o = 0;
    if (len != nullptr && off != nullptr && Decimal(len->GetText(), l) && Decimal(off->GetText(), o)) {
      const auto end = static_cast<long long>(l + o);
      if (end > m_llHeapEnd) m_llHeapEnd = end;
    }
  }
  if (static_cast<long long>(id) > m_llHighestId) m_llHighestId = static_cast<long long>(id);
  return first != nullptr;
}

void FilePKGAnalyser::RecursionSearch(const TiXmlElement* element, int depth) {
  if (element == nullptr || depth > kMaxDepth || ++m_iVisited > kMaxFiles) return;
  SearchXmlNodeData(element);
  for (const TiXmlElement* child = element->FirstChildElement("file"); child != nullptr;
       child = child->NextSiblingElement("file")) {
    RecursionSearch(child, depth + 1);
  }
}

bool FilePKGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  QV_ASSERT(device != nullptr);
  info.m_llSize = 0;
  if (device == nullptr || info.m_llStartSector < 0) return false;
  m_llHeapEnd = 0;
  m_llHighestId = -1;
  m_iVisited = 0;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[32];
  if (!reader.Read(0, head, sizeof(head))) return false;
  long long size = 0;
  if (PkgSignFileSize(head, sizeof(head), size)) {
    info.m_llSize = size;
    info.m_eType = kTypePkg;
    return true;
  }
  const ByteView h(head, sizeof(head));
  if (!h.Equals(0, "xar!", 4)) return false;
  const unsigned headerSize = h.U16Be(4);
  const unsigned long long clen = h.U64Be(8);
  const unsigned long long ulen = h.U64Be(16);
  if (headerSize < 28 || clen == 0 || ulen == 0 || clen > kMaxToc || ulen > kMaxToc) return false;
  std::vector<unsigned char> packed(static_cast<std::size_t>(clen));
  if (!reader.Read(headerSize, packed.data(), packed.size())) return false;
  std::vector<unsigned char> toc(static_cast<std::size_t>(ulen) + 1, 0);
  unsigned long outLength = static_cast<unsigned long>(ulen);
  if (UnCompress(toc.data(), &outLength, packed.data(), static_cast<unsigned long>(clen)) != Z_OK) return false;
  toc[outLength] = 0;
  TiXmlDocument doc;
  doc.Parse(reinterpret_cast<const char*>(toc.data()), nullptr, TIXML_ENCODING_UTF8);
  if (doc.Error()) return false;
  const TiXmlElement* root = doc.RootElement();
  const TiXmlElement* tocElement = root != nullptr ? root->FirstChildElement() : nullptr;
  if (tocElement == nullptr) return false;
  const TiXmlElement* file = tocElement->FirstChildElement("file");
  if (file == nullptr && std::strcmp(tocElement->Value(), "file") == 0) file = tocElement;
  if (file == nullptr) return false;
  for (; file != nullptr; file = file->NextSiblingElement("file")) RecursionSearch(file);
  // The table of contents' own checksum also lies in the heap.
  if (const TiXmlElement* sum = tocElement->FirstChildElement("checksum")) {
    const TiXmlElement* off = sum->FirstChildElement("offset");
    const TiXmlElement* len = sum->FirstChildElement("size");
    unsigned long long o = 0;
    unsigned long long l = 0;
    if (off != nullptr && len != nullptr && Decimal(off->GetText(), o) && Decimal(len->GetText(), l) &&
        static_cast<long long>(o + l) > m_llHeapEnd) {
      m_llHeapEnd = static_cast<long long>(o + l);
    }
  }
  size = static_cast<long long>(clen) + m_llHeapEnd + headerSize;
  if (size > m_llLimit) size = static_cast<long long>(clen) + headerSize;
  info.m_llSize = size;
  info.m_eType = kTypePkg;
  return true;
}
