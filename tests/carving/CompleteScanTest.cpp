// The carving searcher inside a complete scan of a disk image: files at
// chosen sectors (some across the 4 MiB sweep blocks, one cut by the
// device's end) are found, named, filed in both trees and recovered whole.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>

#include "carving/CarvingEngine.h"
#include "carving/Samples.h"
#include "core/controller/RecoveryController.h"
#include "core/device/DiskDevice.h"
#include "core/engines/EngineRegistry.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "support/FakeSinks.h"
#include "support/ScanRun.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

constexpr long long kImageSectors = 40LL * 2048;  // 40 MiB

struct Placed {
  long long sector;
  Bytes bytes;
  std::string pattern;  // the file name expected, as a regex
};

struct ScanResult {
  std::map<std::string, IFileNode*> byName;  // files
  std::map<std::string, _tagSearcherType> treeOf;
  std::map<std::string, std::string> parentName;
};

_tagSearcherType TreeOf(IFileNode* node) {
  IFileNode* n = node;
  for (int guard = 0; n->GetParent() != nullptr && guard < 64; ++guard) n = n->GetParent();
  return n->GetSearcheType();
}

class CarvingCompleteScan : public ::testing::Test {
 protected:
  void SetUp() override {
    JpegOptions camera;
    camera.width = 640;
    camera.height = 480;
    camera.seed = 21;
    camera.make = "NIKON";
    camera.model = "D70";
    JpegOptions plain;
    plain.width = 400;
    plain.height = 300;
    plain.seed = 22;
    m_files = {
        {100, MakeJpeg(camera), ""},
        {8190, MakePng(200, 160, 23), ""},  // across the first 4 MiB boundary
        {16380, MakeJpeg(plain), ""},       // across the second
        {20000, MakeRar({{"x.bin", Noise(9000, 24)}}), ""},
        {30000, MakeHtml(5000, 25), ""},
    };
    Bytes image(static_cast<std::size_t>(kImageSectors) * 512, 0);
    m_path = m_dir.File("disk.img");
    WriteAll(m_path, {});
    testsupport::Run("truncate -s " + std::to_string(kImageSectors * 512) + " '" + m_path + "'");
    for (const Placed& p : m_files) {
      std::FILE* f = std::fopen(m_path.c_str(), "r+b");
      ASSERT_NE(f, nullptr);
      std::fseek(f, static_cast<long>(p.sector * 512), SEEK_SET);
      std::fwrite(p.bytes.data(), 1, p.bytes.size(), f);
      std::fclose(f);
    }
    // A JPEG cut by the end of the device.
    std::FILE* f = std::fopen(m_path.c_str(), "r+b");
    const Bytes tail = MakeJpeg(plain);
    std::fseek(f, static_cast<long>((kImageSectors - 2) * 512), SEEK_SET);
    std::fwrite(tail.data(), 1, 1024, f);
    std::fclose(f);

    engine_registry::Clear();
    RegisterCarvingEngine();
  }
  void TearDown() override { engine_registry::Clear(); }

  ScanResult Scan(testsupport::ScanRun& run) {
    m_disk.reset(CreateDiskDevice(m_path.c_str()));
    EXPECT_NE(m_disk->Open(nullptr), 0);
    testsupport::ScanDevice(run, m_disk.get(), kControllerComplete);
    EXPECT_EQ(run.result, 0u);
    ScanResult r;
    for (const auto& batch : run.tree.m_batches) {
      for (IFileNode* n : batch.nodes) {
        if (n->IsDirectory() != 0) continue;
        r.byName[n->GetFileName()] = n;
        r.treeOf[n->GetFileName()] = TreeOf(n);
        r.parentName[n->GetFileName()] = n->GetParent() != nullptr ? n->GetParent()->GetFileName() : "";
      }
    }
    return r;
  }

  testsupport::TempDir m_dir;
  std::string m_path;
  std::vector<Placed> m_files;
  std::unique_ptr<CDiskDevice> m_disk;
};

std::string EndName(long long start, std::size_t size) {
  return std::to_string(start + (static_cast<long long>(size) - 1) / 512);
}

TEST_F(CarvingCompleteScan, FindsNamesFilesAndRecoversEachFile) {
  testsupport::ScanRun run;
  const ScanResult r = Scan(run);

  const std::string camera = "NIKON_D70_100-" + EndName(100, m_files[0].bytes.size()) + "000.JPG";
  // The counter is shared by both trees: the plain JPEG is the second.
  const std::string plain = "16380-" + EndName(16380, m_files[2].bytes.size()) + "001.JPG";
  ASSERT_TRUE(r.byName.count(camera)) << camera;
  ASSERT_TRUE(r.byName.count(plain)) << plain;
  EXPECT_EQ(r.treeOf.at(camera), kSearcherRawByLabel);
  EXPECT_EQ(r.parentName.at(camera), "D70");
  EXPECT_EQ(r.treeOf.at(plain), kSearcherRawByType);
  EXPECT_EQ(r.parentName.at(plain), "jpg");

  const std::vector<std::pair<std::size_t, std::regex>> expected = {
      {0, std::regex(camera)},
      {1, std::regex("8190-[0-9]+_000\\.PNG")},
      {2, std::regex(plain)},
      {3, std::regex("20000-[0-9]+_000\\.RAR")},
      {4, std::regex("30000-[0-9]+_000\\.HTM")},
  };
  std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> recovery(run.controller->GetDataRecovery(kSearcherRawByType),
                                                                    [](IDataRecovery* d) { d->Release(); });
  ASSERT_NE(recovery, nullptr);
  for (const auto& [index, pattern] : expected) {
    const Placed& p = m_files[index];
    IFileNode* node = nullptr;
    for (const auto& [name, n] : r.byName) {
      if (std::regex_match(name, pattern)) node = n;
    }
    ASSERT_NE(node, nullptr) << "file at sector " << p.sector;
    EXPECT_EQ(node->GetFileSize(), static_cast<long long>(p.bytes.size()));
    IFileReader* reader = recovery->SetRecoverNode(node);
    ASSERT_NE(reader, nullptr);
    reader->Release();
    const std::string out = m_dir.File("out" + std::to_string(index));
    ASSERT_EQ(recovery->RecoverTo(out.c_str(), nullptr, 0), 0u);
    EXPECT_TRUE(ReadFileBytes(out) == p.bytes) << "file at sector " << p.sector;
  }
  // The cut JPEG at the device's end stays inside the device.
  for (const auto& [name, n] : r.byName) {
    if (name.rfind(std::to_string(kImageSectors - 2) + "-", 0) == 0) {
      EXPECT_LE(n->GetFileSize(), 1024);
    }
  }
}

TEST_F(CarvingCompleteScan, TwoScansInOneProcessGiveTheSameNames) {
  testsupport::ScanRun first;
  testsupport::ScanRun second;
  std::vector<std::string> names[2];
  for (const auto& [name, n] : Scan(first).byName) names[0].push_back(name);
  first.controller.reset();
  for (const auto& [name, n] : Scan(second).byName) names[1].push_back(name);
  EXPECT_FALSE(names[0].empty());
  EXPECT_EQ(names[0], names[1]);
}

}  // namespace
