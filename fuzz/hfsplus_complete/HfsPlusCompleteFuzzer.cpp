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

#include "HfsPlusFuzzImage.h"
#include "core/model/SearchedPartitionInfo.h"
#include "hfsplus/CompleteSearcher.h"
#include "support/FakeSinks.h"
#include "support/MemoryDevice.h"

namespace {

const std::vector<std::uint8_t>& BaseImage() {
  static const std::vector<std::uint8_t> image = fuzzsupport::HfsPlusImage(6, false);
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::vector<std::uint8_t> image = (data[0] & 1) == 0 ? fuzzsupport::Patched(BaseImage(), data + 1, size - 1)
                                                       : std::vector<std::uint8_t>(data + 1, data + size);
  testsupport::MemoryDevice device(std::move(image), 512, kDeviceDisk);
  testsupport::NullTree tree;
  const testsupport::TreeBuilderPtr builder = testsupport::MakeCompleteScanBuilder(tree);

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
