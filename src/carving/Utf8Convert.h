#pragma once
// UTF-8 text conversions for labels taken from carved documents.

#include <cwchar>

// Decodes UTF-8 into wide characters (one code point each); the number
// written, 0 on malformed input or when a length is 0.
unsigned long UTF8ToUNICODE(const unsigned char* src, unsigned long srcLength, wchar_t* dst, unsigned long dstCapacity);
// Copies valid UTF-8 (the local multibyte encoding) into dst, cut on a
// character boundary; the bytes written, 0 on failure. dst is NUL-terminated
// when room remains.
unsigned long UTF8ToANSI(const unsigned char* src, unsigned long srcLength, char* dst, unsigned long dstCapacity);
