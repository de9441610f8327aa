#pragma once
// UTF-16 names of file systems as UTF-8 text.

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// UTF-8 of host-order UTF-16 units; an unpaired surrogate becomes U+FFFD.
// Stops before a character that would pass `maxBytes`.
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view units, std::size_t maxBytes = std::string::npos);
// UTF-16 of UTF-8 text; a malformed sequence becomes U+FFFD.
[[nodiscard]] std::u16string Utf8ToUtf16(std::string_view text);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace text
