// Unreadable sectors of a scanned volume reach the windows as
// "BadSectorNotify" on the main thread.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "bridge/BridgeTestSupport.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/MyNotifyCenter.h"
#include "bridge/NotificationCenter.h"
#include "bridge/QVUIController.h"
#include "core/device/VolumeDevice.h"
#include "support/Absent.h"
#include "support/TempDir.h"

using namespace bridgetest;

namespace {

TEST(BadSectorThreads, FailingVolumeReadsPostOnTheMainThread) {
  ResetEngines();
  bridge::DefaultQueue().BindToCurrentThread();
  testsupport::TempDir dir;
  // A folder opens for reading but every read of it fails.
  std::unique_ptr<CVolumeDevice> volume(CreateVolumeDevice(dir.Path().c_str()));
  ASSERT_NE(volume->Open(nullptr), 0);
  if (volume->GetTotalSectors() <= 0) {
    QUARNEL_SKIP_LACK(testsupport::MissingCapability("the temporary folder's file system gives folders no size"));
  }
  char probe[512];
  ASSERT_EQ(volume->ReadSector(probe, 0, 1), 0);

  std::atomic<int> posts{0};
  std::atomic<bool> onMain{true};
  bridge::ScopedObserver observer(kBadSectorNotify, [&](const std::string&) {
    if (!bridge::DefaultQueue().IsMainThread()) onMain = false;
    ++posts;
  });
  Script().readDevice = true;
  // Keep the scan alive until the event went through the queue.
  Script().onBlock = [&](int) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (posts.load() == 0 && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  ASSERT_TRUE(QVUIController::DoScanWithDevice(volume.get(), 1));
  ASSERT_TRUE(WaitForJobs());
  EXPECT_GE(posts.load(), 1);
  EXPECT_TRUE(onMain.load());

  // After the scan the observer is gone: a failing read posts nothing.
  const int before = posts.load();
  char buf[512];
  EXPECT_EQ(volume->ReadSector(buf, 0, 1), 0);
  bridge::DefaultQueue().RunUntil([] { return false; }, std::chrono::milliseconds(1500));
  EXPECT_EQ(posts.load(), before);
}

class CountingObserver : public INotifyObserver {
 public:
  void Notify(int type, void*) override { types.push_back(type); }
  std::vector<int> types;
};

TEST(NotifyRelay, ObserversAreCalledInOrderForEveryType) {
  CMyNotifyCenter center;
  std::vector<int> order;
  struct Tagged : INotifyObserver {
    Tagged(std::vector<int>& o, int t) : order(o), tag(t) {}
    void Notify(int, void*) override { order.push_back(tag); }
    std::vector<int>& order;
    int tag;
  } first(order, 1), second(order, 2);
  center.AddObserver(&first);
  center.AddObserver(&second);
  _MSG_EVENT event{};
  event.type = 7;
  event.length = 0;
  center.Notify(&event);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(center.PayloadSize(), 0u);
  center.RemoveObserver(&first);
  center.Notify(&event);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 2}));
}

}  // namespace
