#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>

#include "core/cache/PatternDevice.h"
#include "core/controller/CompleteRecoveryController.h"
#include "core/controller/RecordingSearchers.h"
#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/recovery/DataRecovery.h"
#include "support/FakeSinks.h"
#include "support/TempDir.h"

using namespace controllertest;
using testsupport::FakeProgress;
using testsupport::PatternDevice;
using testsupport::RecordingTree;

namespace {

constexpr long long kBlock512 = 8192;  // 4 MiB of 512-byte sectors

RESULT Code(RESULT r) { return result::CodeOf(r); }

class CompleteScan : public RegistryTest {
 protected:
  ControllerPtr Make(int kind = kControllerComplete) {
    ControllerPtr c(CreateRecoveryController(static_cast<_RECOVERY_CONTROLLER_TYPE>(kind)));
    c->Initialize(&m_filter);
    return c;
  }

  AcceptAllFilter m_filter;
  FakeProgress m_progress;
  RecordingTree m_tree;
};

bool PatternCheck(const std::uint8_t* bytes, long long start, long long count, int ss) {
  for (long long i = 0; i < count; ++i) {
    if (!PatternDevice::Check(bytes + i * ss, start + i, ss)) return false;
  }
  return true;
}

// The blocks one searcher analysed cover [0, total) once, in order.
void ExpectBlocksCover(int type, long long total, long long blockSize) {
  const auto blocks = SearcherJournal::Get().Events(type, "block");
  ASSERT_EQ(static_cast<long long>(blocks.size()), (total + blockSize - 1) / blockSize);
  long long next = 0;
  for (const SearcherEvent& e : blocks) {
    ASSERT_EQ(e.a, next);
    ASSERT_EQ(e.b, std::min(blockSize, total - next));
    next += e.b;
  }
  EXPECT_EQ(next, total);
}

// Start report, first sweep report, monotonic sweep to 80 %, end report.
void ExpectSweepProgress(const std::vector<_PROGRESS_INFO>& reports, std::uint64_t blocks) {
  ASSERT_GE(reports.size(), 3u);
  EXPECT_EQ(reports.front().state, kProgressRunning);
  EXPECT_EQ(reports.front().total, 1u);
  EXPECT_EQ(reports.front().done, 0u);
  EXPECT_EQ(reports[1].state, kProgressFirstSweep);
  EXPECT_EQ(reports[1].total, blocks);
  EXPECT_EQ(reports[1].done, 0u);
  std::uint64_t last = 0;
  for (std::size_t i = 2; i + 1 < reports.size(); ++i) {
    EXPECT_EQ(reports[i].state, kProgressRunning);
    EXPECT_EQ(reports[i].total, blocks);
    EXPECT_GE(reports[i].done, last);
    last = reports[i].done;
  }
  EXPECT_EQ(reports.size(), blocks + 3);
  EXPECT_EQ(last, blocks * 4 / 5) << "the sweep ends at 80 %";
  EXPECT_EQ(reports.back().state, kProgressFinished);
  EXPECT_EQ(reports.back().total, 1u);
  EXPECT_EQ(reports.back().done, 1u);
}

}  // namespace

// 1 GiB and a short last block, read once through the cache; every block's
// bytes are those of its sectors.
TEST_F(CompleteScan, SweepsAGibibyteDeviceEverySectorOnceInOrder) {
  const long long total = (1LL << 30) / 512 + 5;
  PatternDevice device(total);
  RegisterCompleteSearchers({kSearcherNtfs});
  SearcherJournal::Get().SetBlockCheck(&PatternCheck);

  ControllerPtr c = Make();
  EXPECT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);

  ExpectBlocksCover(kSearcherNtfs, total, kBlock512);
  EXPECT_TRUE(SearcherJournal::Get().BadBlocks().empty());
  // The source was read once, sector by sector in order.
  long long next = 0;
  for (const auto& [start, count] : device.Reads()) {
    ASSERT_EQ(start, next);
    next += count;
  }
  EXPECT_EQ(next, total);
  ExpectSweepProgress(m_progress.Reports(), 257);

  c.reset();
  EXPECT_EQ(SearcherJournal::Get().Events(kSearcherNtfs, "deleted").size(), 1u);
}

