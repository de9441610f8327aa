#pragma once
// Bounds-checked access to bytes read from a device. Every parser reads
// through a ByteView and tests the ranges it relies on with Has() (or the
// result of Bytes()) before trusting what it read: a read outside the view
// returns 0 and leaves the view as it was, so a view is a plain value that
// can be copied and passed on without losing anything.

#include <cstdint>
#include <cstring>
#include <span>

class ByteView {
 public:
  ByteView() = default;
  explicit ByteView(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  ByteView(const void* data, std::size_t size) : m_bytes(static_cast<const std::uint8_t*>(data), size) {}

  std::size_t Size() const { return m_bytes.size(); }
  const std::uint8_t* Data() const { return m_bytes.data(); }
  // False only for the empty view Sub() gives for a range outside its parent.
  bool Ok() const { return !m_outside; }

  // True when [offset, offset + length) lies inside the view.
  bool Has(std::size_t offset, std::size_t length) const {
    return length <= m_bytes.size() && offset <= m_bytes.size() - length;
  }

  std::uint8_t U8(std::size_t off) const { return Has(off, 1) ? m_bytes[off] : 0; }
  std::uint16_t U16Le(std::size_t off) const { return static_cast<std::uint16_t>(Le(off, 2)); }
  std::uint32_t U32Le(std::size_t off) const { return static_cast<std::uint32_t>(Le(off, 4)); }
  std::uint64_t U64Le(std::size_t off) const { return Le(off, 8); }
  std::uint16_t U16Be(std::size_t off) const { return static_cast<std::uint16_t>(Be(off, 2)); }
  std::uint32_t U32Be(std::size_t off) const { return static_cast<std::uint32_t>(Be(off, 4)); }
  std::uint64_t U64Be(std::size_t off) const { return Be(off, 8); }

  // Copies `length` bytes to `out`; zero-fills it when out of range.
  bool Bytes(std::size_t off, void* out, std::size_t length) const {
    if (!Has(off, length)) {
      std::memset(out, 0, length);
      return false;
    }
    if (length != 0) std::memcpy(out, m_bytes.data() + off, length);
    return true;
  }

  bool Equals(std::size_t off, const void* expected, std::size_t length) const {
    return Has(off, length) && std::memcmp(m_bytes.data() + off, expected, length) == 0;
  }

  // A bounded sub-view; an empty view that is not Ok() when out of range.
  ByteView Sub(std::size_t off, std::size_t length) const {
    if (!Has(off, length)) {
      ByteView outside;
      outside.m_outside = true;
      return outside;
    }
    return ByteView(m_bytes.subspan(off, length));
  }

 private:
  std::uint64_t Le(std::size_t off, std::size_t n) const {
    if (!Has(off, n)) return 0;
    std::uint64_t v = 0;
    for (std::size_t i = n; i-- > 0;) v = (v << 8) | m_bytes[off + i];
    return v;
  }
  std::uint64_t Be(std::size_t off, std::size_t n) const {
    if (!Has(off, n)) return 0;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | m_bytes[off + i];
    return v;
  }

  std::span<const std::uint8_t> m_bytes;
  bool m_outside = false;
};

// Little- and big-endian stores into a fixed buffer; out-of-range stores are dropped.
class ByteWriter {
 public:
  explicit ByteWriter(std::span<std::uint8_t> bytes) : m_bytes(bytes) {}
  bool Ok() const { return !m_failed; }

  void PutU8(std::size_t off, std::uint8_t v) { Put(off, v, 1, false); }
  void PutU16Le(std::size_t off, std::uint16_t v) { Put(off, v, 2, false); }
  void PutU32Le(std::size_t off, std::uint32_t v) { Put(off, v, 4, false); }
  void PutU64Le(std::size_t off, std::uint64_t v) { Put(off, v, 8, false); }
  void PutU16Be(std::size_t off, std::uint16_t v) { Put(off, v, 2, true); }
  void PutU32Be(std::size_t off, std::uint32_t v) { Put(off, v, 4, true); }
  void PutU64Be(std::size_t off, std::uint64_t v) { Put(off, v, 8, true); }
  void PutBytes(std::size_t off, const void* src, std::size_t n) {
    if (!Fits(off, n)) return;
    if (n != 0) std::memcpy(m_bytes.data() + off, src, n);
  }

 private:
  bool Fits(std::size_t off, std::size_t n) {
    if (n <= m_bytes.size() && off <= m_bytes.size() - n) return true;
    m_failed = true;
    return false;
  }
  void Put(std::size_t off, std::uint64_t v, std::size_t n, bool bigEndian) {
    if (!Fits(off, n)) return;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t at = bigEndian ? off + n - 1 - i : off + i;
      m_bytes[at] = static_cast<std::uint8_t>(v >> (8 * i));
    }
  }

  std::span<std::uint8_t> m_bytes;
  bool m_failed = false;
};
