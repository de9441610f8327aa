#include "fat/FatDirEntry.h"

#include <cstring>

#include "fat/FatDirEntryLayout.h"

namespace {

bool DateValid(std::uint16_t date) {
  if (date == 0) return true;
  const unsigned month = (date >> 5) & 0xF;
  const unsigned day = date & 0x1F;
  return month >= 1 && month <= 12 && day != 0;
}

bool TimeValid(std::uint16_t time) {
  if (time == 0) return true;
  return time < 0xC000 && (time & 0x780) <= 0x760 && (time & 0x1E) < 0x1E;
}

}  // namespace

bool CTempFATDirEntry::InitFromBuffer(const ByteView& dir, std::size_t offset) {
  if (!dir.Bytes(offset, m_bytes.data(), m_bytes.size())) return false;
  return IsValidFATDirEntry(0);
}

bool CTempFATDirEntry::IsValidFATDirEntry(int skipClusterTest) const {
  const ByteView v = View();
  const std::uint8_t attribute = v.U8(fatdir::kAttribute);
  if (attribute == fatdir::kAttrLongName) return true;
  if (attribute >= fatdir::kAttrFirstInvalid) return false;
  if (skipClusterTest == 0) {
    if ((attribute & fatdir::kAttrDirectory) == 0) {
      if ((GetSize() == 0) != (GetFirstClusterNO() == 0)) return false;
    } else if (GetSize() != 0 && v.U16Le(fatdir::kClusterHigh) != 0) {
      return false;
    }
  }
  if (!DateValid(v.U16Le(fatdir::kCreationDate)) || !DateValid(v.U16Le(fatdir::kModificationDate)) ||
      !DateValid(v.U16Le(fatdir::kAccessDate))) {
    return false;
  }
  if (!TimeValid(v.U16Le(fatdir::kCreationTime)) || !TimeValid(v.U16Le(fatdir::kModificationTime))) return false;
  if ((attribute & fatdir::kAttrVolumeLabel) != 0) return true;
  return IsValidFileName(v.Sub(fatdir::kName, fatdir::kNameLength + fatdir::kExtensionLength));
}

bool CTempFATDirEntry::IsValidFileName(const ByteView& name11) {
  constexpr std::size_t kLength = 11;
  if (!name11.Has(0, kLength) || name11.U8(0) == 0x20) return false;
  static constexpr char kForbidden[] = "|\"*/:<>?\\";
  for (std::size_t i = 0; i < kLength; ++i) {
    const std::uint8_t c = name11.U8(i);
    if (c >= 0x80) {
      ++i;  // a two-byte character
      continue;
    }
    if (c < 0x1A || std::memchr(kForbidden, c, sizeof kForbidden - 1) != nullptr) return false;
  }
  return true;
}

bool CTempFATDirEntry::IsErased() const { return m_bytes[fatdir::kName] == fatdir::kErasedMark; }
bool CTempFATDirEntry::IsNeverUsed() const { return m_bytes[fatdir::kName] == 0; }
bool CTempFATDirEntry::IsDirectory() const { return (m_bytes[fatdir::kAttribute] & fatdir::kAttrDirectory) != 0; }
bool CTempFATDirEntry::IsVolumeLabel() const { return (m_bytes[fatdir::kAttribute] & fatdir::kAttrVolumeLabel) != 0; }
bool CTempFATDirEntry::IsLongFileNameEntry() const { return m_bytes[fatdir::kAttribute] == fatdir::kAttrLongName; }

std::uint32_t CTempFATDirEntry::GetFirstClusterNO() const {
  const ByteView v = View();
  return (static_cast<std::uint32_t>(v.U16Le(fatdir::kClusterHigh)) << 16) | v.U16Le(fatdir::kClusterLow);
}

std::uint32_t CTempFATDirEntry::GetSize() const { return View().U32Le(fatdir::kFileSize); }

std::string CTempFATDirEntry::GetLabelText() const {
  std::string text;
  for (std::size_t i = 0; i < fatdir::kNameLength + fatdir::kExtensionLength; ++i) {
    const std::uint8_t c = m_bytes[fatdir::kName + i];
    text.push_back(c >= 0x80 ? '_' : static_cast<char>(c));
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}
