#include "core/recovery/RecoveryWriter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/RecoveryTestNode.h"
#include "platform/HeldFolders.h"
#include "support/FakeSinks.h"
#include "support/Files.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr long long kSector = 512;
constexpr long long kSpc = 2;
constexpr long long kBase = 4;
constexpr long long kCluster = kSpc * kSector;

long long FirstDifference(const Bytes& a, const Bytes& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<long long>(i);
  }
  return a.size() == b.size() ? -1 : static_cast<long long>(n);
}

// FILETIME of a Unix time with 100-ns ticks.
long long FileTime(long long unixSeconds, long long ticks = 0) {
  return unixSeconds * 10000000LL + 116444736000000000LL + ticks;
}

struct ReaderDeleter {
  void operator()(IFileReader* r) const {
    if (r != nullptr) r->Release();
  }
};
using ReaderPtr = std::unique_ptr<IFileReader, ReaderDeleter>;

class RecoveryWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    Bytes bytes(static_cast<std::size_t>(sectors * kSector));
    std::mt19937 rng(99);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    device = std::make_unique<testsupport::MemoryDevice>(std::move(bytes));
    partition.m_iFileSystem = 3;
    partition.m_iSectorsPerCluster = static_cast<int>(kSpc);
    partition.m_llClusterBaseSector = kBase;
    partition.m_u16PartitionIndex = 0;
    partition.SetTotalSectors(sectors);
    ASSERT_TRUE(result::Succeeded(recovery.Initialize(std::vector<CSearchedPartitionInfo*>{&partition}, device.get())));
  }

  // What a node's runs hold: device bytes, zeros for sparse runs and past the device's end.
  Bytes Expected(const std::vector<DataRun>& runs, long long size) {
    Bytes out;
    for (const DataRun& r : runs) {
      for (long long i = 0; i < r.length * kCluster; ++i) {
        const long long at = r.start < 0 ? -1 : (kBase + r.start * kSpc) * kSector + i;
        const bool inside = at >= 0 && at < static_cast<long long>(device->Bytes().size());
        out.push_back(inside ? device->Bytes()[static_cast<std::size_t>(at)] : 0);
      }
    }
    out.resize(static_cast<std::size_t>(size));
    return out;
  }

  long long sectors = 64;
  std::unique_ptr<testsupport::MemoryDevice> device;
  CSearchedPartitionInfo partition{512};
  CDataRecovery recovery;
  testsupport::TempDir tmp;
};

TEST_F(RecoveryWriter, ExtentsSparseRunAndDeviceEndRecoverByteExact) {
  // Clusters 27..30 end at sector 65: the last two sectors lie past the device.
  const std::vector<DataRun> runs = {{3, 2}, {10, 1}, {-1, 2}, {20, 3}, {27, 4}};
  const long long size = 12 * kCluster - 100;
  RecoveryTestNode file("file.bin", size, {{3, 2}, {10, 1}, {-1, 2}, {20, 3}, {27, 4}});
  file.m_mtime = FileTime(1500000000, 1234567);
  file.m_atime = FileTime(1600000000, 5);
  file.m_ctime = FileTime(1400000000);

  ReaderPtr preview(recovery.SetRecoverNode(&file));
  ASSERT_NE(preview, nullptr);
  const std::string out = tmp.File("dest/file.bin");
  ASSERT_EQ(recovery.RecoverTo(out.c_str(), nullptr, 0), 0u);
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);  // before reading changes the access time
  EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);
  EXPECT_EQ(st.st_atim.tv_sec, 1600000000);
  EXPECT_EQ(st.st_atim.tv_nsec, 500);
  EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(out), Expected(runs, size)), -1);
  EXPECT_EQ(recovery.LastUnreadableSectors(), 2);

  // The preview reader serves the same bytes.
  Bytes head(3000);
  int err = 0;
  ASSERT_EQ(preview->ReadData(0, reinterpret_cast<char*>(head.data()), 3000, &err), 3000);
  EXPECT_EQ(err, 0);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), Expected(runs, size).begin()));
}

