#pragma once
// INDX records: the nodes of a folder's index in $INDEX_ALLOCATION.

#include <cstdint>

#include "core/util/ByteView.h"

class CStandardIndexHeader {
 public:
  static bool IsValidMagicNumber(const ByteView& record) { return record.Has(0, 4) && record.U32Le(0) == 0x58444E49; }
  // Signature, sizes, update-sequence count and offset.
  static bool IsValid(const ByteView& record);
  static std::uint32_t GetOffsetofIndexEntries(const ByteView& r) { return r.U32Le(0x18) + 24; }
  static std::uint32_t GetSizeofIndexEntries(const ByteView& r) { return r.U32Le(0x1C); }
  static long long GetVCN(const ByteView& r) { return static_cast<long long>(r.U64Le(0x10)); }
  static std::uint64_t GetLogFileSequenceNumber(const ByteView& r) { return r.U64Le(0x08); }
};

class CIndexRecord {
 public:
  // Header test, protection and entry check on an unprotected copy.
  static bool IsValid(const ByteView& record);
  static bool IsValidUpdateSequence(const ByteView& record);
  // Every entry up to the last names the same parent folder.
  static bool CheckIndexEntries(const ByteView& unprotected);
  static long long GetVCN(const ByteView& r) { return CStandardIndexHeader::GetVCN(r); }
  // Record number of the folder the first entry's key names; -1 when the
  // record is invalid or has no entry.
  static long long GetParentFileReference(const ByteView& record);
};
