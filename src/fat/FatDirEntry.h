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
  std::uint32_t GetSize() const;

  // The 11 name and extension bytes run together, trailing blanks removed,
  // bytes of 0x80 and above shown as '_' (the form of a volume label).
  std::string GetLabelText() const;

  // 8.3 name test over the 11 name and extension bytes.
  static bool IsValidFileName(const ByteView& name11);

 private:
  ByteView View() const { return ByteView(m_bytes.data(), m_bytes.size()); }

  std::array<std::uint8_t, 32> m_bytes{};
};