// docs/sub/a.txt under an NTFS root, each level with its own times;
// unlinked again when the test ends.
struct DocsSubFile {
  CFilesystemNode root{"NTFS", "vol", kSearcherNtfs, 5};
  RecoveryTestNode docs{"docs", 0, {}, true};
  RecoveryTestNode sub{"sub", 0, {}, true};
  RecoveryTestNode file{"a.txt", 1000, {{3, 1}}};
  bool linked = false;

  DocsSubFile() {
    docs.m_mtime = FileTime(1300000000);
    docs.m_atime = FileTime(1300000100);
    sub.m_mtime = FileTime(1310000000);
    file.m_mtime = FileTime(1320000000);
    linked = root.AddChild(&docs) == 1 && docs.AddChild(&sub) == 1 && sub.AddChild(&file) == 1;
  }
  ~DocsSubFile() {
    root.RemoveChild(&docs);
    docs.RemoveChild(&sub);
    sub.RemoveChild(&file);
  }
};

TEST_F(RecoveryWriter, FolderPathIsCreatedAndStampedBelowTheRootOnly) {
  DocsSubFile tree;
  ASSERT_TRUE(tree.linked);
  RecoveryTestNode& file = tree.file;

  // The caller makes the tree's own folder under the chosen destination.
  const std::filesystem::path dest = tmp.Path() / "dest";
  std::filesystem::create_directories(dest / "NTFS_0001");
  struct stat before {};
  ASSERT_EQ(stat(dest.c_str(), &before), 0);
  recovery.SetRecoveryRoot(dest.c_str());
  ReaderPtr preview(recovery.SetRecoverNode(&file));
  const std::string out = (dest / "NTFS_0001/docs/sub/a.txt").string();
  ASSERT_EQ(recovery.RecoverTo(out.c_str(), nullptr, 0), 0u);

  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1320000000);
  EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(out), Expected({{3, 1}}, 1000)), -1);
  ASSERT_EQ(stat((dest / "NTFS_0001/docs/sub").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1310000000);
  ASSERT_EQ(stat((dest / "NTFS_0001/docs").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
  EXPECT_EQ(st.st_atim.tv_sec, 1300000100);
  // The tree's own folder belongs to a root without times; the destination is never stamped.
  ASSERT_EQ(stat((dest / "NTFS_0001").c_str(), &st), 0);
  EXPECT_GT(st.st_mtim.tv_sec, 1400000000);
  ASSERT_EQ(stat(dest.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(st.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

  // A node tree deeper than the path below the root stops at the root.
  recovery.SetRecoveryRoot((dest / "flat").c_str());
  const std::string flat = (dest / "flat/a.txt").string();
  ASSERT_EQ(recovery.RecoverTo(flat.c_str(), nullptr, 0), 0u);
  ASSERT_EQ(stat((dest / "flat").c_str(), &st), 0);
  EXPECT_NE(st.st_mtim.tv_sec, 1310000000);
}

TEST_F(RecoveryWriter, HeldFoldersAreWrittenAndStampedThroughTheirDescriptors) {
  DocsSubFile tree;
  ASSERT_TRUE(tree.linked);
  RecoveryTestNode& file = tree.file;

  const std::filesystem::path dest = tmp.Path() / "dest";
  const std::filesystem::path outside = tmp.Path() / "outside";
  std::filesystem::create_directories(dest);
  std::filesystem::create_directories(outside);
  platform::HeldFolders folders;
  ASSERT_TRUE(folders.MakeBelow(dest.string(), "NTFS_0001/docs/sub"));
  recovery.SetRecoveryRoot(dest.c_str());
  recovery.SetHeldFolders(&folders);
  // After the check the folder moves away and a link to somewhere else takes its name.
  std::filesystem::rename(dest / "NTFS_0001/docs/sub", dest / "NTFS_0001/docs/moved");
  std::filesystem::create_directory_symlink(outside, dest / "NTFS_0001/docs/sub");

  ReaderPtr preview(recovery.SetRecoverNode(&file));
  const std::string out = (dest / "NTFS_0001/docs/sub/a.txt").string();
  ASSERT_EQ(recovery.RecoverTo(out.c_str(), nullptr, 0), 0u);
  EXPECT_TRUE(std::filesystem::is_empty(outside));
  const std::string written = (dest / "NTFS_0001/docs/moved/a.txt").string();
  EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(written), Expected({{3, 1}}, 1000)), -1);
  struct stat st {};
  ASSERT_EQ(stat(written.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1320000000);
  ASSERT_EQ(stat((dest / "NTFS_0001/docs/moved").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1310000000);
  ASSERT_EQ(stat((dest / "NTFS_0001/docs").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
  ASSERT_EQ(stat(outside.c_str(), &st), 0);
  EXPECT_NE(st.st_mtim.tv_sec, 1310000000);

  // A link that appears at the file's own name is refused, not written through.
  std::filesystem::create_symlink(outside / "b.txt", dest / "NTFS_0001/docs/moved/b.txt");
  const std::string linked = (dest / "NTFS_0001/docs/sub/b.txt").string();
  EXPECT_EQ(result::CodeOf(recovery.RecoverTo(linked.c_str(), nullptr, 0)), 0xFu);
  EXPECT_FALSE(std::filesystem::exists(outside / "b.txt"));
  recovery.SetHeldFolders(nullptr);
}

TEST_F(RecoveryWriter, ZeroTimesAreLeftAlone) {
  RecoveryTestNode file("t.bin", 700, {{5, 1}});
  file.m_atime = FileTime(1000000000);
  ReaderPtr preview(recovery.SetRecoverNode(&file));
  const std::string out = tmp.File("t.bin");
  ASSERT_EQ(recovery.RecoverTo(out.c_str(), nullptr, 0), 0u);
  struct stat st {};
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_GT(st.st_mtim.tv_sec, 1600000000) << "no modification time: the system's stays";
}

TEST_F(RecoveryWriter, UnreadableSectorsBecomeZerosOnlyWhereTheReadFailed) {
  const std::vector<DataRun> runs = {{2, 6}, {20, 4}};
  const long long size = 10 * kCluster - 10;
  for (const long long bad : {kBase + 2 * kSpc, kBase + 2 * kSpc + 7, kBase + 23 * kSpc + 1}) {
    SCOPED_TRACE(bad);
    SetUp();
    device->FailSector(bad);
    RecoveryTestNode file("f", size, {{2, 6}, {20, 4}});
    ReaderPtr preview(recovery.SetRecoverNode(&file));
    const std::string out = tmp.File("f");
    ASSERT_EQ(recovery.RecoverTo(out.c_str(), nullptr, 0), 0u);
    const Bytes got = testsupport::ReadFileBytes(out);
    Bytes expected = Expected(runs, size);
    // File offset of the bad sector.
    const long long cluster = (bad - kBase) / kSpc;
    const long long fileCluster = cluster < 20 ? cluster - 2 : 6 + cluster - 20;
    const long long at = fileCluster * kCluster + ((bad - kBase) % kSpc) * kSector;
    for (long long i = at; i < std::min(at + kSector, size); ++i) expected[static_cast<std::size_t>(i)] = 0;
    EXPECT_EQ(FirstDifference(got, expected), -1);
    EXPECT_EQ(recovery.LastUnreadableSectors(), 1);
  }
}

TEST_F(RecoveryWriter, BlocksBeyond4MiBAndTheirProgress) {
  sectors = 20000;  // about 9.8 MiB
  SetUp();
  const long long clusters = 9000;
  const long long size = clusters * kCluster - 1;
  device->FailSector(kBase + 5000 * kSpc);
  RecoveryTestNode file("big", size, {{100, 5000}, {5200, 4000}});
  ReaderPtr preview(recovery.SetRecoverNode(&file));
  testsupport::FakeProgress sink;
  const std::string out = tmp.File("big");
  ASSERT_EQ(recovery.RecoverTo(out.c_str(), &sink, 0), 0u);
  EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(out),
                            [&] {
                              Bytes e = Expected({{100, 5000}, {5200, 4000}}, size);
                              const long long at = (5000 - 100) * kCluster;
                              std::fill(e.begin() + at, e.begin() + at + kSector, 0);
                              return e;
                            }()),
            -1);
  const auto reports = sink.Reports();
  ASSERT_EQ(reports.size(), 4u);  // the start and three blocks
  EXPECT_EQ(reports.front().state, kProgressRunning);
  EXPECT_EQ(reports[1].done, 4u * 1024 * 1024);
  EXPECT_EQ(reports.back().done, static_cast<std::uint64_t>(size));
  EXPECT_EQ(reports.back().total, static_cast<std::uint64_t>(size));
}

TEST_F(RecoveryWriter, ShortReadsNeverLeaveStaleBytes) {
  // The first file fills the block buffer; the second's runs end early.
  RecoveryTestNode first("first", 8 * kCluster, {{1, 8}});
  ReaderPtr a(recovery.SetRecoverNode(&first));
  ASSERT_EQ(recovery.RecoverTo(tmp.File("first").c_str(), nullptr, 0), 0u);

  RecoveryTestNode second("second", 5000, {{12, 1}});
  ReaderPtr b(recovery.SetRecoverNode(&second));
  ASSERT_EQ(recovery.RecoverTo(tmp.File("second").c_str(), nullptr, 0), 0u);
  Bytes expected = Expected({{12, 1}}, kCluster);
  expected.resize(5000, 0);
  EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(tmp.File("second")), expected), -1);
  EXPECT_GT(recovery.LastUnreadableSectors(), 0);
}

TEST_F(RecoveryWriter, AFileClaimingMoreThanItsDeviceIsCutToTheDevice) {
  // A damaged record: 1 PiB in one run on a 32 KiB device.
  RecoveryTestNode file("huge", 1LL << 50, {{1, 1LL << 40}});
  ReaderPtr preview(recovery.SetRecoverNode(&file));
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(file.IsDamaged());
  EXPECT_EQ(preview->GetDataSize(), sectors * kSector);
  const std::string out = tmp.File("huge");
  ASSERT_EQ(recovery.RecoverTo(out.c_str(), nullptr, 0), 0u);
  EXPECT_EQ(std::filesystem::file_size(out), static_cast<std::uintmax_t>(sectors * kSector));
  // The run's sectors past the device's end were not read: the file is incomplete.
  EXPECT_GT(recovery.LastUnreadableSectors(), 0);
  Bytes expected = Expected({{1, 31}}, sectors * kSector);
  EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(out), expected), -1);

  RecoveryTestNode fits("fits", 3 * kCluster, {{1, 3}});
  ReaderPtr second(recovery.SetRecoverNode(&fits));
  EXPECT_FALSE(fits.IsDamaged());
  EXPECT_EQ(second->GetDataSize(), 3 * kCluster);
}

TEST_F(RecoveryWriter, SizeLimitCutsThePlainCopy) {
  RecoveryTestNode file("f", 6 * kCluster, {{1, 6}});
  ReaderPtr r(recovery.SetRecoverNode(&file));
  ASSERT_EQ(recovery.RecoverTo(tmp.File("f").c_str(), nullptr, 1500), 0u);
  EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(tmp.File("f")), Expected({{1, 6}}, 1500)), -1);
}

