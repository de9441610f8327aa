#include "ntfs/IndexRecord.h"

#include <array>
#include <span>

namespace {

constexpr std::size_t kMaxIndexBytes = 4096;
constexpr std::size_t kHeaderBytes = 0x24;   // up to the allocated size
constexpr std::size_t kEntryMinimum = 0x52;  // header, key up to the name length byte

bool Unprotect(const ByteView& r, std::array<std::uint8_t, kMaxIndexBytes>& copy, std::size_t& bytes) {
  bytes = std::min(r.Size(), kMaxIndexBytes);
  r.Bytes(0, copy.data(), bytes);
  const std::uint16_t offset = r.U16Le(0x04);
  const std::uint16_t count = r.U16Le(0x06);
  if (count < 2) return true;
  ByteWriter w(std::span<std::uint8_t>(copy.data(), bytes));
  for (std::size_t i = 0; i + 1 < count; ++i) w.PutU16Le(512 * i + 510, r.U16Le(offset + 2 + 2 * i));
  return w.Ok();
}

}  // namespace

bool CStandardIndexHeader::IsValid(const ByteView& r) {
  if (!IsValidMagicNumber(r) || !r.Has(0, kHeaderBytes)) return false;
  const std::uint32_t allocated = r.U32Le(0x20);
  const std::uint32_t inUse = r.U32Le(0x1C);
  const std::uint16_t count = r.U16Le(0x06);
  const std::uint16_t offset = r.U16Le(0x04);
  if (allocated > r.Size() || allocated < inUse) return false;
  if (count > 16 || count == 0 || static_cast<std::size_t>(count - 1) > r.Size() / 512) return false;
  if (static_cast<std::uint16_t>(count - 1) != static_cast<std::uint16_t>((allocated + r.U32Le(0x18)) / 512)) {
    return false;
  }
  return offset >= 40 && offset <= 256;
}

bool CIndexRecord::IsValidUpdateSequence(const ByteView& r) {
  const std::uint16_t offset = r.U16Le(0x04);
  const std::uint16_t count = r.U16Le(0x06);
  const std::uint16_t sequence = r.U16Le(offset);
  if (count == 0 || !r.Has(offset, 2u * count) || static_cast<std::size_t>(count - 1) * 512 > r.Size()) return false;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    if (r.U16Le(512 * i + 510) != sequence) return false;
  }
  return true;
}

bool CIndexRecord::CheckIndexEntries(const ByteView& r) {
  const std::size_t first = CStandardIndexHeader::GetOffsetofIndexEntries(r);
  const std::size_t end = std::min<std::size_t>(static_cast<std::size_t>(r.U32Le(0x18)) + 24 + r.U32Le(0x1C), r.Size());
  std::size_t pos = first;
  bool haveFirst = false;
  std::uint64_t firstParent = 0;
  while (pos < end) {
    if (!r.Has(pos, 0x10)) return false;
    const std::uint16_t length = r.U16Le(pos + 0x08);
    const std::uint16_t flags = r.U16Le(pos + 0x0C);
    if ((flags & 0x0002) != 0 || length == 0) return true;
    if (length < kEntryMinimum || !r.Has(pos, length)) return false;
    if (flags != 0x0001) {
      const auto allocated = static_cast<long long>(r.U64Le(pos + 0x38));
      const auto real = static_cast<long long>(r.U64Le(pos + 0x40));
      const std::uint64_t parent = r.U64Le(pos + 0x10);
      if (allocated < real) return false;
      if (!haveFirst) {
        haveFirst = true;
        firstParent = parent;
      } else if (parent != firstParent) {
        return false;
      }
    }
    pos += length;
  }
  return true;
}

bool CIndexRecord::IsValid(const ByteView& r) {
  if (!CStandardIndexHeader::IsValid(r) || !IsValidUpdateSequence(r)) return false;
  std::array<std::uint8_t, kMaxIndexBytes> copy{};
  std::size_t bytes = 0;
  if (!Unprotect(r, copy, bytes)) return false;
  return CheckIndexEntries(ByteView(copy.data(), bytes));
}

long long CIndexRecord::GetParentFileReference(const ByteView& r) {
  if (!IsValid(r)) return -1;
  const std::size_t first = CStandardIndexHeader::GetOffsetofIndexEntries(r);
  if (!r.Has(first, kEntryMinimum) || (r.U16Le(first + 0x0C) & 0x0002) != 0) return -1;
  return static_cast<long long>(r.U64Le(first + 0x10) & 0x0000FFFFFFFFFFFFull);
}
