// The image maker: QDI and raw images equal to their source, refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <memory>
#include <random>
#include <vector>

#include "bridge/QVMakeDmg.h"
#include "bridge/QVUIDeviceData.h"
#include "core/image/QdiDevice.h"
#include "core/image/QdiFormat.h"
#include "support/Files.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

Bytes Random(std::size_t n, unsigned seed) {
  Bytes b(n);
  std::mt19937 rng(seed);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

IStorageDevice* OpenInList(const std::string& path) {
  std::string error;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(path, error);
  EXPECT_GE(disk, 0) << error;
  return QVUIDeviceData::instance()->GetDiskStorageByIndex(disk);
}

}  // namespace

TEST(ImageMaker, QdiImageHoldsTheSourceSectorsAndOpens) {
  testsupport::TempDir dir;
  // Sizes that are not a multiple of the 8192-sector chunk.
  for (std::size_t sectors : {std::size_t{1}, std::size_t{8191}, std::size_t{8193}, std::size_t{20000}}) {
    const std::string source = dir.File("src" + std::to_string(sectors) + ".img");
    const Bytes data = Random(sectors * 512, static_cast<unsigned>(sectors));
    WriteFileBytes(source, data);
    IStorageDevice* device = OpenInList(source);
    ASSERT_NE(device, nullptr);
    const std::string image = dir.File("out" + std::to_string(sectors) + ".qdi");
    std::vector<QVMakeProgress> seen;
    QVMakeDMG* maker = QVMakeDMG::QVShareInstance();
    maker->setQVDelegate([&seen](const QVMakeProgress& p) { seen.push_back(p); });
    std::string error;
    ASSERT_EQ(maker->MakeImage(device, image, 0, error), 0) << error;
    maker->setQVDelegate(nullptr);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().done, static_cast<std::int64_t>(sectors));
    EXPECT_EQ(seen.back().code, 0);

    const Bytes out = ReadFileBytes(image);
    ASSERT_EQ(out.size(), 1536 + data.size());
    EXPECT_EQ(0, std::memcmp(out.data(), "qdi\0", 4));
    EXPECT_TRUE(std::all_of(out.begin() + 1200, out.begin() + 1536, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin() + 1536));
    std::unique_ptr<IStorageDevice> qdi(CreateQdiDevice(image.c_str()));
    ASSERT_TRUE(qdi) << "the image must open as a QDI device";
    EXPECT_EQ(qdi->GetTotalSectors(), static_cast<long long>(sectors));
    Bytes sector(512);
    ASSERT_EQ(qdi->ReadSector(sector.data(), static_cast<long long>(sectors) - 1, 1), 1);
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), data.end() - 512));
  }
}

TEST(ImageMaker, RawImageIsTheSectorsAlone) {
  testsupport::TempDir dir;
  const Bytes data = Random(9000 * 512, 3);
  const std::string source = dir.File("raw-src.img");
  WriteFileBytes(source, data);
  IStorageDevice* device = OpenInList(source);
  ASSERT_NE(device, nullptr);
  std::string error;
  ASSERT_EQ(QVMakeDMG::QVShareInstance()->MakeImage(device, dir.File("copy.img"), 1, error), 0) << error;
  EXPECT_EQ(ReadFileBytes(dir.File("copy.img")), data);
}

TEST(ImageMaker, RefusalsLeaveNoFileBehindAndKeepExistingOnes) {
  testsupport::TempDir dir;
  const Bytes data = Random(64 * 512, 5);
  const std::string source = dir.File("s.img");
  WriteFileBytes(source, data);
  IStorageDevice* device = OpenInList(source);
  ASSERT_NE(device, nullptr);
  QVMakeDMG* maker = QVMakeDMG::QVShareInstance();
  std::string error;
  // An existing destination is never replaced.
  WriteFileBytes(dir.File("exists.qdi"), Bytes{1, 2, 3});
  EXPECT_EQ(maker->MakeImage(device, dir.File("exists.qdi"), 0, error), kMakeCreateFailed);
  EXPECT_EQ(ReadFileBytes(dir.File("exists.qdi")), (Bytes{1, 2, 3}));
  // Not onto the source itself.
  EXPECT_EQ(maker->MakeImage(device, source, 0, error), kMakeOnSource);
  EXPECT_EQ(ReadFileBytes(source), data);
  // No device, no record.
  EXPECT_EQ(maker->MakeImage(nullptr, dir.File("x.qdi"), 0, error), kMakeNoDevice);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.qdi")));
  // A stop before the first chunk removes the file.
  maker->QVSetState(2);
  EXPECT_EQ(maker->MakeImage(device, dir.File("stopped.qdi"), 0, error), kMakeStopped);
  maker->QVSetState(0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("stopped.qdi")));
}

TEST(ImageMaker, StartRunsOnAJobThread) {
  testsupport::TempDir dir;
  const Bytes data = Random(100 * 512, 9);
  const std::string source = dir.File("job.img");
  WriteFileBytes(source, data);
  std::string error;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(source, error);
  ASSERT_GE(disk, 0) << error;
  std::atomic<int> finalCode{1};
  std::atomic<bool> ended{false};
  QVMakeDMG* maker = QVMakeDMG::QVShareInstance();
  maker->setQVDelegate([&](const QVMakeProgress& p) {
    if (p.done == p.total || p.code != 0) {
      finalCode = p.code;
      ended = true;
    }
  });
  ASSERT_EQ(maker->QVStart(dir.File("job.qdi"), disk, -1, 0), 0);
  for (int i = 0; i < 200 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(ended);
  EXPECT_EQ(finalCode, 0);
  for (int i = 0; i < 100 && QVMakeDMG::QVShareInstance()->QVStart(dir.File("job2.qdi"), -5, -1, 0) == kMakeBusy; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  maker->setQVDelegate(nullptr);
  std::unique_ptr<IStorageDevice> qdi(CreateQdiDevice(dir.File("job.qdi").c_str()));
  ASSERT_TRUE(qdi);
  EXPECT_EQ(qdi->GetTotalSectors(), 100);
}
