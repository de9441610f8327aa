#include "core/device/VolumeDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "core/device/DeviceTestFiles.h"
#include "core/events/MessageCenter.h"
#include "support/TempDir.h"

namespace {

using devtest::FailingSectorsPrimitive;
using devtest::PrimitiveScope;

// Counts the delivered events of one type (every centre sees every event).
class CountingCenter : public INotifyCenter {
 public:
  explicit CountingCenter(int type) : m_type(type) {}
  void Notify(_MSG_EVENT* event) override {
    if (event != nullptr && event->type == m_type) ++count;
  }
  std::atomic<int> count{0};

 private:
  int m_type;
};

constexpr int kSentinelType = 77;

class VolumeDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = m_dir.File("volume.img");
    devtest::WriteFile(m_path, devtest::PatternSectors(kSectors, 512));
    CMessageCenter* center = CMessageCenter::Instance();
    center->SetDispatchInterval(std::chrono::milliseconds(1));
    center->StartReceiveMessage();
    center->RegisterNotifyCenter(kEventDeviceReadFailed, &m_failures);
    center->RegisterNotifyCenter(kSentinelType, &m_sentinel);
  }
  void TearDown() override {
    CMessageCenter* center = CMessageCenter::Instance();
    center->UnregisterNotifyCenter(kEventDeviceReadFailed);
    center->UnregisterNotifyCenter(kSentinelType);
    center->SetDispatchInterval(std::chrono::milliseconds(1000));
  }
  // Events are delivered in order: once a sentinel arrives, every event
  // pushed before it has been delivered.
  bool DrainEvents() {
    const int before = m_sentinel.count.load();
    CMessageCenter::Instance()->PushEvent(static_cast<EVENT_TYPE>(kSentinelType), 0, nullptr);
    for (int i = 0; i < 5000 && m_sentinel.count.load() == before; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return m_sentinel.count.load() > before;
  }

  static constexpr long long kSectors = 32;
  testsupport::TempDir m_dir;
  devtest::LogDirScope m_log{m_dir.Path().string()};
  std::string m_path;
  CountingCenter m_failures{kEventDeviceReadFailed};
  CountingCenter m_sentinel{kSentinelType};
};

TEST_F(VolumeDeviceTest, FailedSectorsAreZeroedAndEachFailedRequestPostsOneEvent) {
  std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(m_path.c_str()));
  ASSERT_EQ(volume->Open(nullptr), 1);
  EXPECT_EQ(volume->GetType(), kDeviceVolume);
  FailingSectorsPrimitive primitive(512);
  primitive.Fail(4);
  primitive.Fail(6);
  primitive.Fail(20);
  PrimitiveScope scope(&primitive);

  std::vector<std::uint8_t> buffer(16 * 512, 0xEE);
  EXPECT_EQ(volume->ReadSector(buffer.data(), 0, 16), 0);
  EXPECT_EQ(result::CodeOf(volume->GetLastError()), kDevOpenOrReadFailed);
  for (long long s = 0; s < 16; ++s) {
    const std::uint8_t* sector = buffer.data() + s * 512;
    if (s == 4 || s == 6) {
      EXPECT_TRUE(devtest::AllZero(sector, 512)) << s;
    } else {
      EXPECT_TRUE(devtest::SectorMatches(sector, s, 512)) << s;
    }
  }
  ASSERT_TRUE(DrainEvents());
  EXPECT_EQ(m_failures.count.load(), 1);

  EXPECT_EQ(volume->ReadSector(buffer.data(), 16, 8), 0);
  EXPECT_TRUE(devtest::AllZero(buffer.data() + 4 * 512, 512));
  ASSERT_TRUE(DrainEvents());
  EXPECT_EQ(m_failures.count.load(), 2);

  EXPECT_EQ(volume->ReadSector(buffer.data(), 8, 4), 1);
  EXPECT_EQ(volume->ReadSector(buffer.data(), kSectors, 1), 0);  // refused, not a read failure
  ASSERT_TRUE(DrainEvents());
  EXPECT_EQ(m_failures.count.load(), 2);
}

TEST_F(VolumeDeviceTest, NoSizeMeansEveryReadIsRefused) {
  std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(m_path.c_str()));
  auto* info = new CCollectedVolumeDeviceInfoStruct;
  info->totalSectors = 0;
  volume->SetPrivateData(CreateVolumeDeviceData(info));
  std::uint8_t buffer[512];
  EXPECT_EQ(volume->ReadSector(buffer, 0, 1), 0);
  EXPECT_EQ(result::CodeOf(volume->GetLastError()), kDevBadArgument);
}

TEST_F(VolumeDeviceTest, KeepsTheApfsDevicePath) {
  std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(m_path.c_str()));
  char text[] = "nvme0n1p2";
  volume->SetApfsDevicePath(text);
  volume->SetApfsDevicePath(nullptr);
  EXPECT_EQ(volume->GetApfsDevicePath(), "nvme0n1p2");
  EXPECT_EQ(volume->IOCtl(1, nullptr), 0);
  EXPECT_EQ(result::CodeOf(volume->GetLastError()), kDevIoctlUnsupported);
}

}  // namespace
