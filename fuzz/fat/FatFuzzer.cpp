// Runs the FAT quick scan and the complete searcher over one image whose
// first bytes are the input; sectors past the input read as zeros, so a
// small input can stand for a FAT32 volume.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/device/DeviceData.h"
#include "core/device/StorageDevice.h"
#include "core/filetype/RecoveryFilter.h"
#include "core/tree/TreeBuilderClock.h"
#include "core/tree/TreeBuilderFactory.h"
#include "fat/FatBootSector.h"
#include "fat/FatCompleteSearcher.h"
#include "fat/FatQuickSearcher.h"
#include "support/MemoryDevice.h"

namespace {

constexpr long long kVirtualSectors = 70000;  // enough clusters for FAT32

// The input as the start of a volume of kVirtualSectors sectors (the rest
// reads as zeros) with a FAT record.
testsupport::MemoryDevice MakeVolume(const std::uint8_t* data, std::size_t size, int fsCode) {
  std::vector<std::uint8_t> bytes(data, data + size);
  bytes.resize((size + 511) / 512 * 512, 0);
  testsupport::MemoryDevice volume(std::move(bytes), 512, kDeviceVolume);
  volume.SetTotalSectors(kVirtualSectors);
  auto* info = new CCollectedVolumeDeviceInfoStruct();
  info->fileSystem = static_cast<std::uint32_t>(fsCode);
  info->totalSectors = kVirtualSectors;
  volume.SetPrivateData(CreateVolumeDeviceData(info));
  return volume;
}

class NullTree : public IDrirectoryTree {
 public:
  void ShowNodes(IFileNode**, unsigned int, int) override {}
  void ShowFilesystemNode(IFilesystemNode*) override {}
};

class QuietProgress : public IProgress {
 public:
  void UpdateProgress(_PROGRESS_INFO*) override {}
  int Continued() override { return 1; }
  int shouldBuild() override { return 1; }
};

// The builder pauses after showing a root; not here.
class NoPauseClock : public ITreeBuilderClock {
 public:
  long long Now() override { return 0; }
  void Sleep(int) override {}
};

struct BuilderRelease {
  void operator()(IDirecotryTreeBuilder* b) const { b->Release(); }
};

std::unique_ptr<IDirecotryTreeBuilder, BuilderRelease> MakeBuilder(NullTree& tree) {
  static NoPauseClock clock;
  std::unique_ptr<IDirecotryTreeBuilder, BuilderRelease> builder(CreateTreeBuilder(false, &clock));
  IRecoveryFilter* filter = CreateFilter();
  filter->SetScanType(kScanComplete);
  filter->SetFilterTypes(127);
  builder->Initialize("fuzz", &tree, filter);
  return builder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 512) return 0;
  const CTempFATDBR dbr(ByteView(data, 512), 512);
  const int fsCode = dbr.GetFileSystemType() == kFatTypeFat16 ? kFsFat16 : kFsFat32;
  testsupport::MemoryDevice volume = MakeVolume(data, size, fsCode);
  NullTree tree;
  QuietProgress progress;
  {
    auto builder = MakeBuilder(tree);
    std::unique_ptr<IQuickFileSystemSearchController> quick(CreateFATQuickSearcher());
    quick->SetDirecotryTreeBuilder(builder.get());
    (void)quick->QuickSearchFiles(&volume, &progress);
    CSearchedPartitionInfo* record = nullptr;
    if (quick->GetSearchedPartitionInfo(&record, 1) == 1) delete record;
  }
  {
    auto builder = MakeBuilder(tree);
    std::unique_ptr<ICompleteFileSystemSearchController> complete(CreateFATSearcher());
    FileSectorMap map;
    complete->SetDevice(&volume);
    complete->SetBlockSize(8192);
    complete->SetDirecotryTreeBuilder(builder.get());
    complete->SetFileSectorMap(&map);
    complete->PreparetoSearch();
    const long long used = static_cast<long long>((size + 511) / 512);
    complete->AnalyzeBlock(0, std::min<long long>(used + 64, kVirtualSectors));
    complete->EndSearch(1);
    const int n = complete->GetSearchedPartitionInfo(nullptr, 0);
    std::vector<CSearchedPartitionInfo*> out(static_cast<std::size_t>(n));
    if (n > 0 && complete->GetSearchedPartitionInfo(out.data(), n) == n) {
      for (CSearchedPartitionInfo* p : out) delete p;
    }
  }
  return 0;
}
