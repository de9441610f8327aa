// The Qt side of the bridge: notifications from worker threads, a real
// quick scan of a FAT16 image made here, the tree reading, thumbnails and
// settings that outlive the process.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <thread>

#include "bridge/NotificationCenter.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/bridge_qt/QtImages.h"
#include "ui/bridge_qt/TreeReader.h"
#include "ui/toolkit/NotificationCenter.h"

namespace {

// Runs the event loop until `done` or 20 s.
bool spinUntil(const std::function<bool()>& done, int ms = 20000) { return testsupport::RunEventsUntil(done, ms); }

TEST(QtBridge, WorkerNotificationReachesToolkitObserverOnGuiThread) {
  bridge_qt::QtBridge bridge;
  QObject observer;
  std::vector<QThread*> threads;
  ui::NotificationCenter::defaultCenter().addObserver(
      &observer, QStringLiteral("WorkerSaysHello"),
      [&](const ui::Notification&) { threads.push_back(QThread::currentThread()); });
  std::thread worker([] { QVUIPublic::NotifyMainThread("WorkerSaysHello"); });
  worker.join();
  // Queued: nothing has run yet on the GUI thread.
  EXPECT_TRUE(threads.empty());
  ASSERT_TRUE(spinUntil([&] { return !threads.empty(); }));
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads[0], QCoreApplication::instance()->thread());
  EXPECT_TRUE(bridge.dispatcher().IsMainThread());
  ui::NotificationCenter::defaultCenter().removeObserver(&observer);
}

TEST(QtBridge, DispatcherRunsPostsInOrderAndNeverInline) {
  bridge_qt::QtBridge bridge;
  std::vector<int> order;
  bridge::MainThread().Post([&] { order.push_back(1); });
  bridge::MainThread().Post([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());
  ASSERT_TRUE(spinUntil([&] { return order.size() == 2; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(QtBridge, RemovedRelayDeliversNothingMore) {
  QObject observer;
  int seen = 0;
  ui::NotificationCenter::defaultCenter().addObserver(&observer, QStringLiteral("AfterRelay"),
                                                      [&](const ui::Notification&) { ++seen; });
  { bridge_qt::QtBridge bridge; }
  bridge::NotificationCenter::Default().Post("AfterRelay");
  QCoreApplication::processEvents();
  EXPECT_EQ(seen, 0);
  ui::NotificationCenter::defaultCenter().removeObserver(&observer);
}

TEST(QtBridge, SavePathWrittenByOneProcessIsReadByTheNext) {
  testsupport::TempDir dir;
  const QString program = QCoreApplication::applicationFilePath();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("config")));
  auto run = [&](const QString& role) {
    QProcess p;
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("QUARNEL_SETTINGS_CHILD"), role);
    p.setProcessEnvironment(e);
    p.start(program, {});
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    return QString::fromUtf8(p.readAllStandardOutput());
  };
  run(QStringLiteral("write:/home/user/Scans"));
  EXPECT_TRUE(run(QStringLiteral("read")).contains(QStringLiteral("SavePath=/home/user/Scans")));
}

TEST(QtThumbnailMaker, DecodesPicturesToFitTheThumbnailSide) {
  bridge_qt::QtThumbnailMaker maker;
  QImage big(800, 400, QImage::Format_RGB32);
  big.fill(Qt::red);
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(big.save(&buffer, "JPG"));
  const auto image = maker.Decode(jpeg.constData(), static_cast<std::size_t>(jpeg.size()));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, bridge::kThumbnailSide);
  EXPECT_EQ(image->height, bridge::kThumbnailSide / 2);
  EXPECT_EQ(bridge_qt::toQImage(*image).size(), QSize(192, 96));

  // Not a picture: nothing decodes. A cut picture: unusable, so the
  // caller may read more and try again.
  const char text[] = "plain words, no picture";
  EXPECT_FALSE(maker.Decode(text, sizeof text).has_value());
  const auto cut = maker.Decode(jpeg.constData(), 40);
  if (cut.has_value()) {
    EXPECT_FALSE(cut->usable());
  }
}

TEST(QtThumbnailMaker, IconsByExtensionAlwaysHaveTheAskedSize) {
  bridge_qt::QtThumbnailMaker maker;
  for (const char* ext : {"jpg", "txt", "mp4", "zip", "", "no-such-extension-xyz"}) {
    SCOPED_TRACE(ext);
    const bridge::Image icon = maker.IconForExtension(ext, 16);
    ASSERT_TRUE(icon.usable());
    EXPECT_LE(icon.width, 16);
    EXPECT_LE(icon.height, 16);
  }
  // Worker threads ask too.
  std::atomic<int> usable{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] { usable += maker.IconForExtension("pdf", 32).usable() ? 1 : 0; });
  for (auto& t : threads) t.join();
  EXPECT_EQ(usable.load(), 4);
}

TEST(QtThumbnailMaker, FileThumbnailIsScaledAndAVideoWithoutStillIsNothing) {
  testsupport::TempDir dir;
  QImage tall(300, 900, QImage::Format_RGB32);
  tall.fill(Qt::blue);
  const QString png = QString::fromStdString(dir.File("tall.png"));
  ASSERT_TRUE(tall.save(png));
  bridge_qt::QtThumbnailMaker maker;
  const bridge::Image thumb = maker.FromFile(png.toStdString(), 192);
  EXPECT_EQ(thumb.width, 64);
  EXPECT_EQ(thumb.height, 192);
  std::FILE* f = std::fopen(dir.File("broken.mp4").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("not really a movie", f);
  std::fclose(f);
  EXPECT_FALSE(maker.FromFile(dir.File("broken.mp4"), 192).usable());
}

}  // namespace
