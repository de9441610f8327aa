#pragma once
// Text of MP3 tags (ID3v2 frames, ID3v1 fields) converted to UTF-8.

#include <cstddef>
#include <string>

namespace Mp3TagText {

// The character set libchardet names for the text; empty without a result
// or with zero confidence.
std::string Detect(const std::string& text);
// iconv conversion to UTF-8; false when the set is unknown or the text does
// not convert.
bool ToUtf8(const std::string& from, const std::string& text, std::string& out);
// Every byte of 0x80 or above replaced by "_".
std::string ReplaceHigh(std::string text);
// True for UTF-8 made of sequences of 1 to 3 bytes.
bool IsUtf8(const std::string& text);

// An ID3v2 text frame's content (encoding byte first). `charset` is the
// remembered set of the title (empty: detect). `stream`: the sweep's rules
// (UTF-8 validated, at most 255 bytes), else the device reader's (UTF-8 as
// it is up to 1024 bytes, UTF-16 unlimited).
std::string GetTagValue(const unsigned char* content, std::size_t length, const std::string& charset, bool stream);
// A fixed-width ID3v1 field converted from `charset` (or detected).
std::string Id3v1Field(const unsigned char* field, std::size_t length, const std::string& charset);

}  // namespace Mp3TagText
