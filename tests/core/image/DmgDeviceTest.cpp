#include "core/image/DmgDevice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "support/TempDir.h"

namespace {

// A raw image of `sectors` 512-byte sectors followed by one 512-byte trailer
// block, the shape of an uncompressed disk image.
std::string WriteRawImage(const testsupport::TempDir& dir, long long sectors) {
  const std::string path = dir.File("disk.dmg");
  std::vector<std::uint8_t> bytes(static_cast<size_t>((sectors + 1) * 512));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i / 512) * 13 + (i % 512) % 7);
  bytes[bytes.size() - 512] = 'k';
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

CDMGDeviceInfoStruct RecordFor(const std::string& path, long long sectors) {
  CDMGDeviceInfoStruct record;
  record.sectorSize = 512;
  record.totalSectors = static_cast<std::uint64_t>(sectors);
  record.dataOffset = 0;
  record.fileSize = std::filesystem::file_size(path);
  record.name = std::filesystem::path(path).filename().string();
  EXPECT_EQ(QvFillDmgFileInfo(&record, path.c_str()), 0);
  return record;
}

TEST(DmgDeviceTest, ReadsRawSectorsFromOffsetZero) {
  testsupport::TempDir dir;
  const std::string path = WriteRawImage(dir, 40);
  const CDMGDeviceInfoStruct record = RecordFor(path, 40);
  EXPECT_EQ(record.path, path);
  std::unique_ptr<IStorageDevice> device(CreateDmgDevice(path.c_str(), &record));
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->GetType(), kDeviceDmgImage);
  EXPECT_EQ(device->GetSectorSize(), 512);
  EXPECT_EQ(device->GetTotalSectors(), 40);
  std::vector<std::uint8_t> buffer(1024);
  ASSERT_EQ(device->ReadSector(buffer.data(), 9, 2), 1);
  EXPECT_EQ(buffer[0], static_cast<std::uint8_t>(9 * 13));
  EXPECT_EQ(buffer[512 + 3], static_cast<std::uint8_t>(10 * 13 + 3));
  // The trailer is not a sector of the image.
  EXPECT_EQ(device->ReadSector(buffer.data(), 40, 1), 0);
  EXPECT_EQ(result::CodeOf(device->GetLastError()), kDevBadArgument);
  EXPECT_EQ(device->IOCtl(7, nullptr), 0);
  EXPECT_EQ(result::CodeOf(device->GetLastError()), kDevIoctlUnsupported);
}

TEST(DmgDeviceTest, RecordThatDoesNotFitTheFileIsRefused) {
  testsupport::TempDir dir;
  const std::string path = WriteRawImage(dir, 8);
  CDMGDeviceInfoStruct record = RecordFor(path, 8);
  const auto tooMany = [](CDMGDeviceInfoStruct& r) { r.totalSectors = 10; };
  const auto badSector = [](CDMGDeviceInfoStruct& r) { r.sectorSize = 0; };
  const auto oddSector = [](CDMGDeviceInfoStruct& r) { r.sectorSize = 520; };
  const auto farOffset = [](CDMGDeviceInfoStruct& r) { r.dataOffset = 1ULL << 50; };
  for (auto damage : {+tooMany, +badSector, +oddSector, +farOffset}) {
    CDMGDeviceInfoStruct bad = record;
    damage(bad);
    std::unique_ptr<IStorageDevice> device(CreateDmgDevice(path.c_str(), &bad));
    EXPECT_EQ(device, nullptr);
  }
  EXPECT_EQ(CreateDmgDevice(nullptr, &record), nullptr);
  EXPECT_EQ(CreateDmgDevice(path.c_str(), nullptr), nullptr);
  EXPECT_EQ(CreateDmgDevice(dir.File("absent").c_str(), &record), nullptr);
  CDMGDeviceInfoStruct absent;
  EXPECT_EQ(QvFillDmgFileInfo(&absent, dir.File("absent").c_str()), -1);
}

TEST(DmgDeviceTest, ReopensFromASavedRecordAtItsOwnPath) {
  testsupport::TempDir dir;
  const std::string path = WriteRawImage(dir, 16);
  const auto saved = SerializeDmgInfo(RecordFor(path, 16));
  std::unique_ptr<IStorageDevice> device(
      CreateDmgDeviceByDmgInfo(saved.data(), static_cast<int>(saved.size()), "/ignored"));
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->GetTotalSectors(), 16);
  EXPECT_EQ(GetDMGInfo(device.get())->path, path);
  EXPECT_EQ(GetDMGInfo(device.get())->name, "disk.dmg");

  std::vector<std::uint8_t> longer(saved.begin(), saved.end());
  longer.push_back(0);
  EXPECT_EQ(CreateDmgDeviceByDmgInfo(longer.data(), static_cast<int>(longer.size()), nullptr), nullptr);
  EXPECT_EQ(CreateDmgDeviceByDmgInfo(nullptr, 10, nullptr), nullptr);
  std::filesystem::remove(path);
  EXPECT_EQ(CreateDmgDeviceByDmgInfo(saved.data(), static_cast<int>(saved.size()), nullptr), nullptr);
}

}  // namespace
