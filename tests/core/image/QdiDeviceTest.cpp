#include "core/image/QdiDevice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "QdiTestWriter.h"
#include "core/image/QdiFormat.h"
#include "support/TempDir.h"

namespace {

using imagetest::QdiImage;

std::uint8_t Pattern(long long sector, int i) { return static_cast<std::uint8_t>((sector * 29 + i * 3 + 5) & 0xFF); }

std::vector<std::uint8_t> Sectors(long long count, int sectorSize) {
  std::vector<std::uint8_t> bytes(static_cast<size_t>(count * sectorSize));
  for (long long s = 0; s < count; ++s)
    for (int i = 0; i < sectorSize; ++i) bytes[static_cast<size_t>(s * sectorSize + i)] = Pattern(s, i);
  return bytes;
}

bool IsSector(const std::uint8_t* data, long long sector, int sectorSize) {
  for (int i = 0; i < sectorSize; ++i)
    if (data[i] != Pattern(sector, i)) return false;
  return true;
}

class QdiDeviceTest : public ::testing::TestWithParam<int> {
 protected:
  testsupport::TempDir m_dir;
};

TEST_P(QdiDeviceTest, WrittenImageReadsBackTheRightSectors) {
  const int ss = GetParam();
  QdiImage image;
  image.sectorSize = static_cast<std::uint32_t>(ss);
  image.sectors = Sectors(24, ss);
  const std::string path = m_dir.File("disk.qdi");
  imagetest::WriteQdi(path, image);
  EXPECT_EQ(std::filesystem::file_size(path), QdiDataOffsetFor(ss) + 24u * ss);

  std::unique_ptr<IStorageDevice> device(CreateQdiDevice(path.c_str()));
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->GetType(), kDeviceQdiImage);
  EXPECT_EQ(device->GetSectorSize(), ss);
  EXPECT_EQ(device->GetTotalSectors(), 24);
  const CQDIDeviceInfoStruct* info = GetQDIInfo(device.get());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->name, "Test Disk");
  EXPECT_EQ(info->path, path);
  EXPECT_EQ(info->dataOffset, ss == 512 ? 1536u : static_cast<std::uint64_t>(ss == 4096 ? 4096 : QdiDataOffsetFor(ss)));

  std::vector<std::uint8_t> buffer(static_cast<size_t>(3 * ss));
  ASSERT_EQ(device->ReadSector(buffer.data(), 0, 3), 1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsSector(buffer.data() + i * ss, i, ss)) << i;
  ASSERT_EQ(device->ReadSector(buffer.data(), 21, 3), 1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsSector(buffer.data() + i * ss, 21 + i, ss)) << i;
  EXPECT_EQ(device->ReadSector(buffer.data(), 22, 3), 0);
  EXPECT_EQ(result::CodeOf(device->GetLastError()), kDevBadArgument);
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, QdiDeviceTest, ::testing::Values(512, 1024, 2048, 4096));

TEST(QdiFormatTest, DataOffsets) {
  EXPECT_EQ(QdiDataOffsetFor(512), 1536u);
  EXPECT_EQ(QdiDataOffsetFor(1024), 2048u);
  EXPECT_EQ(QdiDataOffsetFor(2048), 2048u);
  EXPECT_EQ(QdiDataOffsetFor(4096), 4096u);
}

// Each case damages one thing of a valid 512-byte image; the image must be
// refused.
struct Damage {
  const char* what;
  bool sizeFieldMatchesFile;
  std::function<void(CQDIDeviceInfoStruct&, std::string& magic, std::uint32_t& length, std::vector<std::uint8_t>&)>
      apply;
};

TEST(QdiRefusalTest, DamagedImagesAreRefused) {
  const Damage damages[] = {
      {"wrong magic", false, [](auto&, std::string& magic, auto&, auto&) { magic = "qdx"; }},
      {"length field 1191", false, [](auto&, auto&, std::uint32_t& length, auto&) { length = 1191; }},
      {"length field 0", false, [](auto&, auto&, std::uint32_t& length, auto&) { length = 0; }},
      {"file one byte larger", false, [](auto&, auto&, auto&, std::vector<std::uint8_t>& s) { s.push_back(0); }},
      {"size field one smaller", false, [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.fileSize -= 1; }},
      {"sector size 0", true, [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.sectorSize = 0; }},
      {"sector size 3000", true, [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.sectorSize = 3000; }},
      {"sector size 8192", true, [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.sectorSize = 8192; }},
      {"data offset inside header", true, [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.dataOffset = 1024; }},
      {"data offset not a sector multiple", true,
       [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.dataOffset = 1600; }},
      {"data offset past the file", true,
       [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.dataOffset = 1ULL << 40; }},
      {"too many sectors", true, [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.totalSectors += 1; }},
      {"huge sector count", true, [](CQDIDeviceInfoStruct& i, auto&, auto&, auto&) { i.totalSectors = ~0ULL; }},
  };
  testsupport::TempDir dir;
  const std::string path = dir.File("bad.qdi");
  QdiImage image;
  image.sectors = Sectors(8, 512);
  for (const Damage& damage : damages) {
    CQDIDeviceInfoStruct info = imagetest::QdiInfoFor(image, path);
    std::string magic = "qdi";
    std::uint32_t length = kQdiInfoSize;
    std::vector<std::uint8_t> sectors = image.sectors;
    damage.apply(info, magic, length, sectors);
    if (damage.sizeFieldMatchesFile) info.fileSize = imagetest::WrittenDataOffset(info) + sectors.size();
    imagetest::WriteQdiFile(path, info, sectors, magic.c_str(), length);
    CQDIDeviceInfoStruct filled;
    EXPECT_EQ(QvFillQdiFileInfo(&filled, path.c_str()), -1) << damage.what;
    std::unique_ptr<IStorageDevice> device(CreateQdiDevice(path.c_str()));
    EXPECT_EQ(device, nullptr) << damage.what;
  }
  // The undamaged image is accepted.
  imagetest::WriteQdi(path, image);
  std::unique_ptr<IStorageDevice> device(CreateQdiDevice(path.c_str()));
  EXPECT_NE(device, nullptr);
}

