#pragma once
// Cleaning of texts taken from carved content before they become names.

#include <string>

// Removes trailing spaces and leading dots, and replaces each of the bytes
// 01 \ / : ? " < > | * CR LF by "_".
std::string ApiStrFilterBadFileName(const std::string& text);

// True for a byte that may not stand in a camera name: everything but ASCII
// letters, digits, space, ",", "-", ".", "@" and "_".
bool ApiIsInvalidCharInFileName(unsigned char c);
// True when the text holds such a byte.
bool HasInvalidCharInFileName(const std::string& text);

// Cuts a text to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t limit);
