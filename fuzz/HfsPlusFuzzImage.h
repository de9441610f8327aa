#pragma once
// The small HFS+ volume the HFS+ harnesses patch with their input: a folder
// holding a fragmented file and a deleted one, and compressed files at the
// root.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hfsplus_builder/HfsPlusImageBuilder.h"

namespace fuzzsupport {

// The volume with the folder's file in `fragments` pieces, a zlib-compressed
// file and, with `lzvnFile`, an LZVN-compressed one.
inline std::vector<std::uint8_t> HfsPlusImage(int fragments, bool lzvnFile) {
  hfsbuilder::BuilderOptions o;
  o.blockSize = 512;
  hfsbuilder::HfsPlusImageBuilder b(o);
  const auto dir = b.AddFolder(2, "d");
  std::vector<std::uint8_t> text(3000);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>("abcab\n"[i % 6]);
  hfsbuilder::FileOptions frag;
  frag.fragments = fragments;
  b.AddFile(dir, "f", text, frag);
  hfsbuilder::FileOptions z;
  z.compression = hfsbuilder::Compression::kZlibResource;
  b.AddFile(2, "z", text, z);
  if (lzvnFile) {
    hfsbuilder::FileOptions l;
    l.compression = hfsbuilder::Compression::kLzvnInline;
    b.AddFile(2, "l", text, l);
  }
  const auto gone = b.AddFile(dir, "g", text);
  b.Delete(gone);
  return b.Build();
}

// `image` with the input's patches written over it: records of a u16 block,
// a u16 offset in the block, a u8 length and that many bytes.
inline std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> image, const std::uint8_t* data, std::size_t size) {
  const std::size_t blocks = image.size() / 512;
  std::size_t at = 0;
  while (at + 5 <= size && blocks > 0) {
    const std::size_t block = (static_cast<std::size_t>(data[at]) << 8 | data[at + 1]) % blocks;
    const std::size_t off = (static_cast<std::size_t>(data[at + 2]) << 8 | data[at + 3]) % 512;
    std::size_t len = data[at + 4];
    at += 5;
    len = std::min({len, size - at, image.size() - block * 512 - off});
    std::memcpy(image.data() + block * 512 + off, data + at, len);
    at += len;
  }
  return image;
}

}  // namespace fuzzsupport
