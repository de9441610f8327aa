// Feeds arbitrary bytes to the APFS decoders: as one B-tree node (file-system
// records and object-map listings), and as a whole device swept by the deep
// scan (container parse, walks, stray nodes, recognition and label).

#include <cstdint>
#include <cstring>
#include <vector>

#include "apfs/APFSContainerReader.h"
#include "apfs/APFSDeepScan.h"
#include "apfs/APFSRecognize.h"
#include "apfs/ApfsBTreeNode.h"
#include "core/device/StorageDevice.h"
#include "support/MemoryDevice.h"
#include "support/FakeSinks.h"

namespace {

using testsupport::MemoryDevice;

class NullBuilder : public testsupport::NodeSink {
 public:
  int AddNode(IFileNode* node, _tagSearcherType) override {
    (void)node->GetFileName();
    (void)node->GetFileSize();
    return 1;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // One node, decoded alone.
  std::vector<std::uint8_t> block(4096, 0);
  std::memcpy(block.data(), data, size < block.size() ? size : block.size());
  const ByteView node(block.data(), block.size());
  (void)apfs::ListOmapNode(node);
  (void)apfs::ListOmapRootValues(node);

  // The whole input as a device, in 4 KiB blocks.
  std::vector<std::uint8_t> image(data, data + size);
  image.resize((size + 4095) / 4096 * 4096, 0);
  MemoryDevice device(std::move(image));
  NullBuilder builder;
  APFSDeepScan scan;
  scan.SetDevice(&device);
  scan.SetDirecotryTreeBuilder(&builder);
  scan.AnalyzeBlock(0, device.GetTotalSectors());
  // The first block also as a stray node of the reader (if any).
  for (APFSContainerReader* reader : scan.Readers()) reader->ParseFSTreeNode(1, node);
  scan.EndSearch(1);
  CSearchedPartitionInfo* parts[4] = {};
  const int n = scan.GetSearchedPartitionInfo(parts, 4);
  for (int i = 0; i < n; ++i) delete parts[i];

  if (IVolumeAnalyze* analyze = CreateAPFSVolumeAnalyze(&device, 0)) {
    char label[64] = {};
    analyze->GetLabel(label, sizeof label);
    delete analyze;
  }
  return 0;
}