// A real image file: a sparse 1 GiB file with a few written sectors.
TEST_F(CompleteScan, SweepsASparseImageFile) {
  testsupport::TempDir dir;
  const std::string path = dir.File("sparse.img");
  const long long total = (1LL << 30) / 512 + 3;
  const std::set<long long> written = {0, 8191, 8192, total / 2, total - 1};
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, total * 512), 0);
    std::uint8_t sector[512];
    for (long long s : written) {
      PatternDevice::Fill(sector, s, 512);
      ASSERT_EQ(::pwrite(fd, sector, 512, s * 512), 512);
    }
    ::close(fd);
  }
  std::unique_ptr<CDiskDevice> disk(CreateDiskDevice(path.c_str()));
  ASSERT_EQ(disk->Open(nullptr), 1);
  ASSERT_EQ(disk->GetTotalSectors(), total);

  RegisterCompleteSearchers({kSearcherHfsPlus});
  SearcherJournal::Get().SetBlockCheck([&](const std::uint8_t* bytes, long long start, long long count, int ss) {
    for (long long i = 0; i < count; ++i) {
      const std::uint8_t* p = bytes + i * ss;
      const bool ok = written.count(start + i) != 0 ? PatternDevice::Check(p, start + i, ss)
                                                    : PatternDevice::IsZero(p, static_cast<std::size_t>(ss));
      if (!ok) return false;
    }
    return true;
  });

  ControllerPtr c = Make(kControllerWholeDisk);
  EXPECT_EQ(c->StartDataRecovery(disk.get(), &m_progress, &m_tree), 0u);
  ExpectBlocksCover(kSearcherHfsPlus, total, kBlock512);
  EXPECT_TRUE(SearcherJournal::Get().BadBlocks().empty());
  ExpectSweepProgress(m_progress.Reports(), 257);
}

TEST_F(CompleteScan, BlockGeometryFollowsTheSectorSize) {
  struct Case {
    int sectorSize;
    long long total;
    long long blockSize;
    std::uint64_t blocks;
  };
  const Case cases[] = {
      {512, kBlock512 * 3, kBlock512, 3}, {512, kBlock512 * 3 + 1, kBlock512, 4}, {512, kBlock512 - 1, kBlock512, 1},
      {4096, 1024 * 2 + 7, 1024, 3},      {0, kBlock512 + 1, kBlock512, 2},  // a device that reports 0 counts as 512
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.total);
    SearcherJournal::Get().Reset();
    engine_registry::Clear();
    RegisterCompleteSearchers({kSearcherFat});
    PatternDevice device(cs.total, cs.sectorSize);
    FakeProgress progress;
    ControllerPtr c = Make();
    EXPECT_EQ(c->StartDataRecovery(&device, &progress, &m_tree), 0u);
    const auto bs = SearcherJournal::Get().Events(kSearcherFat, "blocksize");
    ASSERT_EQ(bs.size(), 1u);
    EXPECT_EQ(bs[0].a, cs.blockSize);
    ExpectBlocksCover(kSearcherFat, cs.total, cs.blockSize);
    ExpectSweepProgress(progress.Reports(), cs.blocks);
  }
}

