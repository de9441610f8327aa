#include "fat/FatLongName.h"

#include "core/util/Utf16.h"

std::string Utf16UnitsToUtf8(const std::vector<std::uint16_t>& units) {
  std::u16string name;
  for (const std::uint16_t u : units) {
    if (u == 0) break;
    name.push_back(static_cast<char16_t>(u));
  }
  return text::Utf16ToUtf8(name);
}

bool IsValidLongFileName(const std::string& name) {
  return !name.empty() && name.find_first_of("?*|\\/:\"<>") == std::string::npos;
}
