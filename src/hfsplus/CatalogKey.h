#pragma once
// Catalog keys: parent id and name. Names are kept as host-order UTF-16
// units with "/" shown as ":", as macOS shows them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/util/ByteView.h"

struct HFSPlusCatalogKey {
  std::uint16_t keyLength = 0;
  std::uint32_t parentID = 0;
  std::u16string nodeName;
};

// Decodes the key at the start of a record. The key must fit the record; the
// name length is clamped to 255 units and to the key length.
[[nodiscard]] std::optional<HFSPlusCatalogKey> DecodeCatalogKey(const ByteView& record);
// Name units of `count` at `offset`, swapped to host order, "/" -> ":".
[[nodiscard]] std::u16string DecodeHfsName(const ByteView& bytes, std::size_t offset, std::size_t count);

// The published case-insensitive comparison of two names (ignorable units
// skipped). ":" compares as "/".
[[nodiscard]] int FastUnicodeCompare(const std::u16string& a, const std::u16string& b);
// Unsigned unit order, a prefix first; ":" compares as "/".
[[nodiscard]] int BinaryUnicodeCompare(const std::u16string& a, const std::u16string& b);
// Parent id first, then the names (folded unless `binary`).
[[nodiscard]] int CompareCatalogKeys(const HFSPlusCatalogKey& a, const HFSPlusCatalogKey& b, bool binary);

// Key with keyLength set from the name.
[[nodiscard]] HFSPlusCatalogKey MakeCatalogKey(std::uint32_t parentID, const std::u16string& name);
