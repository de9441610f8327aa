#include "core/partition/ApmMap.h"

#include <algorithm>
#include <cctype>

#include "core/partition/ApmLayout.h"

bool DecodeApmDriverMap(const ByteView& block, std::uint32_t& blockSize) {
  blockSize = 0;
  if (!block.Equals(apm::kDdmSignature, "ER", 2) || !block.Has(apm::kDdmBlockSize, 2)) return false;
  blockSize = block.U16Be(apm::kDdmBlockSize);
  return true;
}

bool DecodeApmMapEntry(const ByteView& block, ApmMapEntry& out) {
  out = ApmMapEntry{};
  if (!block.Has(0, apm::kEntryBytes)) return false;
  if (!block.Equals(apm::kEntrySignature, "PM", 2) && !block.Equals(apm::kEntrySignature, "TS", 2)) return false;
  out.mapEntryCount = block.U32Be(apm::kMapEntryCount);
  out.startBlock = block.U32Be(apm::kStartBlock);
  out.blockCount = block.U32Be(apm::kBlockCount);
  block.Bytes(apm::kType, out.type.data(), out.type.size());
  return true;
}

bool IsApmNonDataType(const std::string& type) {
  std::string t(type.size(), '\0');
  std::transform(type.begin(), type.end(), t.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto starts = [&t](const char* prefix) { return t.rfind(prefix, 0) == 0; };
  return t == "apple_partition_map" || t == "apple_free" || t == "apple_void" || t == "apple_scratch" ||
         t == "apple_patches" || starts("apple_driver") || starts("apple_fwdriver");
}
