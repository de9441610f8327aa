// One fuzz target over the HFS+ engine. The first input byte picks the job:
// 0 node check and leaf records, 1 journal structures, 2 decompressors and
// chunk tables, 3 a small volume image patched with the input, then opened,
// harvested, walked and its compressed files read.

#include <cstdint>
#include <cstring>
#include <vector>

#include "HfsPlusFuzzImage.h"
#include "core/device/StorageDevice.h"
#include "hfsplus/BTreeNode.h"
#include "hfsplus/CompressFileReader.h"
#include "core/compress/Decmpfs.h"
#include "hfsplus/HfsPlusFileNode.h"
#include "hfsplus/HfsPlusTrees.h"
#include "hfsplus/HfsPlusVolume.h"
#include "hfsplus/JournalLayout.h"
#include "core/compress/Lzvn.h"
#include "hfsplus/QuickSearchProgress.h"
#include "support/MemoryDevice.h"
#include "support/FakeSinks.h"

namespace {

using testsupport::MemoryDevice;

class KeepNothing : public testsupport::NodeSink {
 public:
  int AddNode(IFileNode* node, _tagSearcherType) override {
    if (!node->IsDirectory() && node->IsCompressed()) {
      if (IFileReader* reader = node->CreateCompressFileReader(nullptr)) {
        std::vector<char> buf(70000);
        int err = 0;
        for (long long pos = 0; pos < 300000; pos += static_cast<long long>(buf.size())) {
          if (reader->ReadData(pos, buf.data(), static_cast<unsigned>(buf.size()), &err) <= 0) break;
        }
        reader->Release();
      }
    }
    IFileNode* copy = node->Clone();
    copy->Release();
    return 0;  // the caller releases it
  }
};

const std::vector<std::uint8_t>& BaseImage() {
  static const std::vector<std::uint8_t> image = fuzzsupport::HfsPlusImage(10, true);
  return image;
}

void Nodes(const std::uint8_t* data, std::size_t size) {
  for (std::uint32_t nodeSize : {512u, 1024u, 4096u}) {
    if (size < nodeSize) continue;
    auto node = CHFSPlusBTNode::Create(std::vector<std::uint8_t>(data, data + nodeSize), nodeSize);
    if (!node) continue;
    for (std::size_t i = 0; i < node->NumRecords(); ++i) {
      (void)CHFSPlusCatalog::KeyRead(*node, i);
      (void)CHFSPlusCatalog::DataRead(*node, i);
      (void)CHFSPlusExtents::DataRead(*node, i);
      (void)CHFSPlusAttribute::DataRead(*node, i);
      std::uint32_t child = 0;
      (void)CHFSPlusBTree::ChildOf(node->GetRecord(i), child);
    }
    (void)DecodeHeaderRecord(node->GetRecord(0));
  }
}

void Journal(const std::uint8_t* data, std::size_t size) {
  const ByteView v(data, size);
  (void)DecodeJournalInfoBlock(v);
  if (auto h = DecodeJournalHeader(v)) (void)IsUsableJournalHeader(*h, h->size, 0, 1ull << 30);
  for (std::uint32_t bl : {512u, 4096u}) (void)DecodeBlockList(v, bl, 512);
}

void Decompress(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  const ByteView v(data + 1, size - 1);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(data[0]) * 256 + 1);
  (void)lzvn_decode(out.data(), out.size(), v.Data(), v.Size());
  for (std::uint32_t type : {3u, 4u, 7u, 8u}) (void)DecodeDecmpfsChunk(type, v, out);
  (void)DecodeZlibForkTable(v, v.Size());
  (void)DecodeLzvnForkTable(v, v.Size());
  (void)DecodeDecmpfsHeader(v);
}

void Volume(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image = fuzzsupport::Patched(BaseImage(), data, size);
  MemoryDevice device(std::move(image), 512, kDeviceVolume);
  CHFSPlusVolume volume(&device, false);
  KeepNothing builder;
  CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
  (void)volume.QuickSearchFiles(&builder, &progress);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  switch (data[0] % 4) {
    case 0:
      Nodes(data + 1, size - 1);
      break;
    case 1:
      Journal(data + 1, size - 1);
      break;
    case 2:
      Decompress(data + 1, size - 1);
      break;
    default:
      Volume(data + 1, size - 1);
      break;
  }
  return 0;
}
