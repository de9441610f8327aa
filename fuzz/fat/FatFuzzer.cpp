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

namespace {

constexpr long long kVirtualSectors = 70000;  // enough clusters for FAT32

class FuzzVolume : public IStorageDevice {
 public:
  FuzzVolume(const std::uint8_t* data, std::size_t size, int fsCode) : m_data(data), m_size(size) {
    auto* info = new CCollectedVolumeDeviceInfoStruct();
    info->fileSystem = static_cast<std::uint32_t>(fsCode);
    info->totalSectors = kVirtualSectors;
    m_private.reset(CreateVolumeDeviceData(info));
  }
  int Open(char*) override { return 1; }
  int Close() override { return 1; }
  int ReadSector(void* buffer, long long start, long long count) override {
    if (start < 0 || count <= 0 || start > kVirtualSectors || count > kVirtualSectors - start) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const auto bytes = static_cast<std::size_t>(count) * 512;
    std::memset(out, 0, bytes);
    const auto from = static_cast<std::size_t>(start) * 512;
    if (from < m_size) std::memcpy(out, m_data + from, std::min(bytes, m_size - from));
    return 1;
  }
  int GetSectorSize() override { return 512; }
  long long GetTotalSectors() override { return kVirtualSectors; }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return m_private.get(); }
  void SetPrivateData(IStorageDeviceData*) override {}
  int GetType() override { return kDeviceVolume; }
  RESULT GetLastError() override { return 0; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::unique_ptr<IStorageDeviceData> m_private;
};

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
  FuzzVolume volume(data, size, fsCode);
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
