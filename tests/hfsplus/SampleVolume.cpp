#include "hfsplus/SampleVolume.h"

namespace hfstest {

using hfsbuilder::Compression;
using hfsbuilder::FileOptions;

namespace {
hfsbuilder::BuilderOptions Options(std::uint32_t bs, std::uint32_t ss, bool wrap) {
  hfsbuilder::BuilderOptions o;
  o.blockSize = bs;
  o.sectorSize = ss;
  o.wrapJournal = wrap;
  return o;
}
FileOptions Compressed(Compression c, bool raw = false, int fragments = 1) {
  FileOptions f;
  f.compression = c;
  f.rawChunks = raw;
  f.fragments = fragments;
  return f;
}
}  // namespace

Bytes SampleVolume::Text(std::size_t size, std::uint32_t seed) {
  static const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta ", "eta\n"};
  Bytes out;
  std::uint32_t x = seed + 7;
  while (out.size() < size) {
    x = x * 1103515245u + 12345u;
    const char* w = words[(x >> 16) % 7];
    while (*w != 0 && out.size() < size) out.push_back(static_cast<std::uint8_t>(*w++));
    if ((x >> 8) % 5 == 0) out.insert(out.end(), std::min<std::size_t>(9, size - out.size()), 'z');
  }
  return out;
}

SampleVolume::SampleVolume(std::uint32_t bs, std::uint32_t ss, bool wrap) : builder(Options(bs, ss, wrap)) {
  docs = builder.AddFolder(2, "docs");
  deep = builder.AddFolder(docs, "deep");
  folders[docs] = "docs";
  folders[deep] = "docs/deep";
  plain = builder.AddFile(2, "a.txt", Text(17, 1));
  FileOptions frag;
  frag.fragments = 12;
  big = builder.AddFile(docs, "big.bin", Pattern(13 * bs + 100, 2), frag);
  comp3 = builder.AddFile(2, "comp3.txt", Text(3000, 3), Compressed(Compression::kZlibInline));
  comp3raw = builder.AddFile(2, "comp3raw.txt", Text(300, 4), Compressed(Compression::kZlibInline, true));
  comp4 = builder.AddFile(docs, "comp4.bin", Text(150000, 5), Compressed(Compression::kZlibResource, false, 10));
  comp4raw = builder.AddFile(2, "comp4raw.bin", Pattern(70000, 6), Compressed(Compression::kZlibResource, true));
  comp7 = builder.AddFile(2, "comp7.txt", Text(2000, 7), Compressed(Compression::kLzvnInline));
  comp8 = builder.AddFile(2, "comp8.bin", Text(100000, 8), Compressed(Compression::kLzvnResource));
  comp8raw = builder.AddFile(2, "comp8raw.bin", Pattern(66000, 9), Compressed(Compression::kLzvnResource, true));
  FileOptions withFork;
  withFork.resourceFork = Text(700, 10);
  withFork.xattrs.push_back({"user.note", Bytes{'h', 'e', 'l', 'l', 'o'}});
  forked = builder.AddFile(2, "forked.txt", Text(1234, 11), withFork);
  linked = builder.AddFile(docs, "linked.txt", Text(4321, 12));
  link = builder.AddHardLink(docs, "link.txt", linked);

  gone = builder.AddFile(2, "gone.txt", Text(5000, 13));
  goneBig = builder.AddFile(docs, "gone.bin", Pattern(11 * bs + 5, 14), frag);
  goneComp = builder.AddFile(2, "gonecomp.txt", Text(2500, 15), Compressed(Compression::kZlibInline));
  goneDeep = builder.AddFile(deep, "gone4.txt", Text(300, 16));
  for (std::uint32_t id : {gone, goneBig, goneComp, goneDeep}) builder.Delete(id);
  image = builder.Build();
}

std::string SampleVolume::PathOf(std::uint32_t id) const {
  const auto& f = builder.Files().at(id);
  auto it = folders.find(f.parent);
  return it == folders.end() ? f.name : it->second + "/" + f.name;
}

}  // namespace hfstest
