#include "hfsplus/CatalogKey.h"

#include <algorithm>

#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/LowerCaseTable.h"

namespace {

constexpr char16_t kSlash = u'/';
constexpr char16_t kColon = u':';

char16_t AsStored(char16_t unit) { return unit == kColon ? kSlash : unit; }

char16_t Fold(char16_t unit) {
  const std::uint16_t sub = _gLowerCaseTable[unit >> 8];
  if (sub == 0) return unit;
  const std::size_t at = static_cast<std::size_t>(sub) + (unit & 0xFF);
  return at < kLowerCaseTableSize ? static_cast<char16_t>(_gLowerCaseTable[at]) : unit;
}

}  // namespace

std::u16string DecodeHfsName(const ByteView& bytes, std::size_t offset, std::size_t count) {
  std::u16string name;
  name.reserve(count);
  for (std::size_t i = 0; i < count && bytes.Has(offset + 2 * i, 2); ++i) {
    const auto unit = static_cast<char16_t>(bytes.U16Be(offset + 2 * i));
    name.push_back(unit == kSlash ? kColon : unit);
  }
  return name;
}

std::optional<HFSPlusCatalogKey> DecodeCatalogKey(const ByteView& record) {
  if (!record.Has(0, 2)) return std::nullopt;
  HFSPlusCatalogKey key;
  key.keyLength = record.U16Be(0);
  if (key.keyLength < hfs::kCatalogKeyMinLength || !record.Has(0, static_cast<std::size_t>(key.keyLength) + 2)) {
    return std::nullopt;
  }
  key.parentID = record.U32Be(2);
  const std::size_t stored = record.U16Be(6);
  const std::size_t room = (static_cast<std::size_t>(key.keyLength) - hfs::kCatalogKeyMinLength) / 2;
  key.nodeName = DecodeHfsName(record, 8, std::min({stored, room, hfs::kMaxNameUnits}));
  return key;
}

int FastUnicodeCompare(const std::u16string& a, const std::u16string& b) {
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    char16_t c1 = 0;
    char16_t c2 = 0;
    while (i < a.size() && c1 == 0) c1 = Fold(AsStored(a[i++]));
    while (j < b.size() && c2 == 0) c2 = Fold(AsStored(b[j++]));
    if (c1 != c2) return c1 < c2 ? -1 : 1;
    if (c1 == 0) return 0;
  }
}

int BinaryUnicodeCompare(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = AsStored(a[i]);
    const char16_t y = AsStored(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareCatalogKeys(const HFSPlusCatalogKey& a, const HFSPlusCatalogKey& b, bool binary) {
  if (a.parentID != b.parentID) return a.parentID < b.parentID ? -1 : 1;
  return binary ? BinaryUnicodeCompare(a.nodeName, b.nodeName) : FastUnicodeCompare(a.nodeName, b.nodeName);
}

HFSPlusCatalogKey MakeCatalogKey(std::uint32_t parentID, const std::u16string& name) {
  HFSPlusCatalogKey key;
  key.parentID = parentID;
  key.nodeName = name.substr(0, hfs::kMaxNameUnits);
  key.keyLength = static_cast<std::uint16_t>(hfs::kCatalogKeyMinLength + 2 * key.nodeName.size());
  return key;
}
