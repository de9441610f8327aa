#pragma once
// Document properties of Office Open XML files: inflates docProps/core.xml
// and reads its title, creator, last editor and times.

#include <cstddef>
#include <string>

#include "carving/FileProperty.h"

// Slots of FileProperty filled from core.xml.
enum OfficeSlot : int {
  kOfficeTitle = 1,
  kOfficeAuthor = 3,
  kOfficeLastAuthor = 4,
  kOfficeCreated = 5,
  kOfficeModified = 6,
};

namespace Kalder {

class OfficeTagFromXML {
 public:
  static constexpr std::size_t kMaxMember = 10239;

  // Inflates (method 8, raw deflate) or copies (method 0) a member's data
  // into at most `uncompressed` bytes; false on any failure.
  static bool bDepress(const unsigned char* data, std::size_t compressed, std::size_t uncompressed, int method,
                       std::string& out);
  // Reads the core properties of an XML text into the record; true when
  // the text was XML at all.
  static bool AnalyzeTag(const std::string& xml, FileProperty& property);
  // From the second character on, letters become spaces and ':' '-'.
  static std::string FilterFileTime(const std::string& text);
};

}  // namespace Kalder
