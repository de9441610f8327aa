#pragma once
// One 32-byte FAT directory entry, copied out of a directory buffer.

#include <array>
#include <cstdint>
#include <string>

#include "core/util/ByteView.h"

class CTempFATDirEntry {
 public:
  CTempFATDirEntry() = default;
  // Copies the entry at `offset` of `dir`; false (and a zero entry) when it
  // does not fit. Then returns IsValidFATDirEntry(0).
  bool InitFromBuffer(const ByteView& dir, std::size_t offset);

  bool IsValidFATDirEntry(int skipClusterTest) const;
  bool IsErased() const;
  bool IsNeverUsed() const;
  bool IsDirectory() const;
  bool IsVolumeLabel() const;
  bool IsLongFileNameEntry() const;
  std::uint32_t GetFirstClusterNO() const;
  // Writes both halves of the first cluster (offsets 20 and 26).
  void SetFirstClusterNO(std::uint32_t cluster);
  std::uint32_t GetSize() const;
  std::uint8_t GetAttribute() const { return m_bytes[11]; }
  std::uint8_t FirstByte() const { return m_bytes[0]; }
  std::uint16_t U16At(std::size_t offset) const { return View().U16Le(offset); }

  // 8.3 name: name and extension without trailing blanks, joined by a dot
  // (or run together when `joined`); a deleted entry's lost first character
  // is shown as '#', bytes of 0x80 and above as '_'. The lower-case flags of
  // byte 12 apply unless `joined`.
  std::string GetShortName(bool joined) const;
  bool IsFilenameEqual(const char* name8, const char* ext3) const;
  // Checksum of the 11 name bytes with the first byte replaced by `first`.
  std::uint8_t ShortNameChecksum(std::uint8_t first) const;

  // Long-name entry: its 13 UTF-16 units and the short-name checksum.
  void GetLongNameUnits(std::uint16_t (&units)[13]) const;
  std::uint8_t GetLongNameChecksum() const { return m_bytes[13]; }

  // The 11 name and extension bytes run together, trailing blanks removed,
  // bytes of 0x80 and above shown as '_' (the form of a volume label).
  std::string GetLabelText() const;

  // 8.3 name test over the 11 name and extension bytes.
  static bool IsValidFileName(const ByteView& name11);

 private:
  ByteView View() const { return ByteView(m_bytes.data(), m_bytes.size()); }

  std::array<std::uint8_t, 32> m_bytes{};
};
