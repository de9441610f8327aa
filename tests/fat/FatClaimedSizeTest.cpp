// A directory entry whose size field claims more than its clusters can hold
// on the partition (a damaged or hostile entry): the file is listed with what
// its runs hold, marked damaged, and recovery writes no more than that.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "FatScanHarness.h"
#include "core/model/FileNode.h"
#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

constexpr long long kVolumeBytes = 16LL * 1024 * 1024;
constexpr std::uint32_t kClaimed = 0xFFFFFFF0u;

// Sets the size field of the entry whose 8.3 name (from its second byte,
// so that a deleted entry is found too) is `nameTail`.
bool PatchSize(const std::string& image, const char* nameTail, std::uint32_t size) {
  std::vector<std::uint8_t> bytes = fattest::ReadFileBytes(image);
  const std::size_t tail = std::strlen(nameTail);
  for (std::size_t at = 0; at + 32 <= bytes.size(); at += 32) {
    if (std::memcmp(bytes.data() + at + 1, nameTail, tail) != 0) continue;
    for (int i = 0; i < 4; ++i) bytes[at + 28 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    std::ofstream(image, std::ios::binary | std::ios::in | std::ios::out)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return true;
  }
  return false;
}

IFileNode* FindByNameTail(const std::multimap<std::string, IFileNode*>& nodes, const std::string& tail) {
  for (const auto& [path, node] : nodes) {
    if (path.size() >= tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0) return node;
  }
  return nullptr;
}

struct ClaimCase {
  const char* name;
  _RECOVERY_CONTROLLER_TYPE kind;
  std::vector<const char*> files;  // what the scan lists (a quick scan: deleted files)
};

class FatClaimedSize : public ::testing::TestWithParam<ClaimCase> {};

TEST_P(FatClaimedSize, IsCutToWhatTheClustersHoldAndMarkedDamaged) {
  const testsupport::Lack missing = testsupport::MissingTool({"mkfs.vfat", "mcopy", "mdel"});
  if (!missing.empty()) QUARNEL_SKIP_LACK(missing);
  testsupport::TempDir dir;
  const std::string image = dir.File("fat16.img");
  const std::string payload = dir.File("payload.bin");
  std::vector<std::uint8_t> content(5000);
  std::mt19937 rng(22);
  for (auto& b : content) b = static_cast<std::uint8_t>(rng());
  std::ofstream(payload, std::ios::binary).write(reinterpret_cast<const char*>(content.data()), 5000);
  ASSERT_EQ(testsupport::Run("mkfs.vfat -F 16 -C '" + image + "' 16384 >/dev/null 2>&1"), 0);
  ASSERT_EQ(testsupport::Run("MTOOLS_SKIP_CHECK=1 mcopy -i '" + image + "' '" + payload + "' ::/LIVE.BIN"), 0);
  ASSERT_EQ(testsupport::Run("MTOOLS_SKIP_CHECK=1 mcopy -i '" + image + "' '" + payload + "' ::/GONE.BIN"), 0);
  ASSERT_EQ(testsupport::Run("MTOOLS_SKIP_CHECK=1 mdel -i '" + image + "' ::/GONE.BIN"), 0);
  ASSERT_TRUE(PatchSize(image, "IVE    BIN", kClaimed));
  ASSERT_TRUE(PatchSize(image, "ONE    BIN", kClaimed));

  fattest::DevicePtr volume = fattest::OpenVolume(image, kFsFat16);
  ASSERT_NE(volume, nullptr);
  auto scan = fattest::RunScan(volume.get(), GetParam().kind);
  ASSERT_NE(scan, nullptr);
  for (const char* name : GetParam().files) {
    SCOPED_TRACE(name);
    IFileNode* node = FindByNameTail(scan->nodes, name);
    ASSERT_NE(node, nullptr);
    EXPECT_GT(node->GetFileSize(), 5000);
    EXPECT_LT(node->GetFileSize(), kVolumeBytes);
    auto* file = dynamic_cast<CFileNode*>(node);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->IsDamaged());

    const std::string out = dir.File(std::string("out-") + name);
    (void)fattest::Recover(*scan->controller, node, out);
    const std::vector<std::uint8_t> written = fattest::ReadFileBytes(out);
    EXPECT_LE(static_cast<long long>(written.size()), node->GetFileSize());
    ASSERT_GE(written.size(), content.size());
    EXPECT_TRUE(std::equal(content.begin(), content.end(), written.begin()));
  }
}

INSTANTIATE_TEST_SUITE_P(Scans, FatClaimedSize,
                         ::testing::Values(ClaimCase{"Quick", kControllerQuick, {"ONE.BIN"}},
                                           ClaimCase{"Complete", kControllerComplete, {"IVE.BIN", "ONE.BIN"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
