#pragma once
// Two blocks of memory that can be read as one stretch in either order: the
// pair is mapped twice, once as [block 0][block 1] and once as
// [block 1][block 0], each view followed by read-only zeros. A sweep that
// needs the block before the current one right in front of it fills the
// blocks in turn and takes the view that ends with the block just filled,
// instead of copying the current block down before reading the next.

#include <cstddef>
#include <cstdint>

namespace platform {

class BlockPairViews {
 public:
  BlockPairViews() = default;
  ~BlockPairViews();
  BlockPairViews(BlockPairViews&& other) noexcept;
  BlockPairViews& operator=(BlockPairViews&& other) noexcept;
  BlockPairViews(const BlockPairViews&) = delete;
  BlockPairViews& operator=(const BlockPairViews&) = delete;

  // Blocks of `blockBytes` bytes (a multiple of 4096) each, both views
  // followed by at least `zeroBytes` zeros; the blocks start out as zeros.
  // Empty when the system cannot map them so.
  static BlockPairViews Map(std::size_t blockBytes, std::size_t zeroBytes);

  explicit operator bool() const { return m_views[0] != nullptr; }
  std::size_t BlockBytes() const { return m_blockBytes; }
  // The view that starts with block `first` (0 or 1) and goes on with the
  // other block, then the zeros (which cannot be written).
  std::uint8_t* View(int first) const { return m_views[first != 0 ? 1 : 0]; }

 private:
  void Release();

  std::uint8_t* m_views[2] = {nullptr, nullptr};
  std::size_t m_blockBytes = 0;
  std::size_t m_viewBytes = 0;  // the length of each view's mapping
};

}  // namespace platform