// Order 31, 33, 32, 34, 35, 37; each gets the cache, the block size, the
// builder and the bitmap and is prepared before the first block.
TEST_F(CompleteScan, MakesAndPreparesTheSearchersInOrder) {
  RegisterCompleteSearchers({kSearcherHfsPlus, kSearcherFat, kSearcherExFat, kSearcherRawByType, kSearcherNtfs,
                             kSearcherRawByLabel, kSearcherApfs});
  PatternDevice device(kBlock512 + 10);
  ControllerPtr c = Make();
  ASSERT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);

  const std::vector<int> order = {kSearcherHfsPlus,   kSearcherExFat, kSearcherFat,
                                  kSearcherRawByType, kSearcherNtfs,  kSearcherApfs};
  for (const char* op : {"device", "blocksize", "builder", "bitmap", "prepare", "end"}) {
    std::vector<int> types;
    for (const SearcherEvent& e : SearcherJournal::Get().Events(op)) types.push_back(e.type);
    EXPECT_EQ(types, order) << op;
  }
  for (const SearcherEvent& e : SearcherJournal::Get().Events("device")) EXPECT_EQ(e.a, kDeviceWrapper);
  for (const SearcherEvent& e : SearcherJournal::Get().Events("end")) EXPECT_EQ(e.a, 1);
  // Both blocks went to every searcher, every searcher was done with the
  // first block before any took the second, and within a block the carving
  // came after the HFS+ searcher (the searchers run side by side).
  const auto blocks = SearcherJournal::Get().Events("block");
  ASSERT_EQ(blocks.size(), 2 * order.size());
  for (std::size_t half = 0; half < 2; ++half) {
    std::vector<int> types;
    long long hfsAt = -1, rawAt = -1;
    for (std::size_t i = half * order.size(); i < (half + 1) * order.size(); ++i) {
      EXPECT_EQ(blocks[i].a, static_cast<long long>(half) * kBlock512);
      types.push_back(blocks[i].type);
      if (blocks[i].type == kSearcherHfsPlus) hfsAt = static_cast<long long>(i);
      if (blocks[i].type == kSearcherRawByType) rawAt = static_cast<long long>(i);
    }
    std::sort(types.begin(), types.end());
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(types, sorted);
    EXPECT_LT(hfsAt, rawAt);
  }

  auto typesOf = [](const char* op) {
    std::vector<int> types;
    for (const SearcherEvent& e : SearcherJournal::Get().Events(op)) types.push_back(e.type);
    return types;
  };
  EXPECT_EQ(typesOf("progress"), (std::vector<int>{kSearcherHfsPlus, kSearcherRawByType, kSearcherApfs}));
  EXPECT_EQ(typesOf("map"), (std::vector<int>{kSearcherFat, kSearcherRawByType}));
  EXPECT_TRUE(typesOf("active").empty()) << "a disk is no HFS+ volume";

  // Preparation comes before the first block; the end after the last.
  const auto events = SearcherJournal::Get().Events();
  std::size_t lastPrepare = 0, firstBlock = events.size(), lastBlock = 0, firstEnd = events.size();
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].op == "prepare") lastPrepare = i;
    if (events[i].op == "block") firstBlock = std::min(firstBlock, i), lastBlock = i;
    if (events[i].op == "end") firstEnd = std::min(firstEnd, i);
  }
  EXPECT_LT(lastPrepare, firstBlock);
  EXPECT_LT(lastBlock, firstEnd);

  c.reset();
  EXPECT_EQ(typesOf("deleted").size(), order.size());
}

TEST_F(CompleteScan, AnHfsPlusVolumeMakesTheHfsSearcherActive) {
  RegisterCompleteSearchers({kSearcherHfsPlus});
  struct Case {
    int kind;
    int fileSystem;
    bool active;
  };
  for (const Case& cs : {Case{kDeviceVolume, kFsHfsPlus, true}, Case{kDeviceVolume, kFsNtfs, false},
                         Case{kDevicePartition, kFsHfsPlus, false}}) {
    SearcherJournal::Get().Reset();
    PatternDevice device(100, 512, cs.kind);
    device.SetVolumeRecord(cs.fileSystem, "Macintosh HD");
    FakeProgress progress;
    ControllerPtr c = Make();
    ASSERT_EQ(c->StartDataRecovery(&device, &progress, &m_tree), 0u);
    const auto active = SearcherJournal::Get().Events(kSearcherHfsPlus, "active");
    EXPECT_EQ(active.size(), cs.active ? 1u : 0u) << cs.kind << "/" << cs.fileSystem;
    if (cs.active) {
      ASSERT_EQ(active.size(), 1u);
      EXPECT_EQ(active[0].a, 1);
    }
  }
}