TEST(QdiRefusalTest, ShortOrMissingFilesAreRefused) {
  testsupport::TempDir dir;
  const std::string path = dir.File("short.qdi");
  std::vector<std::uint8_t> header = {'q', 'd', 'i', 0, 0xA8, 0x04, 0, 0};  // 1192, then nothing
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(header.data(), 1, header.size(), f);
    std::fclose(f);
  }
  CQDIDeviceInfoStruct info;
  EXPECT_EQ(QvFillQdiFileInfo(&info, path.c_str()), -1);
  EXPECT_EQ(QvFillQdiFileInfo(&info, dir.File("absent").c_str()), -1);
  EXPECT_EQ(QvFillQdiFileInfo(nullptr, path.c_str()), -1);
  EXPECT_EQ(QvFillQdiFileInfo(&info, nullptr), -1);
  EXPECT_EQ(CreateQdiDevice(nullptr), nullptr);
  EXPECT_EQ(CreateQdiDevice(dir.File("absent").c_str()), nullptr);
}

TEST(QdiReopenTest, SavedBlockFindsTheSameImageOnly) {
  testsupport::TempDir dir;
  const std::string path = dir.File("saved.qdi");
  QdiImage image;
  image.sectors = Sectors(16, 512);
  imagetest::WriteQdi(path, image);
  std::unique_ptr<IStorageDevice> first(CreateQdiDevice(path.c_str()));
  ASSERT_NE(first, nullptr);
  const auto saved = SerializeQdiInfo(*GetQDIInfo(first.get()));

  std::unique_ptr<IStorageDevice> again(CreateQdiDeviceByQdiInfo(saved.data(), kQdiInfoSize, nullptr));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->GetTotalSectors(), 16);

  // A copy under another path is accepted when that path is given.
  const std::string copy = dir.File("copy.qdi");
  std::filesystem::copy_file(path, copy);
  std::unique_ptr<IStorageDevice> moved(CreateQdiDeviceByQdiInfo(saved.data(), kQdiInfoSize, copy.c_str()));
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(GetQDIInfo(moved.get())->path, copy);

  EXPECT_EQ(CreateQdiDeviceByQdiInfo(saved.data(), kQdiInfoSize - 1, nullptr), nullptr);
  EXPECT_EQ(CreateQdiDeviceByQdiInfo(nullptr, kQdiInfoSize, nullptr), nullptr);

  // Another image at the same path: each differing field refuses it.
  const std::function<void(QdiImage&)> changes[] = {
      [](QdiImage& i) { i.name = "Other Disk"; },
      [](QdiImage& i) { i.creationTime += 1; },
      [](QdiImage& i) { i.sectors = Sectors(17, 512); },
      [](QdiImage& i) {
        i.sectorSize = 4096;
        i.sectors = Sectors(2, 4096);
      },
  };
  for (const auto& change : changes) {
    QdiImage other = image;
    change(other);
    imagetest::WriteQdi(path, other);
    std::unique_ptr<IStorageDevice> refused(CreateQdiDeviceByQdiInfo(saved.data(), kQdiInfoSize, path.c_str()));
    EXPECT_EQ(refused, nullptr);
  }
}

TEST(QdiReadOnlyTest, ReadOnlyImageOpensAndReads) {
  testsupport::TempDir dir;
  const std::string path = dir.File("ro.qdi");
  QdiImage image;
  image.sectors = Sectors(8, 512);
  imagetest::WriteQdi(path, image);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const bool immutable =
      testsupport::HaveProgram("chattr") && testsupport::Run("chattr +i '" + path + "' >/dev/null 2>&1") == 0;
  std::unique_ptr<IStorageDevice> device(CreateQdiDevice(path.c_str()));
  std::vector<std::uint8_t> buffer(512);
  const int read = device ? device->ReadSector(buffer.data(), 5, 1) : 0;
  device.reset();
  if (immutable) testsupport::Run("chattr -i '" + path + "'");
  EXPECT_EQ(read, 1);
  EXPECT_TRUE(IsSector(buffer.data(), 5, 512));
}

}  // namespace
