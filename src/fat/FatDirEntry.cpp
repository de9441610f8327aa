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

void CTempFATDirEntry::SetFirstClusterNO(std::uint32_t cluster) {
  m_bytes[fatdir::kClusterHigh] = static_cast<std::uint8_t>(cluster >> 16);
  m_bytes[fatdir::kClusterHigh + 1] = static_cast<std::uint8_t>(cluster >> 24);
  m_bytes[fatdir::kClusterLow] = static_cast<std::uint8_t>(cluster);
  m_bytes[fatdir::kClusterLow + 1] = static_cast<std::uint8_t>(cluster >> 8);
}

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

std::string CTempFATDirEntry::GetShortName(bool joined) const {
  const std::uint8_t caseFlags = joined ? 0 : m_bytes[12];
  auto part = [&](std::size_t from, std::size_t length, bool lower) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
      std::uint8_t c = m_bytes[from + i];
      if (i == 0 && from == fatdir::kName && c == fatdir::kErasedMark) {
        text.push_back('#');
        continue;
      }
      if (c >= 0x80) {
        text.push_back('_');
        continue;
      }
      if (lower && c >= 'A' && c <= 'Z') c = static_cast<std::uint8_t>(c - 'A' + 'a');
      text.push_back(static_cast<char>(c));
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  };
  const std::string name = part(fatdir::kName, fatdir::kNameLength, (caseFlags & 0x08) != 0);
  const std::string ext = part(fatdir::kExtension, fatdir::kExtensionLength, (caseFlags & 0x10) != 0);
  if (ext.empty()) return name;
  return joined ? name + ext : name + "." + ext;
}

bool CTempFATDirEntry::IsFilenameEqual(const char* name8, const char* ext3) const {
  return name8 != nullptr && ext3 != nullptr &&
         std::memcmp(m_bytes.data() + fatdir::kName, name8, fatdir::kNameLength) == 0 &&
         std::memcmp(m_bytes.data() + fatdir::kExtension, ext3, fatdir::kExtensionLength) == 0;
}

std::uint8_t CTempFATDirEntry::ShortNameChecksum(std::uint8_t first) const {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < fatdir::kNameLength + fatdir::kExtensionLength; ++i) {
    const std::uint8_t c = i == 0 ? first : m_bytes[i];
    sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + c);
  }
  return sum;
}

void CTempFATDirEntry::GetLongNameUnits(std::uint16_t (&units)[13]) const {
  static constexpr std::size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  const ByteView v = View();
  for (std::size_t i = 0; i < 13; ++i) units[i] = v.U16Le(kOffsets[i]);
}
