// Files that ntfs-3g stores compressed, read back through their runs and
// compared with what ntfscat prints.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/compress/CompressFileReader.h"
#include "core/model/SearchedPartitionInfo.h"
#include "core/recovery/RecoveryTestNode.h"
#include "core/recovery/RecoveryWriter.h"
#include "support/Absent.h"
#include "support/Files.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
int Sh(const std::string& command) { return testsupport::Run(command); }

// Offset of the first differing byte, or -1 when equal.
long long FirstDifference(const Bytes& a, const Bytes& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<long long>(i);
  }
  return a.size() == b.size() ? -1 : static_cast<long long>(n);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Unmount {
  std::string mountPoint;
  bool mounted = false;
  ~Unmount() {
    if (mounted) Sh("umount '" + mountPoint + "' >/dev/null 2>&1");
  }
};

// The $DATA attribute's size and runs as ntfsinfo -v prints them.
struct DataAttribute {
  long long size = -1;
  std::vector<DataRun> runs;
};

DataAttribute ParseDataAttribute(const std::string& text) {
  DataAttribute a;
  const std::size_t at = text.find("Dumping attribute $DATA (0x80)");
  if (at == std::string::npos) return a;
  std::istringstream in(text.substr(at));
  const std::regex sizeLine(R"(^\s*Data size:\s*(\d+))");
  const std::regex runLine(R"(^\s+0x[0-9a-fA-F]+\s+(0x[0-9a-fA-F]+|<HOLE>)\s+(0x[0-9a-fA-F]+)\s*$)");
  std::string line;
  bool inRuns = false;
  while (std::getline(in, line)) {
    std::smatch m;
    if (!inRuns && a.size < 0 && std::regex_search(line, m, sizeLine)) a.size = std::stoll(m[1]);
    if (line.find("Runlist:") != std::string::npos) {
      inRuns = true;
      continue;
    }
    if (!inRuns) continue;
    if (!std::regex_match(line, m, runLine)) break;
    const long long length = std::stoll(m[2], nullptr, 16);
    const long long start = m[1] == "<HOLE>" ? -1 : std::stoll(m[1], nullptr, 16);
    a.runs.push_back({start, length});
  }
  return a;
}

class NtfsCompressedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::Lack lack = testsupport::MissingFuse();
    if (lack.empty())
      lack = testsupport::MissingTool({"mkntfs", "ntfs-3g", "ntfsinfo", "ntfscat", "setfattr", "umount"});
    if (!lack.empty()) QUARNEL_SKIP_LACK(lack);
  }
};

