#pragma once
// Keys and records of the attributes tree.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/util/ByteView.h"
#include "hfsplus/ForkData.h"

struct HFSPlusAttrKey {
  std::uint16_t keyLength = 0;
  std::uint32_t fileID = 0;
  std::uint32_t startBlock = 0;
  std::u16string name;
};

struct HFSPlusAttrRecord {
  std::uint32_t recordType = 0;
  std::vector<std::uint8_t> inlineData;  // type 0x10: attrSize bytes
  HFSPlusForkData fork;                  // type 0x20
  HFSPlusExtentRecord extents{};         // type 0x30
};

[[nodiscard]] std::optional<HFSPlusAttrKey> DecodeAttrKey(const ByteView& record);
// An inline record must hold its attrSize bytes; fork and extents records
// must be whole. Other types give nothing.
[[nodiscard]] std::optional<HFSPlusAttrRecord> DecodeAttrRecord(const ByteView& data);
// fileID, then name units (unsigned, a prefix first). startBlock is not compared.
[[nodiscard]] int CompareAttrKeys(const HFSPlusAttrKey& a, const HFSPlusAttrKey& b);
[[nodiscard]] HFSPlusAttrKey MakeAttrKey(std::uint32_t fileID, const std::string& asciiName);
