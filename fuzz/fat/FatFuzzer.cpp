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
#include "fat/FatBootSector.h"
#include "fat/FatCompleteSearcher.h"
#include "fat/FatQuickSearcher.h"
#include "support/FakeSinks.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 512) return 0;
  const CTempFATDBR dbr(ByteView(data, 512), 512);
  const int fsCode = dbr.GetFileSystemType() == kFatTypeFat16 ? kFsFat16 : kFsFat32;
  testsupport::MemoryDevice volume = MakeVolume(data, size, fsCode);
  testsupport::NullTree tree;
  testsupport::QuietProgress progress;
  {
    auto builder = testsupport::MakeCompleteScanBuilder(tree);
    std::unique_ptr<IQuickFileSystemSearchController> quick(CreateFATQuickSearcher());
    quick->SetDirecotryTreeBuilder(builder.get());
    (void)quick->QuickSearchFiles(&volume, &progress);
    CSearchedPartitionInfo* record = nullptr;
    if (quick->GetSearchedPartitionInfo(&record, 1) == 1) delete record;
  }
  {
    auto builder = testsupport::MakeCompleteScanBuilder(tree);
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