TEST_F(RecoveryWriter, FailuresGiveTheirCodes) {
  using result::CodeOf;
  using result::ModuleOf;
  EXPECT_EQ(CodeOf(recovery.RecoverTo(nullptr, nullptr, 0)), static_cast<std::uint32_t>(kRecBadArgument));

  // No node set: an empty destination and 0xD02.
  const RESULT noReader = recovery.RecoverTo(tmp.File("empty").c_str(), nullptr, 0);
  EXPECT_EQ(ModuleOf(noReader), 0x010D);
  EXPECT_EQ(CodeOf(noReader), 0xD02u);
  EXPECT_TRUE(std::filesystem::exists(tmp.File("empty")));
  EXPECT_EQ(std::filesystem::file_size(tmp.File("empty")), 0u);

  // A destination whose folder is a file cannot be opened.
  RecoveryTestNode file("f", 100, {{1, 1}});
  ReaderPtr r(recovery.SetRecoverNode(&file));
  std::ofstream(tmp.File("plain")) << "x";
  EXPECT_EQ(CodeOf(recovery.RecoverTo(tmp.File("plain/f").c_str(), nullptr, 0)), 0xFu);

  // Folders, nodes without runs or size, and unknown nodes give no reader.
  RecoveryTestNode dir("d", 0, {}, true);
  EXPECT_EQ(recovery.SetRecoverNode(&dir), nullptr);
  RecoveryTestNode empty("e", 0, {{1, 1}});
  EXPECT_EQ(recovery.SetRecoverNode(&empty), nullptr);
  RecoveryTestNode noRuns("n", 100, {}, true);
  noRuns.m_dir = false;
  EXPECT_EQ(recovery.SetRecoverNode(&noRuns), nullptr);
  EXPECT_EQ(recovery.SetRecoverNode(nullptr), nullptr);
  EXPECT_EQ(CodeOf(recovery.RecoverTo(tmp.File("after").c_str(), nullptr, 0)), 0xD02u);

  CDataRecovery fresh;
  EXPECT_EQ(fresh.SetRecoverNode(&file), nullptr) << "no partitions";
  EXPECT_EQ(CodeOf(fresh.Initialize(std::vector<CSearchedPartitionInfo*>{}, nullptr)),
            static_cast<std::uint32_t>(kRecBadArgument));
}

