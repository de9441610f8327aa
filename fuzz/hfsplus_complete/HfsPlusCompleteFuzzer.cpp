// Runs the HFS+ complete scan over a small volume: with an even first byte
// the rest of the input patches a volume made by the image builder (u16
// block, u16 offset, u8 length, bytes; repeated), so the sweep meets real
// headers and nodes with damage in them; with an odd first byte the rest is
// the device itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/filetype/RecoveryFilter.h"
#include "core/model/SearchedPartitionInfo.h"
#include "core/tree/TreeBuilderClock.h"
#include "core/tree/TreeBuilderFactory.h"
#include "hfsplus/CompleteSearcher.h"
#include "hfsplus_builder/HfsPlusImageBuilder.h"
#include "support/MemoryDevice.h"

namespace {

const std::vector<std::uint8_t>& BaseImage() {
  static const std::vector<std::uint8_t> image = [] {
    hfsbuilder::BuilderOptions o;
    o.blockSize = 512;
    hfsbuilder::HfsPlusImageBuilder b(o);
    const auto dir = b.AddFolder(2, "d");
    std::vector<std::uint8_t> text(3000);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>("abcab\n"[i % 6]);
    hfsbuilder::FileOptions frag;
    frag.fragments = 6;
    b.AddFile(dir, "f", text, frag);
    hfsbuilder::FileOptions z;
    z.compression = hfsbuilder::Compression::kZlibResource;
    b.AddFile(2, "z", text, z);
    const auto gone = b.AddFile(dir, "g", text);
    b.Delete(gone);
    return b.Build();
  }();
  return image;
}

std::vector<std::uint8_t> Patched(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image = BaseImage();
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

class NullTree : public IDrirectoryTree {
 public:
  void ShowNodes(IFileNode**, unsigned int, int) override {}
  void ShowFilesystemNode(IFilesystemNode*) override {}
};

class NoPauseClock : public ITreeBuilderClock {
 public:
  long long Now() override { return 0; }
  void Sleep(int) override {}
};

struct BuilderRelease {
  void operator()(IDirecotryTreeBuilder* b) const { b->Release(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::vector<std::uint8_t> image =
      (data[0] & 1) == 0 ? Patched(data + 1, size - 1) : std::vector<std::uint8_t>(data + 1, data + size);
  testsupport::MemoryDevice device(std::move(image), 512, kDeviceDisk);
  static NoPauseClock clock;
  NullTree tree;
  std::unique_ptr<IDirecotryTreeBuilder, BuilderRelease> builder(CreateTreeBuilder(false, &clock));
  IRecoveryFilter* filter = CreateFilter();
  filter->SetScanType(kScanComplete);
  filter->SetFilterTypes(127);
  builder->Initialize("fuzz", &tree, filter);

  CHFSPlusCompleteFileSystemSearchController searcher;
  searcher.SetDevice(&device);
  searcher.SetBlockSize(64);
  searcher.SetDirecotryTreeBuilder(builder.get());
  if (searcher.PreparetoSearch() == 0) return 0;
  const long long total = device.GetTotalSectors();
  for (long long s = 0; s < total; s += 64) searcher.AnalyzeBlock(s, std::min(64LL, total - s));
  searcher.EndSearch(1);
  const int n = searcher.GetSearchedPartitionInfo(nullptr, 0);
  if (n > 0 && n < 4096) {
    std::vector<CSearchedPartitionInfo*> out(static_cast<std::size_t>(n), nullptr);
    const int got = searcher.GetSearchedPartitionInfo(out.data(), n);
    for (int i = 0; i < got && i < n; ++i) delete out[static_cast<std::size_t>(i)];
  }
  return 0;
}
