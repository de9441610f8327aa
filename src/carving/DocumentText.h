#pragma once
// Character-set conversion of document texts to UTF-8 (iconv).

#include <cstddef>
#include <string>

// Converts n bytes from `charset` to UTF-8, at most outCapacity bytes of
// output; empty when iconv cannot be opened or nothing converts.
std::string ConvertToUtf8(const char* charset, const unsigned char* data, std::size_t n, std::size_t outCapacity);
// True when the bytes are UTF-8 by the lead/continuation rule (a sequence
// cut by the end counts as valid).
bool LooksLikeUtf8(const unsigned char* data, std::size_t n);
