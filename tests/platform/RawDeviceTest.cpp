#include "platform/RawDevice.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "support/Absent.h"
#include "support/TempDir.h"

namespace {

std::string WriteBytes(const testsupport::TempDir& dir, const std::string& name, size_t size) {
  const std::string path = dir.File(name);
  std::vector<char> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return path;
}

TEST(RawDeviceTest, DevicePathAndPermissionErrors) {
  EXPECT_EQ(platform::DevicePathOf("nvme0n1p2"), "/dev/nvme0n1p2");
  EXPECT_TRUE(platform::IsPermissionError(EACCES));
  EXPECT_TRUE(platform::IsPermissionError(EPERM));
  EXPECT_FALSE(platform::IsPermissionError(ENOENT));
}

TEST(RawDeviceTest, RegularFileOpensReadOnlyWith512ByteSectors) {
  testsupport::TempDir dir;
  const std::string path = WriteBytes(dir, "a.img", 5000);
  platform::RawDevice file;
  ASSERT_EQ(file.OpenReadOnly(path), 0);
  EXPECT_FALSE(file.IsBlockDevice());
  EXPECT_EQ((::fcntl(file.Fd(), F_GETFL) & O_ACCMODE), O_RDONLY);
  EXPECT_NE((::fcntl(file.Fd(), F_GETFD) & FD_CLOEXEC), 0);
  EXPECT_EQ(file.SectorSize(), 512u);
  EXPECT_EQ(file.SizeBytes(), 5000u);
  file.FlushBuffers();  // harmless on a regular file
}

TEST(RawDeviceTest, PreadStopsOnlyAtEndOfFile) {
  testsupport::TempDir dir;
  const std::string path = WriteBytes(dir, "b.img", 3000);
  platform::RawDevice file;
  ASSERT_EQ(file.OpenReadOnly(path), 0);
  std::vector<unsigned char> buffer(4096, 0xEE);
  platform::PreadResult r = file.Pread(buffer.data(), 1000, 100);
  EXPECT_EQ(r.bytes, 1000u);
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(buffer[0], static_cast<unsigned char>(100 * 7 + 3));
  r = file.Pread(buffer.data(), 4096, 2000);
  EXPECT_EQ(r.bytes, 1000u);
  EXPECT_EQ(r.error, 0);
  r = file.Pread(buffer.data(), 10, 1ULL << 63);
  EXPECT_EQ(r.bytes, 0u);
  EXPECT_NE(r.error, 0);
}

TEST(RawDeviceTest, ClosedOrMissingDevicesFailCleanly) {
  testsupport::TempDir dir;
  platform::RawDevice file;
  EXPECT_EQ(file.OpenReadOnly(dir.File("absent")), ENOENT);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.SectorSize().has_value());
  EXPECT_FALSE(file.SizeBytes().has_value());
  unsigned char byte = 0;
  EXPECT_EQ(file.Pread(&byte, 1, 0).error, EBADF);
}

TEST(RawDeviceTest, MoveHandsOverTheDescriptor) {
  testsupport::TempDir dir;
  const std::string path = WriteBytes(dir, "c.img", 512);
  platform::RawDevice first;
  ASSERT_EQ(first.OpenReadOnly(path), 0);
  const int fd = first.Fd();
  platform::RawDevice second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  EXPECT_EQ(second.Fd(), fd);
  second.Close();
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

TEST(RawDeviceTest, LoopDeviceSizesComeFromTheKernel) {
  if (const testsupport::Lack lack = testsupport::MissingLoop(); !lack.empty()) QUARNEL_SKIP_LACK(lack);
  testsupport::TempDir dir;
  const std::string image = WriteBytes(dir, "loop.img", 8 << 20);
  FILE* pipe = ::popen(("losetup -f --show -r --sector-size 4096 '" + image + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[256] = {};
  std::string loop = std::fgets(line, sizeof line, pipe) != nullptr ? line : "";
  ::pclose(pipe);
  while (!loop.empty() && loop.back() == '\n') loop.pop_back();
  if (loop.empty()) QUARNEL_SKIP_LACK(testsupport::MissingCapability("losetup could not attach a loop device"));
  platform::RawDevice device;
  const int error = device.OpenReadOnly(loop);
  const auto sectorSize = device.SectorSize();
  const auto size = device.SizeBytes();
  const bool block = device.IsBlockDevice();
  device.FlushBuffers();
  device.Close();
  testsupport::Run("losetup -d '" + loop + "'");
  EXPECT_EQ(error, 0);
  EXPECT_TRUE(block);
  EXPECT_EQ(sectorSize, 4096u);
  EXPECT_EQ(size, static_cast<std::uint64_t>(8 << 20));
}

}  // namespace
