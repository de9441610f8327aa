// FAT32 deleted entries whose first cluster lost its high 16 bits: the
// guesses from neighbouring entries and earlier finds, the claim maps, and
// the signature and folder tests that confirm a guess.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "carving/CarvingEngine.h"
#include "carving/RawFileType.h"
#include "core/engines/EngineRegistry.h"
#include "fat/FatEngine.h"
#include "fat/FatBuildChildren.h"
#include "fat/FatFileNode.h"
#include "fat/FatFileProperties.h"
#include "fat/FatScanHarness.h"
#include "support/Absent.h"
#include "support/CliProgram.h"
#include "support/TempDir.h"

namespace {

// A device of mostly zero sectors; only the sectors written hold data.
class SparseDevice : public IStorageDevice {
 public:
  explicit SparseDevice(long long total) : m_total(total) {}
  int Open(char*) override { return 1; }
  int Close() override { return 1; }
  int ReadSector(void* buffer, long long start, long long count) override {
    ++m_reads;
    if (start < 0 || count <= 0 || start + count > m_total) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (long long i = 0; i < count; ++i) {
      const auto it = m_sectors.find(start + i);
      if (it == m_sectors.end()) {
        std::memset(out + i * 512, 0, 512);
      } else {
        std::memcpy(out + i * 512, it->second.data(), 512);
      }
    }
    return 1;
  }
  int GetSectorSize() override { return 512; }
  long long GetTotalSectors() override { return m_total; }
  int IOCtl(unsigned long long, void*) override { return 0; }
  IStorageDeviceData* GetPrivateData() override { return nullptr; }
  void SetPrivateData(IStorageDeviceData*) override {}
  int GetType() override { return kDeviceDisk; }
  RESULT GetLastError() override { return 0; }

  std::vector<std::uint8_t>& Sector(long long s) {
    auto& bytes = m_sectors[s];
    bytes.resize(512, 0);
    return bytes;
  }
  int Reads() const { return m_reads; }
  void SetTotal(long long total) { m_total = total; }

 private:
  long long m_total;
  std::map<long long, std::vector<std::uint8_t>> m_sectors;
  int m_reads = 0;
};

constexpr std::uint64_t kDataStart = 64;
constexpr std::uint64_t kPartitionSectors = 0x30000;

struct PropsRelease {
  void operator()(CFATFileProperties* p) const { CFATFileProperties::Destory(p); }
};
using PropsPtr = std::unique_ptr<CFATFileProperties, PropsRelease>;

// One partition with one-sector clusters from sector 64 and the builder of
// its children, over a sparse device.
class Repair : public ::testing::Test {
 protected:
  void SetUp() override { MakeBuilder(kFatTypeFat32); }

  void MakeBuilder(enumFILE_SYSTEM_TYPE type, std::uint64_t totalSectors = kPartitionSectors) {
    m_geometry.type = type;
    m_geometry.device = &m_device;
    m_geometry.sectorSize = 512;
    m_geometry.sectorsPerCluster = 1;
    m_geometry.dataStart = kDataStart;
    m_geometry.totalSectors = totalSectors;
    m_geometry.rootFirstCluster = 2;
    m_children = std::make_unique<CFATBuildChildren>(m_geometry, m_visited, m_folders);
  }

  static long long SectorOf(std::uint64_t cluster) { return static_cast<long long>(kDataStart + cluster - 2); }

