#include "core/tree/RecycleInfoRecord.h"

#include <optional>

#include "core/tree/RecyclerFilter.h"

namespace recycle_info {
namespace {

constexpr std::uint16_t kBackslash = 0x005C;
constexpr std::uint16_t kColon = 0x003A;

// The path field, bounded by the bytes at hand.
std::optional<ByteView> PathField(const ByteView& record) {
  if (!record.Has(0, kHeaderSize)) return std::nullopt;
  const std::uint64_t version = record.U64Le(0);
  if (version == 1) {
    const std::size_t avail = (record.Size() - kV1PathOffset) & ~std::size_t{1};
    return record.Sub(kV1PathOffset, avail < kV1PathBytes ? avail : kV1PathBytes);
  }
  if (version == 2 && record.Has(kV2LengthOffset, 4)) {
    const std::uint64_t units = record.U32Le(kV2LengthOffset);
    const std::size_t avail = record.Size() - kV2PathOffset;
    if (units > avail / 2) return std::nullopt;
    return record.Sub(kV2PathOffset, static_cast<std::size_t>(units) * 2);
  }
  return std::nullopt;
}

}  // namespace

bool DecodeOriginalName(const ByteView& record, std::string& name) {
  name.clear();
  const std::optional<ByteView> path = PathField(record);
  if (!path || !path->Ok()) return false;

  // Whole UTF-16 units up to the terminator: the last backslash, and a drive
  // prefix ("X:\") somewhere before it.
  const std::size_t fieldUnits = path->Size() / 2;
  std::size_t units = fieldUnits;
  std::size_t lastSlash = fieldUnits;
  bool drive = false;
  for (std::size_t i = 0; i < fieldUnits; ++i) {
    const std::uint16_t u = path->U16Le(i * 2);
    if (u == 0) {
      units = i;
      break;
    }
    if (u == kBackslash) lastSlash = i;
    if (u == kColon && i + 1 < fieldUnits && path->U16Le((i + 1) * 2) == kBackslash) drive = true;
  }
  if (!drive || lastSlash >= units || lastSlash + 1 == units) return false;

  const ByteView nameBytes = path->Sub((lastSlash + 1) * 2, (units - lastSlash - 1) * 2);
  if (!nameBytes.Ok() || !CRecyclerFilter::UTF162UTF8(nameBytes, name) || name.empty() || name == "." || name == ".." ||
      name.find('/') != std::string::npos) {
    name.clear();
    return false;
  }
  return true;
}

}  // namespace recycle_info