TEST_F(RecoveryWriter, SmallJpegIsFoundInTheFirst64KiB) {
  sectors = 256;  // room for a file past 64 KiB
  SetUp();
  RecoveryTestNode file("p.jpg", 70 * kCluster, {{0, 30}});
  Bytes& d = device->Bytes();
  const std::size_t base = static_cast<std::size_t>(kBase * kSector);
  for (std::size_t i = 0; i < 30 * kCluster; ++i) d[base + i] = static_cast<std::uint8_t>(i % 200);
  d[base + 100] = 0xFF, d[base + 101] = 0xD8, d[base + 102] = 0xFF;
  d[base + 3000] = 0xFF, d[base + 3001] = 0xD9;
  ReaderPtr r(recovery.SetRecoverNode(&file));
  std::vector<char> buf(65536);
  const int n = recovery.ReadSmallJPG(buf.data(), static_cast<unsigned>(buf.size()));
  ASSERT_EQ(n, 3000 + 4 - 100);
  EXPECT_EQ(static_cast<std::uint8_t>(buf[0]), 0xFF);
  EXPECT_EQ(static_cast<std::uint8_t>(buf[2901]), 0xD9);
  EXPECT_EQ(recovery.ReadSmallJPG(buf.data(), 65535), 0);
  EXPECT_EQ(recovery.ReadSmallJPG(nullptr, 65536), 0);

  RecoveryTestNode small("s.jpg", 60000, {{0, 30}});
  ReaderPtr s(recovery.SetRecoverNode(&small));
  EXPECT_EQ(recovery.ReadSmallJPG(buf.data(), 65536), 0);
}

}  // namespace