  void PutBytes(std::uint64_t cluster, std::initializer_list<std::uint8_t> bytes) {
    auto& s = m_device.Sector(SectorOf(cluster));
    std::size_t i = 0;
    for (std::uint8_t b : bytes) s[i++] = b;
  }
  void PutJpeg(std::uint64_t cluster) { PutBytes(cluster, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'}); }
  void PutZip(std::uint64_t cluster) { PutBytes(cluster, {'P', 'K', 0x03, 0x04, 0x14, 0x00}); }
  void PutFolder(std::uint64_t cluster) {
    auto& s = m_device.Sector(SectorOf(cluster));
    std::memcpy(s.data(), ".          ", 11);
    s[11] = 0x10;
    std::memcpy(s.data() + 32, "..         ", 11);
    s[32 + 11] = 0x10;
  }

  struct Item {
    CTempFATDirEntry entry;
    PropsPtr props;
  };
  // An 8.3 entry; `name` is what the properties carry.
  static Item Make(const char* name, bool folder, std::uint32_t cluster, std::uint32_t size, bool deleted) {
    std::array<std::uint8_t, 32> raw{};
    std::memset(raw.data(), ' ', 11);
    const char* dot = std::strchr(name, '.');
    const std::size_t base = dot != nullptr ? static_cast<std::size_t>(dot - name) : std::strlen(name);
    std::memcpy(raw.data(), name, std::min<std::size_t>(base, 8));
    if (dot != nullptr) std::memcpy(raw.data() + 8, dot + 1, std::min<std::size_t>(std::strlen(dot + 1), 3));
    if (deleted) raw[0] = 0xE5;
    raw[11] = folder ? 0x10 : 0x20;
    raw[20] = static_cast<std::uint8_t>(cluster >> 16);
    raw[21] = static_cast<std::uint8_t>(cluster >> 24);
    raw[26] = static_cast<std::uint8_t>(cluster);
    raw[27] = static_cast<std::uint8_t>(cluster >> 8);
    for (int i = 0; i < 4; ++i) raw[28 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    Item item;
    item.entry.InitFromBuffer(ByteView(raw.data(), raw.size()), 0);
    item.props.reset(CFATFileProperties::Create());
    item.props->SetFileName(name);
    item.props->SetAttribute(folder ? 0x10 : 0x20);
    item.props->SetFileSize(size);
    item.props->SetState(deleted ? CFATFileProperties::kStateDeleted : 0);
    return item;
  }

  // Repairs one entry; the cluster the entry carries afterwards.
  std::uint32_t Run(Item& item, unsigned long long base, unsigned long long& running, bool madeUp = false) {
    m_children->ReverseDelFileFirstNum(item.entry, base, running, *item.props, madeUp);
    EXPECT_EQ(item.props->GetFirstCluster(), static_cast<long long>(item.entry.GetFirstClusterNO()));
    return item.entry.GetFirstClusterNO();
  }

  SparseDevice m_device{static_cast<long long>(kDataStart + kPartitionSectors + 16)};
  FatBuildGeometry m_geometry;
  FatVisitedClusters m_visited;
  FatFolderMap m_folders;
  std::unique_ptr<CFATBuildChildren> m_children;
};

// Where a deleted file's guessed cluster comes from, one file at a time.
struct FileCase {
  const char* what;
  unsigned long long base;
  unsigned long long running;
  bool madeUp;
  std::uint32_t stored;
  std::vector<std::uint64_t> jpegs;  // clusters that start a JPEG
  std::uint32_t expected;
  unsigned long long expectedRunning;
  unsigned long long expectedLastFind;
};

class RepairFile : public Repair, public ::testing::WithParamInterface<FileCase> {};

TEST_P(RepairFile, GuessesTheHighHalf) {
  const FileCase& c = GetParam();
  for (std::uint64_t j : c.jpegs) PutJpeg(j);
  Item item = Make("#HOTO.JPG", false, c.stored, 3 * 512 + 1, true);
  unsigned long long running = c.running;
  EXPECT_EQ(Run(item, c.base, running, c.madeUp), c.expected);
  EXPECT_EQ(running, c.expectedRunning);
  EXPECT_EQ(g_u64PreReadFileCluNum, c.expectedLastFind);
  EXPECT_EQ(m_children->CurrentExtension(), "JPG");
}

INSTANTIATE_TEST_SUITE_P(
    Neighbours, RepairFile,
    ::testing::Values(
        FileCase{"root: the first candidate above the stored cluster",
                 0,
                 0,
                 false,
                 0x0005,
                 {0x10005},
                 0x10005,
                 0x10009,
                 0x10009},
        FileCase{"root: the stored cluster itself starts a JPEG",
                 0,
                 0,
                 false,
                 0x0005,
                 {0x0005, 0x10005},
                 0x0005,
                 0x0009,
                 0x0009},
        FileCase{"root: nothing matches, the stored cluster stays", 0, 0, false, 0x0005, {}, 0x0005, 0x0009, 0},
        FileCase{"the running cluster's high half is tried first",
                 0,
                 0x20010,
                 false,
                 0x0005,
                 {0x10005, 0x20005},
                 0x20005,
                 0x20009,
                 0x20009},
        FileCase{"the running cluster's high half without a match: the stored cluster stays",
                 0,
                 0x20010,
                 false,
                 0x0005,
                 {},
                 0x0005,
                 0x0009,
                 0},
        FileCase{"a stored cluster that starts a JPEG is kept whatever the running cluster names",
                 0,
                 0x20010,
                 false,
                 0x0005,
                 {0x0005, 0x20005},
                 0x0005,
                 0x0009,
                 0x0009},
        FileCase{"a high parent without a match: the stored cluster stays",
                 0x10100,
                 0x10100,
                 false,
                 0x0005,
                 {},
                 0x0005,
                 0x10100,
                 0},
        FileCase{"a high parent: a match at its high half is taken",
                 0x10100,
                 0x10100,
                 false,
                 0x0005,
                 {0x10005},
                 0x10005,
                 0x10100,
                 0x10100},
        FileCase{"a made-up parent probes like the root",
                 0x10100,
                 0x10100,
                 true,
                 0x0005,
                 {0x20005},
                 0x20005,
                 0x20009,
                 0x20009},
        FileCase{"a low parent: a find above it is taken",
                 0x0100,
                 0x0100,
                 false,
                 0x0005,
                 {0x10005},
                 0x10005,
                 0x10009,
                 0x10009},
        FileCase{"a low parent and no find", 0x0100, 0x0100, false, 0x0005, {}, 0x0005, 0x0100, 0},
        FileCase{"candidates past the partition are never taken", 0, 0, false, 0x0005, {0x30005}, 0x0005, 0x0009, 0}),
    [](const ::testing::TestParamInfo<FileCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(Repair, EntriesThatAreNotDeletedFilesWithALowClusterKeepIt) {
  PutJpeg(0x10005);
  struct Case {
    const char* name;
    bool deleted;
    std::uint32_t stored;
  } cases[] = {{"LIVE.JPG", false, 0x0005}, {"#IGH.JPG", true, 0x20005}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Item item = Make(c.name, false, c.stored, 512, c.deleted);
    unsigned long long running = 0;
    EXPECT_EQ(Run(item, 0, running), c.stored);
    EXPECT_EQ(running, c.stored + 1ull);
  }
  // Only the deleted high file counts as a find.
  EXPECT_EQ(g_u64PreReadFileCluNum, 0x20006u);
}

TEST_F(Repair, AFat16BuildNeverChangesTheCluster) {
  MakeBuilder(kFatTypeFat16);
  PutJpeg(0x10005);
  Item item = Make("#HOTO.JPG", false, 0x0005, 512, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(item, 0, running), 0x0005u);
  EXPECT_EQ(m_device.Reads(), 0);
}

TEST_F(Repair, MakingAFat32BuilderForgetsTheLastFind) {
  g_u64PreReadFileCluNum = 0x400000;
  MakeBuilder(kFatTypeFat32);
  EXPECT_EQ(g_u64PreReadFileCluNum, 0u);
}

TEST_F(Repair, TwoDeletedFilesNeverClaimOneCluster) {
  PutJpeg(0x10005);
  PutJpeg(0x20005);
  Item first = Make("#IRST.JPG", false, 0x0005, 512, true);
  Item second = Make("#ECOND.JPG", false, 0x0005, 512, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(first, 0, running), 0x10005u);
  running = 0;
  EXPECT_EQ(Run(second, 0, running), 0x20005u);
}

TEST_F(Repair, ASecondClaimWithoutAFreeMatchKeepsItsGuessUnconfirmed) {
  PutJpeg(0x10005);
  Item first = Make("#IRST.JPG", false, 0x0005, 512, true);
  Item second = Make("#ECOND.JPG", false, 0x0005, 512, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(first, 0, running), 0x10005u);
  // Its only match belongs to the first: the stored cluster stays, also
  // when the running cluster would name the first's cluster.
  for (unsigned long long carried : {0ull, 0x10006ull}) {
    SCOPED_TRACE(carried);
    running = carried;
    EXPECT_EQ(Run(second, 0, running), 0x0005u);
    second = Make("#ECOND.JPG", false, 0x0005, 512, true);
  }
  // The same name may take it again.
  Item again = Make("#IRST.JPG", false, 0x0005, 512, true);
  running = 0x10006;
  EXPECT_EQ(Run(again, 0, running), 0x10005u);
}

struct FolderCase {
  const char* what;
  std::vector<std::uint64_t> folders;  // clusters that start a folder
  const char* firstName;
  const char* secondName;
  bool firstLive;
  std::uint32_t expectedFirst;
  std::uint32_t expectedSecond;
};

class RepairFolders : public Repair, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RepairFolders, ClaimOneClusterEach) {
  const FolderCase& c = GetParam();
  for (std::uint64_t f : c.folders) PutFolder(f);
  Item first = Make(c.firstName, true, c.firstLive ? 0x10005 : 0x0005, 0, !c.firstLive);
  Item second = Make(c.secondName, true, 0x0005, 0, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(first, 0, running), c.expectedFirst);
  EXPECT_EQ(Run(second, 0, running), c.expectedSecond);
}

INSTANTIATE_TEST_SUITE_P(
    ClaimMaps, RepairFolders,
    ::testing::Values(
        FolderCase{"different names move on by 0x10000", {0x10005, 0x20005}, "#NE", "#WO", false, 0x10005, 0x20005},
        FolderCase{
            "the same name keeps its unrepaired value", {0x10005, 0x20005}, "#NE", "#NE", false, 0x10005, 0x0005},
        FolderCase{"a live folder's cluster is claimed too", {0x10005, 0x20005}, "LIVE", "#WO", true, 0x10005, 0x20005},
        FolderCase{
            "a stored cluster that starts a folder is kept", {0x0005, 0x10005}, "#NE", "#WO", false, 0x0005, 0x10005},
        FolderCase{"no folder anywhere", {}, "#NE", "#WO", false, 0x0005, 0x0005}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(Repair, AFolderBeyondTheProbeIsSoughtAboveAFarLastFind) {
  m_device.SetTotal(static_cast<long long>(kDataStart + 0x400000 + 16));
  MakeBuilder(kFatTypeFat32, 0x400000);
  // 49 candidates from 0x0005 reach 0x300005; this folder lies above them.
  PutFolder(0x330005);
  struct Case {
    unsigned long long lastFind;
    std::uint32_t expected;
  } cases[] = {{0x330010, 0x330005}, {0x300000, 0x0005}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lastFind);
    g_u64PreReadFileCluNum = c.lastFind;
    Item item = Make("#AR", true, 0x0005, 0, true);
    unsigned long long running = 0;
    EXPECT_EQ(Run(item, 0, running), c.expected);
    EXPECT_EQ(g_u64PreReadFileCluNum, c.lastFind == 0x330010 ? 0x330005u : c.lastFind);
  }
}

TEST_F(Repair, SectorsAtTheDeviceEndAndSectorZeroAreNeverTested) {
  // The partition reaches the device's end: its last clusters lie in the
  // device's last 10 sectors.
  MakeBuilder(kFatTypeFat32, kPartitionSectors + 16);
  const std::uint64_t last = kPartitionSectors + 16 + 1;  // cluster of the device's last sector
  PutJpeg(last);
  PutFolder(last - 1);
  EXPECT_FALSE(m_children->bEffectiveDIRFDT(static_cast<unsigned>(last - 1)));
  EXPECT_TRUE(m_children->bReviseFAT32FileFirstClu(static_cast<long long>(last), false));
  PutJpeg(last - 20);
  EXPECT_FALSE(m_children->bReviseFAT32FileFirstClu(static_cast<long long>(last - 20), false));
  // Cluster 2 maps to sector 0 when the data area starts there.
  m_geometry.dataStart = 0;
  MakeBuilder(kFatTypeFat32, kPartitionSectors + 16);
  auto& zero = m_device.Sector(0);
  zero[0] = 0xFF;
  zero[1] = 0xD8;
  zero[2] = 0xFF;
  zero[3] = 0xE0;
  EXPECT_TRUE(m_children->bReviseFAT32FileFirstClu(2, false));
}

TEST_F(Repair, ProbesStayBoundedOnAnEmptyDevice) {
  Item item = Make("#ONE.BIN", false, 0x0005, 512, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(item, 0, running), 0x0005u);
  // At most 10 + 35 candidates, and only those inside the partition.
  EXPECT_LE(m_device.Reads(), 45);
  EXPECT_GE(m_device.Reads(), 1);
}

struct PeCase {
  const char* what;
  std::uint64_t offset;
  bool pe;
};

TEST(WindowsPe, OffsetAtSixtyIsCheckedInSixtyFourBits) {
  const PeCase cases[] = {
      {"inside", 0x80, true},          {"last place that fits", 512 - 3, true},
      {"one past", 512 - 2, false},    {"wraps in 32 bits", 0xFFFFFFFE, false},
      {"far away", 0x7FFFFFFF, false},
  };
  for (const PeCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> sector(513, 0);
    sector[0] = 'M';
    sector[1] = 'Z';
    for (int i = 0; i < 4; ++i) sector[60 + i] = static_cast<std::uint8_t>(c.offset >> (8 * i));
    if (c.offset + 2 <= sector.size()) {
      sector[c.offset] = 'P';
      sector[c.offset + 1] = 'E';
    }
    EXPECT_EQ(CFATBuildChildren::bWindowsPEFiles(sector.data(), sector.size()), c.pe);
  }
  std::vector<std::uint8_t> notMz(513, 0);
  notMz[0x80] = 'P';
  notMz[0x81] = 'E';
  notMz[60] = 0x80;
  EXPECT_FALSE(CFATBuildChildren::bWindowsPEFiles(notMz.data(), notMz.size()));
}

TEST_F(Repair, AWindowsImageIsAcceptedInTheQuickBuild) {
  auto& s = m_device.Sector(SectorOf(0x10005));
  s[0] = 'M';
  s[1] = 'Z';
  s[60] = 0x80;
  s[0x80] = 'P';
  s[0x81] = 'E';
  Item item = Make("#ETUP.EXE", false, 0x0005, 512, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(item, 0, running), 0x10005u);
}

struct MapCase {
  const char* what;
  const char* name;
  bool haveMap;
  RAW_FILE_TYPE type;
  bool entered;
  std::uint32_t expected;
};

class RepairFromFileSectorMap : public Repair, public ::testing::WithParamInterface<MapCase> {};

TEST_P(RepairFromFileSectorMap, AcceptsOnlyACarvedFindOfTheSameExtension) {
  const MapCase& c = GetParam();
  // The sectors hold nothing: only the map counts.
  FileSectorMap map;
  if (c.entered) map[SectorOf(0x10005)] = static_cast<unsigned>(c.type);
  m_children->SetQuickScan(true);
  m_children->SetFileSectorMap(c.haveMap ? &map : nullptr);
  Item item = Make(c.name, false, 0x0005, 512, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(item, 0, running), c.expected);
  EXPECT_EQ(m_device.Reads(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    CompleteBuild, RepairFromFileSectorMap,
    ::testing::Values(MapCase{"same extension", "#HOTO.JPG", true, kRawTypeJpg, true, 0x10005},
                      MapCase{"same extension in lower case", "#hoto.jpg", true, kRawTypeJpg, true, 0x10005},
                      MapCase{"another extension", "#HOTO.JPG", true, kRawTypePng, true, 0x0005},
                      MapCase{"no find there", "#HOTO.JPG", true, kRawTypeJpg, false, 0x0005},
                      MapCase{"no map", "#HOTO.JPG", false, kRawTypeJpg, true, 0x0005},
                      MapCase{"a name without extension", "#HOTO", true, kRawTypeJpg, true, 0x0005}),
    [](const ::testing::TestParamInfo<MapCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(Repair, ANameWithoutDotKeepsThePreviousExtension) {
  FileSectorMap map;
  map[SectorOf(0x10005)] = kRawTypeJpg;
  map[SectorOf(0x10105)] = kRawTypeJpg;
  m_children->SetQuickScan(true);
  m_children->SetFileSectorMap(&map);
  Item first = Make("#HOTO.JPG", false, 0x0005, 512, true);
  Item second = Make("#HOTO2", false, 0x0105, 512, true);
  unsigned long long running = 0;
  EXPECT_EQ(Run(first, 0, running), 0x10005u);
  running = 0;
  EXPECT_EQ(Run(second, 0, running), 0x10105u);
  EXPECT_EQ(m_children->CurrentExtension(), "JPG");
}

// ---- A FAT32 volume made by mkfs.vfat and mtools ----

using namespace fattest;

constexpr std::uint32_t kUnknown = 0x10100;
constexpr std::uint32_t kPhoto = 0x10200;
constexpr std::uint32_t kClaim1 = 0x10400;
constexpr std::uint32_t kClaim2 = 0x20400;
constexpr std::uint32_t kArchive = 0x20500;
constexpr std::uint32_t kFolder = 0x10600;
constexpr std::uint32_t kInside = 0x10700;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed, std::initializer_list<std::uint8_t> head) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = seed;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  std::size_t i = 0;
  for (std::uint8_t h : head) bytes[i++] = h;
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class RepairOnVolume : public ::testing::Test {
 protected:
  struct Source {
    const char* name;   // 8.3 name on the volume
    const char* where;  // folder on the volume
    std::uint32_t cluster;
    std::vector<std::uint8_t> bytes;
  };

  static void SetUpTestSuite() {
    s_why = testsupport::MissingTool({"mkfs.vfat", "mcopy", "mdel", "mdeltree", "mmd", "truncate", "fls", "icat"});
    if (!s_why.empty()) return;
    s_dir = std::make_unique<testsupport::TempDir>();
    s_sources = std::make_unique<std::vector<Source>>(std::vector<Source>{
        {"UNKNOWN.BIN", "", kUnknown, Pattern(3000, 1, {'Q', 'Q', 'Q', 'Q'})},
        {"PHOTO.JPG", "", kPhoto, Pattern(5000, 2, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'})},
        {"CLAIM1.JPG", "", kClaim1, Pattern(4000, 3, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'})},
        {"CLAIM2.JPG", "", kClaim2, Pattern(4500, 4, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'})},
        {"ARCHIVE.ZIP", "", kArchive, Pattern(6000, 5, {'P', 'K', 0x03, 0x04, 0x14, 0x00})},
        {"INSIDE.PNG", "HIDIR", kInside, Pattern(7000, 6, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})},
    });
    s_image = s_dir->File("hi32.img");
    std::string script = "set -e; export MTOOLS_SKIP_CHECK=1; I='" + s_image + "'; truncate -s 80M \"$I\"; " +
                         "mkfs.vfat -F 32 -s 1 -S 512 \"$I\" >/dev/null; ";
    // The FSInfo next-free hint makes mtools allocate right after it.
    auto hint = [&](std::uint32_t cluster) {
      char buf[160];
      std::snprintf(buf, sizeof buf,
                    "printf '\\x%02x\\x%02x\\x%02x\\x%02x' | dd of=\"$I\" bs=1 seek=%d conv=notrunc status=none; ",
                    (cluster - 1) & 0xFF, ((cluster - 1) >> 8) & 0xFF, ((cluster - 1) >> 16) & 0xFF,
                    ((cluster - 1) >> 24) & 0xFF, 512 + 0x1EC);
      return std::string(buf);
    };
    for (const Source& s : *s_sources) {
      const std::string src = s_dir->File(s.name);
      WriteFile(src, s.bytes);
      if (std::string(s.where) == "HIDIR") {
        script += hint(kFolder) + "mmd -i \"$I\" ::/HIDIR; ";
      }
      script += hint(s.cluster) + "mcopy -i \"$I\" '" + src + "' ::/" + (s.where[0] ? std::string(s.where) + "/" : "") +
                s.name + "; ";
    }
    script +=
        "mdel -i \"$I\" ::/UNKNOWN.BIN ::/PHOTO.JPG ::/CLAIM1.JPG ::/CLAIM2.JPG ::/ARCHIVE.ZIP; "
        "mdeltree -i \"$I\" ::/HIDIR";
    if (testsupport::Run("bash -c '" + Escape(script) + "' >/dev/null 2>&1") != 0) {
      s_why = testsupport::Broken("image script failed");
      return;
    }
    // Deleted the Windows way: the high cluster words go.
    std::vector<std::uint8_t> image = ReadFileBytes(s_image);
    const char* names[] = {"NKNOWN BIN", "HOTO   JPG", "LAIM1  JPG", "LAIM2  JPG",
                           "RCHIVE ZIP", "IDIR      ", "NSIDE  PNG"};
    for (const char* n : names) {
      std::vector<std::uint8_t> key(n, n + std::strlen(n));
      key.insert(key.begin(), 0xE5);
      key.resize(11, ' ');
      const auto at = std::search(image.begin(), image.end(), key.begin(), key.end());
      if (at == image.end()) {
        s_why = testsupport::Broken(std::string("entry not found: ") + n);
        return;
      }
      const std::size_t off = static_cast<std::size_t>(at - image.begin());
      if (image[off + 20] == 0 && image[off + 21] == 0) {
        s_why = testsupport::Broken(std::string("entry not placed high: ") + n);
        return;
      }
      image[off + 20] = 0;
      image[off + 21] = 0;
    }
    WriteFile(s_image, image);
  }

  static std::string Escape(const std::string& s) {
    std::string out;
    for (char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out;
  }

  void SetUp() override {
    if (!s_why.empty()) QUARNEL_SKIP_LACK(s_why);
    ASSERT_FALSE(s_image.empty());
  }

  static std::uint32_t FirstCluster(IFileNode* node) {
    auto* fat = dynamic_cast<CFATFileNode*>(node);
    if (fat == nullptr || fat->GetFileProperties() == nullptr) return 0;
    return static_cast<std::uint32_t>(fat->GetFileProperties()->GetFirstCluster());
  }

  // Our node for a deleted 8.3 name (lost first character shown as '#').
  static IFileNode* Find(const Scan& scan, const std::string& folder, const std::string& name) {
    const std::string hashed = "#" + name.substr(1);
    for (const auto& [path, node] : scan.nodes) {
      const std::string tail = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
      const std::string dir = path.rfind('/') == std::string::npos ? "" : path.substr(0, path.rfind('/'));
      const bool dirMatches = folder.empty() ? dir.empty() : (dir == folder || dir == "#" + folder.substr(1));
      if (dirMatches && (tail == hashed || tail == name)) return node;
    }
    return nullptr;
  }

  static std::unique_ptr<testsupport::TempDir> s_dir;
  static std::unique_ptr<std::vector<Source>> s_sources;
  static std::string s_image;
  static testsupport::Lack s_why;
};

std::unique_ptr<testsupport::TempDir> RepairOnVolume::s_dir;
std::unique_ptr<std::vector<RepairOnVolume::Source>> RepairOnVolume::s_sources;
std::string RepairOnVolume::s_image;
testsupport::Lack RepairOnVolume::s_why;

TEST_F(RepairOnVolume, QuickScanRecoversTheFilesFromTheirRepairedClusters) {
  DevicePtr volume = OpenVolume(s_image, kFatTypeFat32);
  ASSERT_TRUE(volume);
  auto scan = RunScan(volume.get(), kControllerQuick);
  ASSERT_EQ(scan->result, 0u);

  IFileNode* folder = Find(*scan, "", "HIDIR");
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(FirstCluster(folder), kFolder);

  for (const Source& s : *s_sources) {
    SCOPED_TRACE(s.name);
    IFileNode* node = Find(*scan, s.where, s.name);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->IsDeleted(), 1);
    if (s.cluster == kUnknown) {
      // No signature confirms a guess: the stored low cluster stays.
      EXPECT_EQ(FirstCluster(node), kUnknown & 0xFFFF);
      continue;
    }
    EXPECT_EQ(FirstCluster(node), s.cluster);
    const std::string out = s_dir->File(std::string("out_") + s.name);
    ASSERT_EQ(Recover(*scan->controller, node, out), 0u);
    EXPECT_EQ(ReadFileBytes(out), s.bytes);
  }
}

TEST_F(RepairOnVolume, TwoScansInOneProcessRepairAlike) {
  std::map<std::string, std::uint32_t> first;
  for (int round = 0; round < 2; ++round) {
    DevicePtr volume = OpenVolume(s_image, kFatTypeFat32);
    ASSERT_TRUE(volume);
    auto scan = RunScan(volume.get(), kControllerQuick);
    ASSERT_EQ(scan->result, 0u);
    std::map<std::string, std::uint32_t> clusters;
    for (const auto& [path, node] : scan->nodes) clusters[path] = FirstCluster(node);
    if (round == 0) {
      first = clusters;
      ASSERT_FALSE(first.empty());
    } else {
      EXPECT_EQ(clusters, first);
    }
  }
}

void CollectFatClusters(IFileNode* node, std::multimap<std::string, std::uint32_t>& out, int depth) {
  if (depth > 64) return;
  for (IFileNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextNode()) {
    auto* fat = dynamic_cast<CFATFileNode*>(child);
    if (fat != nullptr && fat->GetFileProperties() != nullptr && child->GetFileName() != nullptr) {
      out.emplace(child->GetFileName(), static_cast<std::uint32_t>(fat->GetFileProperties()->GetFirstCluster()));
    }
    CollectFatClusters(child, out, depth + 1);
  }
}

TEST_F(RepairOnVolume, CompleteScanConfirmsGuessesByTheCarvedFinds) {
  DevicePtr disk = OpenDisk(s_image);
  ASSERT_TRUE(disk);
  // The carving searcher fills the file-sector map during the same sweep.
  engine_registry::Clear();
  RegisterFatEngine();
  RegisterCarvingEngine();
  testsupport::ScanRun scan;
  testsupport::ScanDevice(scan, disk.get(), kControllerComplete);
  EXPECT_TRUE(result::Succeeded(scan.result));
  // Every FAT node's first cluster by name, whatever folder it hangs in.
  std::multimap<std::string, std::uint32_t> byName;
  for (IFilesystemNode* root : scan.tree.m_roots) {
    if (root->GetSearcheType() == kSearcherFat) CollectFatClusters(root, byName, 0);
  }
  engine_registry::Clear();
  struct Case {
    const char* name;
    std::uint32_t expected;
  } cases[] = {{"#HOTO.JPG", kPhoto},     {"#LAIM1.JPG", kClaim1}, {"#LAIM2.JPG", kClaim2},
               {"#RCHIVE.ZIP", kArchive}, {"#NSIDE.PNG", kInside}, {"#NKNOWN.BIN", kUnknown & 0xFFFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [first, last] = byName.equal_range(c.name);
    ASSERT_NE(first, last);
    for (auto it = first; it != last; ++it) EXPECT_EQ(it->second, c.expected);
  }
}

TEST_F(RepairOnVolume, TheSleuthKitReadsTheClearedEntryFromItsLowCluster) {
  // fls lists the photo, but icat reads it from the low cluster it is
  // left with, so its bytes differ from the file's.
  const std::string listing = testsupport::Capture("fls -d -p '" + s_image + "' 2>/dev/null");
  const auto at = listing.find("HOTO.JPG");
  ASSERT_NE(at, std::string::npos) << listing;
  const auto lineStart = listing.rfind('\n', at) == std::string::npos ? 0 : listing.rfind('\n', at) + 1;
  const std::string line = listing.substr(lineStart, at - lineStart);
  const auto star = line.find("* ");
  ASSERT_NE(star, std::string::npos) << line;
  const std::string inode = line.substr(star + 2, line.find(':', star) - star - 2);
  const std::string tsk = testsupport::Capture("icat -r '" + s_image + "' " + inode + " 2>/dev/null");
  const Source& photo = (*s_sources)[1];
  ASSERT_EQ(std::string(photo.name), "PHOTO.JPG");
  EXPECT_EQ(tsk.size(), photo.bytes.size());
  EXPECT_NE(std::vector<std::uint8_t>(tsk.begin(), tsk.end()), photo.bytes);

  DevicePtr volume = OpenVolume(s_image, kFatTypeFat32);
  ASSERT_TRUE(volume);
  auto scan = RunScan(volume.get(), kControllerQuick);
  IFileNode* node = Find(*scan, "", photo.name);
  ASSERT_NE(node, nullptr);
  const std::string out = s_dir->File("out_tsk_photo.jpg");
  ASSERT_EQ(Recover(*scan->controller, node, out), 0u);
  EXPECT_EQ(ReadFileBytes(out), photo.bytes);
}

// ---- Entries that keep their whole first cluster (mtools deletes so) ----

// Plain text: no carving signature vouches for or against any cluster.
std::vector<std::uint8_t> Text(std::size_t size, int seed) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) {
    text += "Minutes of meeting " + std::to_string(seed) + ", item " + std::to_string(line) + ": agreed.\n";
  }
  text.resize(size);
  return {text.begin(), text.end()};
}

// Shell commands that make mtools put the next file at `cluster`: the FSInfo
// next-free hint of a volume with 512-byte sectors.
std::string NextFreeAt(std::uint32_t cluster) {
  char buf[160];
  std::snprintf(buf, sizeof buf,
                "printf '\\x%02x\\x%02x\\x%02x\\x%02x' | dd of=\"$I\" bs=1 seek=%d conv=notrunc status=none; ",
                (cluster - 1) & 0xFF, ((cluster - 1) >> 8) & 0xFF, ((cluster - 1) >> 16) & 0xFF,
                ((cluster - 1) >> 24) & 0xFF, 512 + 0x1EC);
  return buf;
}

class RepairKeepsWholeClusters : public ::testing::Test {
 protected:
  struct Source {
    const char* name;   // 8.3 name on the volume
    const char* where;  // folder on the volume
    std::uint32_t cluster;
    std::vector<std::uint8_t> bytes;
    bool clearHigh;  // its entry loses the high half after mdel
  };

  static void SetUpTestSuite() {
    s_why = testsupport::MissingTool({"mkfs.vfat", "mcopy", "mdel", "mmd", "truncate", "fls", "icat"});
    if (!s_why.empty()) return;
    s_dir = std::make_unique<testsupport::TempDir>();
    auto photo = [](std::size_t size, std::uint32_t seed) {
      return Pattern(size, seed, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'});
    };
    // In folder order: each low file follows a high one, so the running
    // cluster's high half points above it; the low photo's cluster with that
    // high half added starts another photo; LOW3 sits in a high folder.
    s_sources = std::make_unique<std::vector<Source>>(std::vector<Source>{
        {"HIGH1.TXT", "", 0x20100, Text(3000, 1), false},
        {"LOW1.TXT", "", 0x0100, Text(2500, 2), false},
        {"HIGHPIC.JPG", "", 0x20300, photo(4000, 3), false},
        {"LOWPIC.JPG", "", 0x0300, photo(4500, 4), false},
        {"CLEARED.JPG", "", 0x10500, photo(3500, 5), true},
        {"LOW3.TXT", "HIGHDIR", 0x0800, Text(1800, 6), false},
    });
    s_image = s_dir->File("kept32.img");
    std::string script = "set -e; export MTOOLS_SKIP_CHECK=1; I='" + s_image + "'; truncate -s 80M \"$I\"; " +
                         "mkfs.vfat -F 32 -s 1 -S 512 \"$I\" >/dev/null; " + NextFreeAt(0x20700) +
                         "mmd -i \"$I\" ::/HIGHDIR; ";
    std::string deletions;
    for (const Source& s : *s_sources) {
      const std::string src = s_dir->File(s.name);
      WriteFile(src, s.bytes);
      const std::string target = std::string("::/") + (s.where[0] ? std::string(s.where) + "/" : "") + s.name;
      script += NextFreeAt(s.cluster) + "mcopy -i \"$I\" '" + src + "' " + target + "; ";
      deletions += " " + target;
    }
    script += "mdel -i \"$I\"" + deletions;
    std::string quoted;
    for (char ch : script) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    if (testsupport::Run("bash -c '" + quoted + "' >/dev/null 2>&1") != 0) {
      s_why = testsupport::Broken("image script failed");
      return;
    }
    std::vector<std::uint8_t> image = ReadFileBytes(s_image);
    for (const Source& s : *s_sources) {
      // "LOW1.TXT" -> 0xE5 "OW1     TXT"
      const std::string name(s.name);
      const auto dot = name.find('.');
      std::string key = name.substr(1, dot - 1);
      key.resize(7, ' ');
      key += name.substr(dot + 1);
      std::vector<std::uint8_t> raw(key.begin(), key.end());
      raw.insert(raw.begin(), 0xE5);
      const auto at = std::search(image.begin(), image.end(), raw.begin(), raw.end());
      if (at == image.end()) {
        s_why = testsupport::Broken("entry not found: " + name);
        return;
      }
      const std::size_t off = static_cast<std::size_t>(at - image.begin());
      const std::uint32_t stored =
          image[off + 26] | image[off + 27] << 8 | image[off + 20] << 16 | image[off + 21] << 24;
      if (stored != s.cluster) {
        s_why = testsupport::Broken("entry not placed as planned: " + name);
        return;
      }
      if (s.clearHigh) image[off + 20] = image[off + 21] = 0;
    }
    WriteFile(s_image, image);
  }

  void SetUp() override {
    if (!s_why.empty()) QUARNEL_SKIP_LACK(s_why);
    ASSERT_FALSE(s_image.empty());
  }

  // icat's bytes of a deleted path as fls lists it ("HIGHDIR/LOW3.TXT").
  static std::vector<std::uint8_t> Icat(const std::string& path) {
    std::istringstream lines(testsupport::Capture("fls -r -d -p '" + s_image + "' 2>/dev/null"));
    for (std::string line; std::getline(lines, line);) {
      const auto tab = line.find('\t');
      const auto star = line.find("* ");
      if (tab == std::string::npos || star == std::string::npos || line.substr(tab + 1) != path) continue;
      const std::string inode = line.substr(star + 2, line.find(':', star) - star - 2);
      const std::string bytes = testsupport::Capture("icat -r '" + s_image + "' " + inode + " 2>/dev/null");
      return {bytes.begin(), bytes.end()};
    }
    return {};
  }

  static std::unique_ptr<testsupport::TempDir> s_dir;
  static std::unique_ptr<std::vector<Source>> s_sources;
  static std::string s_image;
  static testsupport::Lack s_why;
};

std::unique_ptr<testsupport::TempDir> RepairKeepsWholeClusters::s_dir;
std::unique_ptr<std::vector<RepairKeepsWholeClusters::Source>> RepairKeepsWholeClusters::s_sources;
std::string RepairKeepsWholeClusters::s_image;
testsupport::Lack RepairKeepsWholeClusters::s_why;

TEST_F(RepairKeepsWholeClusters, QuickScanRecoversWhatIcatReads) {
  DevicePtr volume = OpenVolume(s_image, kFatTypeFat32);
  ASSERT_TRUE(volume);
  auto scan = RunScan(volume.get(), kControllerQuick);
  ASSERT_EQ(scan->result, 0u);
  for (const Source& s : *s_sources) {
    SCOPED_TRACE(s.name);
    const std::string folder = s.where[0] != '\0' ? std::string(s.where) + "/" : "";
    IFileNode* node = nullptr;
    for (const auto& [path, n] : scan->nodes) {
      if (path == folder + "#" + (s.name + 1) || path == folder + s.name) node = n;
    }
    ASSERT_NE(node, nullptr);
    const auto* fat = dynamic_cast<CFATFileNode*>(node);
    ASSERT_NE(fat, nullptr);
    EXPECT_EQ(fat->GetFileProperties()->GetFirstCluster(), static_cast<long long>(s.cluster));
    const std::string out = s_dir->File(std::string("out_") + s.name);
    ASSERT_EQ(Recover(*scan->controller, node, out), 0u);
    EXPECT_EQ(ReadFileBytes(out), s.bytes);
    // The Sleuth Kit reads the entries that kept their high half alike.
    if (!s.clearHigh) {
      EXPECT_EQ(Icat(folder + "_" + (s.name + 1)), s.bytes);
    }
  }
}

TEST_F(RepairKeepsWholeClusters, CompleteScanKeepsThemAndRepairsTheClearedOne) {
  DevicePtr disk = OpenDisk(s_image);
  ASSERT_TRUE(disk);
  engine_registry::Clear();
  RegisterFatEngine();
  RegisterCarvingEngine();
  testsupport::ScanRun scan;
  testsupport::ScanDevice(scan, disk.get(), kControllerComplete);
  EXPECT_TRUE(result::Succeeded(scan.result));
  std::multimap<std::string, std::uint32_t> byName;
  for (IFilesystemNode* root : scan.tree.m_roots) {
    if (root->GetSearcheType() == kSearcherFat) CollectFatClusters(root, byName, 0);
  }
  engine_registry::Clear();
  for (const Source& s : *s_sources) {
    SCOPED_TRACE(s.name);
    const auto [first, last] = byName.equal_range(std::string("#") + (s.name + 1));
    ASSERT_NE(first, last);
    for (auto it = first; it != last; ++it) EXPECT_EQ(it->second, s.cluster);
  }
}

}  // namespace