// Cancelled during the sweep: no further block; every searcher but the
// carving one is ended; the end report goes out; not a failure.
TEST_F(CompleteScan, CancelStopsBeforeTheNextBlock) {
  RegisterCompleteSearchers({kSearcherHfsPlus, kSearcherRawByType, kSearcherNtfs});
  SearcherJournal::Get().SetBlockHook([this](int type, long long start) {
    if (type == kSearcherNtfs && start == kBlock512) m_progress.m_cancelled = true;
  });
  PatternDevice device(kBlock512 * 5);
  ControllerPtr c = Make();
  EXPECT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);

  EXPECT_EQ(SearcherJournal::Get().Events("block").size(), 2u * 3u);
  EXPECT_EQ(SearcherJournal::Get().Events(kSearcherHfsPlus, "end").size(), 1u);
  EXPECT_EQ(SearcherJournal::Get().Events(kSearcherNtfs, "end").size(), 1u);
  EXPECT_TRUE(SearcherJournal::Get().Events(kSearcherRawByType, "end").empty());
  const auto reports = m_progress.Reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().state, kProgressFinished);
  EXPECT_EQ(reports[reports.size() - 2].done, 2u * 4 / 5);
}

TEST_F(CompleteScan, EndSearchGetsWhatShouldBuildSays) {
  RegisterCompleteSearchers({kSearcherExFat, kSearcherApfs});
  m_progress.m_build = false;
  PatternDevice device(64);
  ControllerPtr c = Make();
  EXPECT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);
  const auto ends = SearcherJournal::Get().Events("end");
  ASSERT_EQ(ends.size(), 2u);
  for (const SearcherEvent& e : ends) EXPECT_EQ(e.a, 0);
}

// Failures once the start report went out still end the job for the sink.
TEST_F(CompleteScan, EarlyFailuresSendTheEndReport) {
  PatternDevice device(64);
  {
    ControllerPtr c = Make();  // nothing registered
    const RESULT r = c->StartDataRecovery(&device, &m_progress, &m_tree);
    EXPECT_TRUE(result::Failed(r));
    EXPECT_EQ(result::ModuleOf(r), result::kModuleRecoveryController);
    EXPECT_EQ(Code(r), kCtrlNoCompleteSearcher);
  }
  {
    RegisterCompleteSearchers({kSearcherNtfs});
    ControllerPtr c(CreateRecoveryController(kControllerComplete));  // no filter: the builder refuses
    EXPECT_EQ(Code(c->StartDataRecovery(&device, &m_progress, &m_tree)), kCtrlBadQuickArgument);
    EXPECT_TRUE(SearcherJournal::Get().Events("prepare").empty());
  }
  const auto reports = m_progress.Reports();
  ASSERT_EQ(reports.size(), 4u);
  for (std::size_t i : {0u, 2u}) EXPECT_EQ(reports[i].state, kProgressRunning);
  for (std::size_t i : {1u, 3u}) {
    EXPECT_EQ(reports[i].state, kProgressFinished);
    EXPECT_EQ(reports[i].done, 1u);
  }
}

