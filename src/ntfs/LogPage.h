#pragma once
// $LogFile record pages ("RCRD") and the header of one log record.

#include <cstdint>
#include <span>

#include "core/util/ByteView.h"

struct CRecordPageHeader {
  std::uint64_t lastLsn = 0;
  std::uint64_t lastEndLsn = 0;
};

struct CLogRecordHeader {
  std::uint64_t lsn = 0;
  std::uint32_t clientDataLength = 0;
  std::uint16_t redoOp = 0;
  std::uint16_t undoOp = 0;
  std::uint16_t redoOffset = 0;
  std::uint16_t redoLength = 0;
  std::uint16_t undoOffset = 0;
  std::uint16_t undoLength = 0;
  std::uint16_t recordOffset = 0;
  std::uint16_t attributeOffset = 0;
  std::uint16_t blockOffset = 0;
  std::uint64_t targetVcn = 0;
};

class CRCRDRecord {
 public:
  static bool IsValidMagicNumber(const ByteView& page);
  // Count 9 at offset 40, each of the eight sector ends holds the number.
  static bool IsValidUpdateSequence(const ByteView& page);
  static bool IsValidRCRDRecordFirstSector(const ByteView& sector) { return IsValidMagicNumber(sector); }
  static bool IsValid(const ByteView& page) { return IsValidMagicNumber(page) && IsValidUpdateSequence(page); }
  static bool Unfixup(std::span<std::uint8_t> page);
  static bool GetRecordHead(const ByteView& page, CRecordPageHeader& out);
  // Needs 48 bytes; the client-data fields are read when present.
  static bool GetOperationRecordHeader(const ByteView& data, CLogRecordHeader& out);
};
