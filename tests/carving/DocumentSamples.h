#pragma once
// Real small compound documents, office ZIPs, PDFs and xar packages, made
// in the test.

#include <cstdint>
#include <string>
#include <vector>

#include "carving/Samples.h"

namespace carvingtest {

struct OleOptions {
  std::string stream = "WordDocument";  // the main stream's name
  std::size_t payload = 6000;           // bytes of the main stream
  std::string title = "Quarterly Report";
  std::string author = "Alice";
  std::string lastAuthor = "Bob";
  std::uint64_t created = 0;  // FILETIME; 0 = none
  std::uint64_t saved = 0;
  bool summary = true;
  int codePage = 0;          // property 1 of the summary; 0 = none
  bool fatAtEnd = false;     // FAT sectors after the streams
  bool difatSector = false;  // the second FAT sector listed in a DIFAT sector
  bool version4 = false;     // 4096-byte sectors
};

// A compound file: header, FAT, directory (Root Entry, the main stream,
// SummaryInformation), streams in regular sectors.
Bytes MakeOle(const OleOptions& options);
// The SummaryInformation property set alone.
Bytes MakeSummary(const OleOptions& options, int extraProperties = 0);

struct PdfOptions {
  std::string title = "Annual Summary";
  std::string author = "Carol";
  std::string creator = "Writer";
  std::string producer = "Maker";
  std::string created = "D:20200102030405Z";
  std::string modified = "D:20210203040506Z";
  std::size_t body = 30000;  // bytes of the content stream
  bool illustrator = false;
};
// A PDF with a catalog, a page, a content stream, an Info dictionary, an
// xref table and "%%EOF\n".
Bytes MakePdf(const PdfOptions& options);

// A ZIP written by python3's zipfile: members (name, data), deflated unless
// the name is "mimetype"; streamed (data descriptors) when asked.
Bytes MakeZip(const std::vector<std::pair<std::string, std::string>>& members, bool streamed = false);
// docProps/core.xml of an Office document.
std::string CoreXml(const std::string& title, const std::string& creator, const std::string& lastModifiedBy,
                    const std::string& modified);
// Member lists of Office Open XML and OpenDocument files.
std::vector<std::pair<std::string, std::string>> DocxMembers(const std::string& kind, std::size_t bodyBytes,
                                                             const std::string& core);

// A xar archive: zlib-compressed TOC and a heap holding the members.
Bytes MakeXar(const std::vector<std::pair<std::string, Bytes>>& members, bool directoryLast = false);

}  // namespace carvingtest
