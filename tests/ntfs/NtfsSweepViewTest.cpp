// The complete NTFS searcher looks at the blocks the read-ahead cache holds
// in place: it finds the same partitions and files as when it reads every
// block itself, also where blocks cut records, where the last block is short
// and where reads fail.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

#include "core/cache/StorageDeviceWithCache.h"
#include "ntfs/NtfsSearchController.h"
#include "ntfs/NtfsTestImages.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace ntfstest;

namespace {

// Zero sectors after the volume: the last block is short.
constexpr long long kTrailingSectors = 333;

std::string Describe(const CNTFSSearchController& searcher) {
  std::ostringstream out;
  out << "files " << searcher.GetFoundFileCount() << "\n";
  for (const auto& p : searcher.Partitions()) {
    out << "start " << p->m_llStartSector << " base " << p->m_llClusterBaseSector << " sectors " << p->GetTotalSectors()
        << " spc " << p->m_iSectorsPerCluster << " flags " << p->m_uFlags << " mft " << p->m_llMftByte << " record "
        << p->m_iRecordBytes << " score " << p->m_iScore << " logfile " << p->m_llLogFileMatch << " attrdef "
        << p->m_llAttrDefMatch << " upcase " << p->m_llUpCaseMatch << " index " << p->m_llValue56 << "\n";
  }
  return out.str();
}

// One sweep of the searcher over `device` in blocks of `blockSectors`,
// through the read-ahead cache or reading the device itself.
std::string Sweep(IStorageDevice& device, int blockSectors, bool cached) {
  std::unique_ptr<CStorageDeviceWithCache> cache;
  IStorageDevice* swept = &device;
  if (cached) {
    cache = std::make_unique<CStorageDeviceWithCache>(&device);
    if (cache->SetBlockSize(static_cast<unsigned>(blockSectors)) == 0) return "no cache";
    cache->BeginCache();
    swept = cache.get();
  }
  CNTFSSearchController searcher;
  searcher.SetDevice(swept);
  searcher.SetBlockSize(blockSectors);
  if (searcher.PreparetoSearch() == 0) return "not prepared";
  const long long total = device.GetTotalSectors();
  for (long long first = 0; first < total; first += blockSectors) {
    if (cache) cache->SetCurCacheBlock(first / blockSectors);
    searcher.AnalyzeBlock(first, std::min<long long>(blockSectors, total - first));
  }
  if (cache) cache->EndCache();
  searcher.EndSearch(1);
  return Describe(searcher);
}

struct ViewCase {
  const char* name;
  int blockSectors;
  // Sectors after the $MFT's first one whose reads fail (-1: none).
  long long failAfterMft;
};

class NtfsSweepView : public ::testing::TestWithParam<ViewCase> {
 protected:
  static void SetUpTestSuite() {
    s_missing = ImageToolsMissing();
    if (!s_missing.empty()) return;
    s_dir = new testsupport::TempDir();
    s_image = s_dir->File("volume.img");
    if (!MakeTestVolume(s_image, s_dir->File("src"), 4096)) s_image.clear();
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    if (!s_missing.empty()) QUARNEL_SKIP_LACK(s_missing);
    ASSERT_FALSE(s_image.empty()) << "the test volume could not be made";
  }

  static testsupport::Lack s_missing;
  static testsupport::TempDir* s_dir;
  static std::string s_image;
};

testsupport::Lack NtfsSweepView::s_missing;
testsupport::TempDir* NtfsSweepView::s_dir = nullptr;
std::string NtfsSweepView::s_image;

}  // namespace

TEST_P(NtfsSweepView, FindsWhatReadingEachBlockFinds) {
  const ViewCase& c = GetParam();
  auto open = [&] {
    auto device = std::make_unique<testsupport::MemoryDevice>(testsupport::MemoryDevice::FromFile(s_image));
    const auto& boot = device->Bytes();
    long long mftCluster = 0;
    for (int i = 7; i >= 0; --i) mftCluster = mftCluster * 256 + boot[0x30 + static_cast<std::size_t>(i)];
    const long long mftSector = mftCluster * boot[0x0D];
    device->SetTotalSectors(static_cast<long long>(boot.size()) / 512 + kTrailingSectors);
    if (c.failAfterMft >= 0) device->FailSector(mftSector + c.failAfterMft);
    return device;
  };
  const auto read = open();
  const auto viewed = open();
  ASSERT_GT(read->Bytes().size(), 0u);
  const std::string expected = Sweep(*read, c.blockSectors, false);
  EXPECT_NE(expected.find("flags"), std::string::npos) << "the volume is found\n" << expected;
  EXPECT_EQ(Sweep(*viewed, c.blockSectors, true), expected);
}

INSTANTIATE_TEST_SUITE_P(Blocks, NtfsSweepView,
                         ::testing::Values(ViewCase{"ScanBlocks", 8192, -1}, ViewCase{"OddBlocks", 1000, -1},
                                           ViewCase{"BlocksJustOverTheLookahead", 97, -1},
                                           ViewCase{"BlocksUnderTheLookahead", 40, -1},
                                           ViewCase{"FailedReadInTheMft", 1000, 77}),
                         [](const ::testing::TestParamInfo<ViewCase>& info) { return info.param.name; });
