#include "carving/PdfAnalyzer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "carving/StreamBytes.h"
#include "core/util/Assert.h"

namespace BruteForce {

int PdfAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  QV_ASSERT(sector != nullptr);
  bool ok = std::memcmp(sector, "%PDF-", 5) == 0;
  if (!ok && std::memcmp(sector, "%!PS-Adobe", 10) == 0) {
    const std::size_t n = strnlen(reinterpret_cast<const char*>(sector), 512);
    ok = memmem(sector, n, "Adobe Illustrator", 17) != nullptr && memmem(sector, n, " EPSF-", 6) == nullptr;
  }
  if (!ok) return 0;
  probe.m_eType = FilePDFAnalyser::kTypePdf;
  return 1;
}

void PdfAnalyzer::PdfRawFileInfo::WillBeRemove(unsigned char*, long long) {
  if (auto* owner = dynamic_cast<PdfAnalyzer*>(m_pAnalyser)) m_pAnalyser = owner->Reader();
}

void PdfAnalyzer::PdfRawFileInfo::PdfTagDealwith(const FileProperty& p) {
  std::string label;
  if (!m_bInfoPending) {
    for (int slot : {kPdfAuthor, kPdfCreator, kPdfProducer}) {
      if (label.empty()) label = p[slot];
    }
    if (label.empty()) label = "unknown";
  } else {
    label = m_strName;
  }
  std::string name;
  for (int slot : {kPdfTitle, kPdfAuthor, kPdfCreator, kPdfProducer}) {
    if (!p[slot].empty()) {
      name = p[slot] + p[kPdfModified];
      break;
    }
  }
  if (name.empty()) name = p[kPdfCreated];
  if (!name.empty()) SetRawFileName(name);
  if (!m_bInfoPending && (!name.empty() || !p[kPdfCreated].empty())) {
    SetRawFileTagAndValue(m_eType == FilePDFAnalyser::kTypePdf ? kRawTagPdf : kRawTagAi, label);
  }
  if (!p[kPdfCreated].empty()) m_strTime = p[kPdfCreated];
}

// "%%EOF" and its line end, followed by a byte no incremental update can
// start with (updates go on with a line end, a comment or "N 0 obj"): the
// document ends there even when non-zero bytes follow on the disk.
long long PdfAnalyzer::PdfRawFileInfo::EndAmidData(const unsigned char* sector, int sectorSize, long long d) {
  const auto* hit = static_cast<const unsigned char*>(memmem(sector, static_cast<std::size_t>(sectorSize), "%%EOF", 5));
  while (hit != nullptr) {
    int at = static_cast<int>(hit - sector) + 5;
    if (at < sectorSize && sector[at] == '\r') ++at;
    if (at < sectorSize && sector[at] == '\n') ++at;
    if (at < sectorSize && at > static_cast<int>(hit - sector) + 5) {
      const unsigned char next = sector[at];
      const bool update = next == '%' || next == ' ' || next == '\t' || next == '\r' || next == '\n' ||
                          (next >= '0' && next <= '9') || next == 'x';
      if (!update) return d + at;
    }
    const int from = static_cast<int>(hit - sector) + 5;
    hit = static_cast<const unsigned char*>(
        memmem(sector + from, static_cast<std::size_t>(sectorSize - from), "%%EOF", 5));
  }
  return 0;
}

int PdfAnalyzer::PdfRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                             SearchContext& context) {
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const StreamBytes bytes(sector, sectorSize, context);
  const bool nextPresent = sectorNumber + 1 < context.blockEndSector && bytes.After() >= 2LL * sectorSize;
  const int visible = nextPresent ? 2 * sectorSize : sectorSize;
  if (m_bInfoPending && m_title.ObtainPerSecPDFInformation(sector, visible, sectorSize, nextPresent, m_property)) {
    m_bInfoPending = false;
    if (m_property[kPdfCreator].find("Illustrator") != std::string::npos) m_eType = FilePDFAnalyser::kTypeAi;
  }
  if (m_bAiPending) {
    m_bAiPending = false;
    const int n = std::min(visible, 4095);
    if (const void* ps = memmem(sector, static_cast<std::size_t>(n), "%!PS-Adobe", 10)) {
      const auto* from = static_cast<const unsigned char*>(ps);
      const std::size_t rest =
          strnlen(reinterpret_cast<const char*>(from), static_cast<std::size_t>(sector + visible - from));
      if (memmem(from, rest, "Adobe Illustrator", 17) != nullptr) m_eType = FilePDFAnalyser::kTypeAi;
    }
  }
  const long long d = (sectorNumber - m_llStartSector) * sectorSize;
  if (d > m_llCap) {
    m_llSize = 0;
    return kSizeDone;
  }
  long long end = 0;
  if (context.zeroTailBytes >= 4) {
    const int used = UsedBytes(sector, sectorSize);
    if (used > 0) {
      const int at = FilePDFAnalyser::EndOfMarker(sector, used);
      if (at > 0) end = d + at;
    } else if (d > 0) {
      // An empty sector after one that ended with the marker.
      std::size_t off = 0;
      if (bytes.Locate(-16, 16, off) && FilePDFAnalyser::EndOfMarker(bytes.View().Data() + off, 16) == 16) end = d;
    }
  }
  if (end == 0 && context.zeroTailBytes < 4) end = EndAmidData(sector, sectorSize, d);
  if (end == 0) return kSizeNeedMore;
  PdfTagDealwith(m_property);
  if (m_strName.empty()) {
    char name[64];
    std::snprintf(name, sizeof(name), "%lld-%lld_", m_llStartSector, sectorNumber);
    SetRawFileName(name);
  }
  m_llSize = end;
  return kSizeDone;
}

}  // namespace BruteForce