TEST_F(NtfsCompressedFiles, DecompressByteExactAgainstNtfscat) {
  testsupport::TempDir tmp;
  const std::string img = tmp.File("nt.img");
  const std::string mnt = tmp.File("mnt");
  ASSERT_EQ(Sh("truncate -s 64M '" + img + "' && mkntfs -F -q -f '" + img + "' >/dev/null 2>&1"), 0);
  std::filesystem::create_directory(mnt);
  Unmount guard{mnt};
  if (Sh("ntfs-3g -o compression '" + img + "' '" + mnt + "' >/dev/null 2>&1") != 0) {
    QUARNEL_SKIP_LACK(testsupport::MissingCapability("ntfs-3g could not mount the image (FUSE unavailable)"));
  }
  guard.mounted = true;
  const std::string comp = mnt + "/comp";
  std::filesystem::create_directory(comp);
  ASSERT_EQ(Sh("setfattr -h -v 0x00000800 -n system.ntfs_attrib_be '" + comp + "'"), 0);

  std::mt19937 rng(1234);
  // Compressible text.
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) text += "line " + std::to_string(i) + " of a compressible text file\n";
  WriteFile(comp + "/text.txt", Bytes(text.begin(), text.end()));
  // Incompressible: stored units, and a partial last unit.
  Bytes noise(150000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  WriteFile(comp + "/noise.bin", noise);
  // Data, a hole of whole units, data, and a hole to the end.
  {
    Bytes head(10000), tail(10000);
    for (auto& b : head) b = static_cast<std::uint8_t>(rng() % 4);
    for (auto& b : tail) b = static_cast<std::uint8_t>(rng());
    std::ofstream out(comp + "/holes.bin", std::ios::binary);
    out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    out.seekp(250000);
    out.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
  }
  std::filesystem::resize_file(comp + "/holes.bin", 400000);
  // Alternating noise and zeros: stored and compressed units in one file.
  Bytes mixed(8 * 65536, 0);
  for (std::size_t u = 0; u < 8; u += 2) {
    for (std::size_t i = 0; i < 65536; ++i) mixed[u * 65536 + i] = static_cast<std::uint8_t>(rng());
  }
  WriteFile(comp + "/mixed.bin", mixed);

  ASSERT_EQ(Sh("umount '" + mnt + "'"), 0);
  guard.mounted = false;

  const std::string clusterLine = [&] {
    Sh("ntfsinfo -m '" + img + "' > '" + tmp.File("volume.txt") + "' 2>/dev/null");
    return testsupport::ReadFileText(tmp.File("volume.txt"));
  }();
  std::smatch m;
  ASSERT_TRUE(std::regex_search(clusterLine, m, std::regex(R"(Cluster Size:\s*(\d+))")));
  const int clusterSize = std::stoi(m[1]);

  testsupport::MemoryDevice device = testsupport::MemoryDevice::FromFile(img);
  ASSERT_GT(device.GetTotalSectors(), 0);
  CSearchedPartitionInfo partition(512);
  partition.m_iFileSystem = 3;
  partition.m_iSectorsPerCluster = clusterSize / 512;
  partition.m_u16PartitionIndex = 0;
  partition.SetTotalSectors(device.GetTotalSectors());

  CDataRecovery recovery;
  ASSERT_EQ(recovery.Initialize(std::vector<CSearchedPartitionInfo*>{&partition}, &device), 0u);
  std::set<int> kinds;
  for (const std::string name : {"text.txt", "noise.bin", "holes.bin", "mixed.bin"}) {
    SCOPED_TRACE(name);
    const std::string info = tmp.File(name + ".info");
    const std::string expectedPath = tmp.File(name + ".expected");
    ASSERT_EQ(Sh("ntfsinfo -v -F '/comp/" + name + "' '" + img + "' > '" + info + "' 2>/dev/null"), 0);
    ASSERT_EQ(Sh("ntfscat -f '" + img + "' '/comp/" + name + "' > '" + expectedPath + "' 2>/dev/null"), 0);
    const DataAttribute attr = ParseDataAttribute(testsupport::ReadFileText(info));
    const Bytes expected = testsupport::ReadFileBytes(expectedPath);
    ASSERT_EQ(attr.size, static_cast<long long>(expected.size()));
    ASSERT_FALSE(attr.runs.empty());

    RecoveryTestNode node(name, attr.size);
    IDataRunList* list = CreateDataRunList();
    for (const DataRun& r : attr.runs) list->AddDataRun(&r);
    node.SetDataRunList(list);
    node.SetCompressed(1);

    IFileReader* preview = recovery.SetRecoverNode(&node);
    ASSERT_NE(preview, nullptr);
    std::unique_ptr<IFileReader, void (*)(IFileReader*)> previewGuard(preview, [](IFileReader* r) { r->Release(); });
    auto* compressed = dynamic_cast<CCompressFileReader*>(preview);
    ASSERT_NE(compressed, nullptr);
    for (const tagCompressDataRun& p : compressed->Pieces()) kinds.insert(p.eType);

    const std::string out = tmp.File("out/" + name);
    ASSERT_EQ(recovery.RecoverTo(out.c_str(), nullptr, 0), 0u);
    EXPECT_EQ(FirstDifference(testsupport::ReadFileBytes(out), expected), -1);
    EXPECT_EQ(recovery.LastUnreadableSectors(), 0);

    // Reads that straddle unit boundaries.
    Bytes pieces(expected.size());
    for (long long pos = 0; pos < attr.size;) {
      const int n = compressed->ReadData(pos, reinterpret_cast<char*>(pieces.data()) + pos, 30001);
      ASSERT_GT(n, 0);
      pos += n;
    }
    EXPECT_EQ(FirstDifference(pieces, expected), -1);
  }
  EXPECT_EQ(kinds, (std::set<int>{NONECOMPRESSED_UNIT, COMPRESSED_UNIT, SPARSE_UNIT}));
}

}  // namespace
