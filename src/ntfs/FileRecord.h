#pragma once
// One FILE record of the master file table: header tests, the update-sequence
// protection, the attribute walk and the attribute tests. Records are 1024 or
// 4096 bytes; the header's allocated size says which.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/util/ByteView.h"

class CNTFSFileRecordHeader {
 public:
  // Signature, update-sequence count and offset, allocated size.
  static bool IsValid(const ByteView& record);
};

class CNTFSFileRecord {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  // Bytes of the record inside a buffer: the allocated size, at most the buffer.
  static std::size_t RecordBytes(const ByteView& record);
  // Header test, then the attribute check on an unprotected copy.
  static bool IsValid(const ByteView& record);
  // Every protected sector present in the buffer ends with the sequence number.
  static bool IsValidUpdateSequence(const ByteView& record);
  static bool UnfixupFileRecord(std::span<std::uint8_t> record);
  static bool FixupFileRecord(std::span<std::uint8_t> record);
  // Every attribute before the end marker passes its test.
  static bool CheckAttibutes(const ByteView& record);
  // Offset of the index-th attribute (from 0) of `type`, npos when none.
  static std::size_t GetAttributeOffset(const ByteView& record, std::uint32_t type, int index);
  static int GetAttibuteCountofSpecifiedType(const ByteView& record, std::uint32_t type);

  CNTFSFileRecord() = default;
  // Keeps an unprotected copy of a record that passes the test.
  explicit CNTFSFileRecord(const ByteView& record);

  bool IsValid() const { return !m_bytes.empty(); }
  ByteView View() const { return ByteView(m_bytes.data(), m_bytes.size()); }
  std::size_t GetLength() const { return m_bytes.size(); }
  bool IsFolder() const;
  bool IsinUse() const;
  bool IsExtendFileRecord() const { return GetBaseFileRecordNumber() != 0; }
  std::uint64_t GetBaseFileRecordNumber() const;
  std::uint64_t GetLogFileSequenceNumber() const;
  std::uint16_t GetFirstAttibuteOffset() const;
  std::uint32_t GetAllocatedSize() const;
  bool HasXPNumberOfthisMFTRecord() const;
  std::uint32_t GetXPNumberOfthisMFTRecord() const;
  bool HasAttributeList() const;
  std::size_t GetAttributeOffset(std::uint32_t type, int index) const {
    return IsValid() ? GetAttributeOffset(View(), type, index) : npos;
  }
  // The attribute's bytes (its whole length); an empty view when none.
  ByteView FindAttibute(std::uint32_t type, int index) const;

 private:
  std::vector<std::uint8_t> m_bytes;
};

class CNTFSFileRecordAttribute {
 public:
  // Header fields inside the attribute and the value or run offsets lie
  // within its length, which lies within the `available` bytes.
  static bool IsValid(const ByteView& attribute);
  static std::uint32_t GetType(const ByteView& a) { return a.U32Le(0x00); }
  static std::uint32_t GetLength(const ByteView& a) { return a.U32Le(0x04); }
  static bool IsResident(const ByteView& a) { return a.U8(0x08) == 0; }
  static bool IsNamed(const ByteView& a) { return a.U8(0x09) != 0; }
  static std::uint16_t GetFlags(const ByteView& a) { return a.U16Le(0x0C); }
  static bool IsCompressed(const ByteView& a) { return (GetFlags(a) & 0x0001) != 0; }
  static bool IsEncrypted(const ByteView& a) { return (GetFlags(a) & 0x4000) != 0; }
  static std::uint16_t GetOffsetToName(const ByteView& a) { return a.U16Le(0x0A); }
  static std::uint16_t GetOffsetToAttribute(const ByteView& a) { return a.U16Le(0x14); }
  static std::uint32_t GetLengthOfAttribute(const ByteView& a) { return a.U32Le(0x10); }
  static long long GetStartVCN(const ByteView& a) { return static_cast<long long>(a.U64Le(0x10)); }
  static long long GetAllocSizeofAttribute(const ByteView& a) { return static_cast<long long>(a.U64Le(0x28)); }
  static long long GetRealSizeOfAttribute(const ByteView& a) { return static_cast<long long>(a.U64Le(0x30)); }
  static long long GetInitializedDataSize(const ByteView& a) { return static_cast<long long>(a.U64Le(0x38)); }
  static std::uint16_t GetCompressionUnitSize(const ByteView& a) { return a.U16Le(0x22); }
  // The resident value (empty when out of range).
  static ByteView ResidentValue(const ByteView& a);
  // The mapping pairs of a non-resident attribute.
  static ByteView DataRunsBuffer(const ByteView& a);
};

class CNTFSFileRecordFileNameAttribute {
 public:
  static bool IsValid(const ByteView& attribute);
  static long long GetFileRecordNumberofParentDirectory(const ByteView& a);
  static std::uint16_t GetParentSequence(const ByteView& a);
  static std::uint8_t GetFileNameLength(const ByteView& a);
  static std::uint8_t GetFileNameNamespaceType(const ByteView& a);
  static std::u16string GetFileName(const ByteView& a);
  static std::uint64_t GetCreationFileTime(const ByteView& a);
  static std::uint64_t GetModificationFileTime(const ByteView& a);
  static std::uint64_t GetLastAccessFileTime(const ByteView& a);
  static long long GetFileRealSize(const ByteView& a);
  static std::uint32_t GetFlags(const ByteView& a);
  static bool IsDirectory(const ByteView& a) { return (GetFlags(a) & 0x10000000) != 0; }
  static bool IsFileNameEqual(const ByteView& a, std::u16string_view name);
};

class CNTFSFileRecordStandardInformationAttribute {
 public:
  static bool IsValid(const ByteView& attribute);
  static std::uint64_t GetCreationFileTime(const ByteView& a);
  static std::uint64_t GetModificationFileTime(const ByteView& a);
  static std::uint64_t GetLastAccessFileTime(const ByteView& a);
  static std::uint32_t GetDosFilePermission(const ByteView& a);
};

// None of " * / : < > ? \ | among the first `count` units (up to a 0).
bool IsValidFileName(std::u16string_view name);
// UTF-16LE to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
