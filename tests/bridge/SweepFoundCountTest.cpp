// The number of files a complete scan shows while it sweeps, before any tree
// is built: on images made by the real tools, what the engines count during
// the sweep comes close to the files their trees finally list.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bridge/QVUIDeviceData.h"
#include "core/controller/RecoveryController.h"
#include "core/engines/EngineRegistry.h"
#include "engines/RegisterAllEngines.h"
#include "hfsplus_builder/HfsPlusImageBuilder.h"
#include "support/Absent.h"
#include "support/FakeSinks.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

namespace {

// Why images of this kind cannot be made here ("" when they can).
testsupport::Lack MissingFor(const std::string& kind) {
  if (kind == "fat") return testsupport::MissingTool({"python3", "mkfs.vfat", "mmd", "mcopy", "mdel", "mdeltree"});
  const testsupport::Lack lack = testsupport::MissingFuse();
  if (!lack.empty()) return lack;
  if (kind == "exfat") return testsupport::MissingTool({"python3", "mkfs.exfat", "mount.exfat-fuse", "losetup"});
  return testsupport::MissingTool({"python3", "mkntfs", "ntfs-3g"});
}

struct Counts {
  std::uint64_t swept = 0;   // the count of the sweep's last report
  std::uint64_t listed = 0;  // files the built trees list
};

// Runs a complete scan of the image with every engine and checks that the
// count the sweep reports never goes back.
void ScanImage(const std::string& image, Counts& out) {
  engine_registry::Clear();
  RegisterAllEngines();
  std::string error;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(image, error);
  ASSERT_GE(disk, 0) << error;
  IStorageDevice* device = QVUIDeviceData::instance()->GetDiskStorageByIndex(disk);
  ASSERT_NE(device, nullptr);

  testsupport::AcceptAllFilter filter;
  testsupport::FakeProgress progress;
  testsupport::RecordingTree tree;
  testsupport::ControllerPtr controller(CreateRecoveryController(kControllerComplete));
  ASSERT_NE(controller, nullptr);
  ASSERT_EQ(controller->Initialize(&filter), 1);
  ASSERT_FALSE(result::Failed(controller->StartDataRecovery(device, &progress, &tree)));

  // The sweep's reports: from its first (state 0) to the end report.
  const std::vector<_PROGRESS_INFO> reports = progress.Reports();
  const auto first = std::find_if(reports.begin(), reports.end(),
                                  [](const _PROGRESS_INFO& r) { return r.state == kProgressFirstSweep; });
  ASSERT_NE(first, reports.end());
  // The controller's sweep reports are the ones of the sweep's total (the
  // engines' own reports while they build count in hundredths).
  for (auto it = first; it != reports.end() && it->state != kProgressFinished; ++it) {
    if (it->total != first->total) continue;
    EXPECT_GE(it->result, out.swept) << "the count never goes back";
    out.swept = it->result;
  }
  for (const auto& batch : tree.m_batches) {
    for (IFileNode* node : batch.nodes) {
      if (node->IsDirectory() == 0) ++out.listed;
    }
  }
}

void ExpectClose(const Counts& c, std::uint64_t atLeast) {
  ASSERT_GE(c.listed, atLeast);
  EXPECT_GE(c.swept * 20, c.listed * 19) << "swept " << c.swept << ", listed " << c.listed;
  EXPECT_LE(c.swept * 20, c.listed * 21) << "swept " << c.swept << ", listed " << c.listed;
}

class SweepFoundCount : public ::testing::TestWithParam<const char*> {};

TEST_P(SweepFoundCount, ComesCloseToTheFilesTheTreesList) {
  const std::string kind = GetParam();
  const testsupport::Lack missing = MissingFor(kind);
  if (!missing.empty()) QUARNEL_SKIP_LACK(missing);

  testsupport::TempDir dir;
  const std::filesystem::path script = std::filesystem::path(QUARNEL_TESTS_DIR) / "cli" / "make-tree-images.sh";
  ASSERT_EQ(testsupport::Run("'" + script.string() + "' '" + dir.Path().string() + "' " + kind + " >/dev/null 2>&1"),
            0);
  Counts counts;
  ScanImage(dir.File(kind + ".img"), counts);
  // The images hold about 1,700 files, a seventh of them deleted.
  ExpectClose(counts, 1500);
}

TEST(SweepFoundCountHfsPlus, ComesCloseToTheFilesTheTreesList) {
  hfsbuilder::HfsPlusImageBuilder builder;
  std::uint32_t folder = hfsbuilder::HfsPlusImageBuilder::kRootFolder;
  for (int i = 0; i < 400; ++i) {
    if (i % 50 == 0) folder = builder.AddFolder(hfsbuilder::HfsPlusImageBuilder::kRootFolder, "f" + std::to_string(i));
    const std::string text = "file " + std::to_string(i) + " of the sweep count test\n";
    builder.AddFile(folder, "n" + std::to_string(i) + ".txt", hfsbuilder::Bytes(text.begin(), text.end()));
  }
  testsupport::TempDir dir;
  const std::string image = dir.File("hfs.img");
  {
    const hfsbuilder::Bytes bytes = builder.Build();
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Counts counts;
  ScanImage(image, counts);
  ExpectClose(counts, 400);
}

INSTANTIATE_TEST_SUITE_P(Images, SweepFoundCount, ::testing::Values("fat", "exfat", "ntfs"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