TEST_F(CompleteScan, NullArgumentsAreRefusedWithoutReports) {
  RegisterCompleteSearchers({kSearcherNtfs});
  PatternDevice device(64);
  ControllerPtr c = Make();
  EXPECT_EQ(Code(c->StartDataRecovery(nullptr, &m_progress, &m_tree)), kCtrlBadCompleteArgument);
  EXPECT_EQ(Code(c->StartDataRecovery(&device, nullptr, &m_tree)), kCtrlBadCompleteArgument);
  EXPECT_EQ(Code(c->StartDataRecovery(&device, &m_progress, nullptr)), kCtrlBadCompleteArgument);
  EXPECT_TRUE(m_progress.Reports().empty());
  EXPECT_TRUE(SearcherJournal::Get().Events().empty());
}

TEST_F(CompleteScan, TheSweepNeedsACacheAndAnOrderedRange) {
  std::unique_ptr<CCompleteRecoveryController, ControllerRelease> c(new CCompleteRecoveryController());
  EXPECT_EQ(Code(c->SearchData(0, 10, &m_progress)), kCtrlNoProgressOrCache);
  EXPECT_EQ(Code(c->SearchData(0, 10, nullptr)), kCtrlNoProgressOrCache);
}

// A replay fills the builder from the saved scan: no preparation, no block.
TEST_F(CompleteScan, ReplayReplacesTheSweep) {
  RegisterCompleteSearchers({kSearcherHfsPlus, kSearcherRawByType});
  PatternDevice device(kBlock512 * 2);
  RecordingRestoreSink sink;
  ControllerPtr c = Make();
  c->m_pRestoreSink = &sink;
  EXPECT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);
  EXPECT_EQ(sink.m_calls, 1);
  EXPECT_NE(sink.m_builder, nullptr);
  EXPECT_EQ(sink.m_device, &device);
  EXPECT_EQ(sink.m_progress, &m_progress);
  EXPECT_TRUE(SearcherJournal::Get().Events("prepare").empty());
  EXPECT_TRUE(SearcherJournal::Get().Events("block").empty());
  EXPECT_EQ(SearcherJournal::Get().Events("end").size(), 2u);
  EXPECT_EQ(device.ReadCount(), 0) << "a replay does not read the device";
  EXPECT_EQ(m_progress.Reports().back().state, kProgressFinished);
}

TEST_F(CompleteScan, RecoveryObjectsComeOnlyForSearchersThatRan) {
  RegisterCompleteSearchers({kSearcherNtfs});
  PatternDevice device(64);
  ControllerPtr c = Make();
  ASSERT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);
  EXPECT_EQ(c->GetDataRecovery(kSearcherFat), nullptr);
  // The searcher proved no partition: the object cannot be initialised.
  EXPECT_EQ(c->GetDataRecovery(kSearcherNtfs), nullptr);
}

TEST_F(CompleteScan, ReplayedRecoveryObjectsUseTheSavedPartitions) {
  RegisterCompleteSearchers({kSearcherNtfs});
  PatternDevice device(64);
  CSearchedPartitionInfo saved(512);
  RecordingRestoreSink sink;
  sink.m_partitions.push_back(&saved);
  ControllerPtr c = Make();
  c->m_pRestoreSink = &sink;
  ASSERT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);
  IDataRecovery* recovery = c->GetDataRecovery(kSearcherNtfs);
  ASSERT_NE(recovery, nullptr);
  EXPECT_EQ(sink.m_askedTypes, std::vector<_tagSearcherType>{kSearcherNtfs});
  recovery->Release();
  EXPECT_EQ(c->GetDataRecovery(kSearcherHfsPlus), nullptr);
}

// A failing read does not stop the sweep; the block is analysed all the same.
TEST_F(CompleteScan, UnreadableBlocksDoNotStopTheSweep) {
  RegisterCompleteSearchers({kSearcherApfs});
  PatternDevice device(kBlock512 * 3);
  device.FailSector(kBlock512 + 17);
  ControllerPtr c = Make();
  EXPECT_EQ(c->StartDataRecovery(&device, &m_progress, &m_tree), 0u);
  ExpectBlocksCover(kSearcherApfs, kBlock512 * 3, kBlock512);
}
