#pragma once
// ustar headers: 512-byte records whatever the device's sector size.

#include <cstddef>

constexpr long long kTarRecord = 512;
// GNU tar pads an archive with zeros to a multiple of 20 records.
constexpr long long kTarBlocking = 20 * kTarRecord;

// "ustar" at offset 257 of a 512-byte header.
bool IsTarHeader(const unsigned char* header);
// The member size of a header (octal, or base-256 when the first byte has
// bit 7), or -1 when it does not fit 63 bits.
long long TarMemberSize(const unsigned char* header);
// Octal size: 11 digits at 124, non-digits count as 0.
unsigned int OctStringToint(const unsigned char* field);
// Bytes of a member's data in whole records.
long long TarDataRecords(long long size);
