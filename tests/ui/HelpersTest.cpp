// The toolkit's small services: bottom-left frames, resizing bits, named
// images, texts by key and notifications by name.

#include "UiTestSupport.h"

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/toolkit/UiGeometry.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <memory>
#include <thread>

using namespace ui;

TEST(FrameFlip, BottomLeftFramesBecomeTopLeft) {
  struct Case {
    int parentH, x, y, w, h;
    QRect expected;
  };
  const Case cases[] = {
      {400, 0, 0, 100, 50, QRect(0, 350, 100, 50)},    // on the bottom edge
      {400, 10, 350, 100, 50, QRect(10, 0, 100, 50)},  // on the top edge
      {72, 10, 10, 350, 50, QRect(10, 12, 350, 50)},   // picture inside a 72-high tile
      {100, 0, 120, 10, 10, QRect(0, -30, 10, 10)},    // above the parent
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fromBottomLeft(c.parentH, c.x, c.y, c.w, c.h), c.expected);
    EXPECT_EQ(fromBottomLeft(qreal(c.parentH), qreal(c.x), qreal(c.y), qreal(c.w), qreal(c.h)), QRectF(c.expected));
  }
}

TEST(Autoresize, ChildrenFollowTheirMasksInABottomLeftParent) {
  struct Case {
    unsigned mask;
    QRect expected;  // after 400x300 -> 500x400, child at (10, 20, 100, 50)
  };
  const Case cases[] = {
      {0, QRect(10, 120, 100, 50)},  // keeps left and bottom margins
      {WidthSizable, QRect(10, 120, 200, 50)},
      {MinXMargin, QRect(110, 120, 100, 50)},
      {MaxXMargin, QRect(10, 120, 100, 50)},
      {MinXMargin | MaxXMargin, QRect(13, 120, 100, 50)},  // shared 10:290
      {HeightSizable, QRect(10, 20, 100, 150)},
      {MinYMargin, QRect(10, 20, 100, 50)},   // bottom grows: top stays
      {MaxYMargin, QRect(10, 120, 100, 50)},  // top grows: bottom stays
      {WidthSizable | HeightSizable, QRect(10, 20, 200, 150)},
      {WidthSizable | MaxXMargin, QRect(10, 120, 126, 50)},  // shared 100:290
  };
  for (const Case& c : cases) {
    QWidget parent;
    parent.resize(400, 300);
    auto* child = new QWidget(&parent);
    child->setGeometry(10, 20, 100, 50);
    auto* helper = new AutoresizeHelper(&parent);
    helper->add(child, c.mask);
    parent.show();
    parent.resize(500, 400);
    EXPECT_EQ(child->geometry(), c.expected) << "mask " << c.mask;
    parent.resize(400, 300);
    EXPECT_EQ(child->geometry(), QRect(10, 20, 100, 50)) << "mask " << c.mask << " back";
  }
}

TEST(Autoresize, ShrinkingNeverGivesNegativeSizes) {
  QWidget parent;
  parent.resize(200, 200);
  auto* child = new QWidget(&parent);
  child->setGeometry(0, 0, 200, 200);
  (new AutoresizeHelper(&parent))->add(child, WidthSizable | HeightSizable);
  parent.show();
  parent.resize(50, 20);
  EXPECT_EQ(child->geometry(), QRect(0, 0, 50, 20));
}

TEST(ImageStore, MissingNamesGiveNullImages) {
  EXPECT_TRUE(ImageStore::pixmap(QStringLiteral("no_such_image")).isNull());
  EXPECT_TRUE(ImageStore::image(QString()).isNull());
  EXPECT_FALSE(ImageStore::contains(QStringLiteral("no_such_image")));
  const QPixmap box = ImageStore::pixmap(QStringLiteral("checkbox_yes"));
  ASSERT_FALSE(box.isNull());
  EXPECT_EQ(box.size(), QSize(13, 13));
  EXPECT_FALSE(ImageStore::image(QStringLiteral("back_normal")).isNull());
}

TEST(ImageStore, ImagesCanBeLoadedOffTheMainThread) {
  QImage fromThread;
  std::thread t([&] { fromThread = ImageStore::image(QStringLiteral("warning")); });
  t.join();
  EXPECT_EQ(fromThread.size(), QSize(64, 64));
}

TEST(Strings, KnownKeysMissingKeysAndFallback) {
  Strings::setLanguage(QStringLiteral("en"));
  EXPECT_EQ(Strings::text(QStringLiteral("WINDOW_TOP_TITLE")), QStringLiteral("Quarnel Data Recovery"));
  const QString missing = Strings::text(QStringLiteral("NQT_FOUR_NO_SUCH_KEY"));
  EXPECT_TRUE(missing.isEmpty());
  EXPECT_FALSE(missing.isNull());
  // A language without a table falls back to English.
  Strings::setLanguage(QStringLiteral("xx"));
  EXPECT_EQ(Strings::text(QStringLiteral("WINDOW_TOP_TITLE")), QStringLiteral("Quarnel Data Recovery"));
  Strings::setLanguage(QStringLiteral("en"));
}

TEST(NotificationCenter, DeliversSynchronouslyInOrderToMatchingObservers) {
  auto& nc = NotificationCenter::defaultCenter();
  QObject a, b;
  std::vector<QString> log;
  nc.addObserver(&a, QStringLiteral("One"), [&](const Notification& n) { log.push_back("a:" + n.name); });
  nc.addObserver(&b, QStringLiteral("One"), [&](const Notification& n) {
    log.push_back("b:" + n.name + ":" + n.userInfo.value(QStringLiteral("k")).toString());
  });
  nc.addObserver(&b, QStringLiteral("Two"), [&](const Notification& n) { log.push_back("b:" + n.name); });
  nc.post(QStringLiteral("One"), {}, {{QStringLiteral("k"), QStringLiteral("v")}});
  nc.post(QStringLiteral("Three"));
  nc.post(QStringLiteral("Two"));
  EXPECT_EQ(log, (std::vector<QString>{"a:One", "b:One:v", "b:Two"}));

  log.clear();
  nc.removeObserver(&b, QStringLiteral("One"));
  nc.post(QStringLiteral("One"));
  nc.post(QStringLiteral("Two"));
  EXPECT_EQ(log, (std::vector<QString>{"a:One", "b:Two"}));
  nc.removeObserver(&a);
  nc.removeObserver(&b);
}

TEST(NotificationCenter, DestroyedObserversAreDroppedAndRemovalDuringDeliveryIsSafe) {
  auto& nc = NotificationCenter::defaultCenter();
  const int before = nc.observerCount();
  int calls = 0;
  {
    QObject temp;
    nc.addObserver(&temp, QStringLiteral("Gone"), [&](const Notification&) { ++calls; });
    EXPECT_EQ(nc.observerCount(), before + 1);
  }
  EXPECT_EQ(nc.observerCount(), before);
  nc.post(QStringLiteral("Gone"));
  EXPECT_EQ(calls, 0);

  // The first observer removes the second while the note is delivered.
  QObject first;
  auto second = std::make_unique<QObject>();
  nc.addObserver(&first, QStringLiteral("Chain"), [&](const Notification&) { second.reset(); });
  nc.addObserver(second.get(), QStringLiteral("Chain"), [&](const Notification&) { ++calls; });
  nc.post(QStringLiteral("Chain"));
  EXPECT_EQ(calls, 0);
  nc.removeObserver(&first);
}

TEST(NotificationCenter, PostOnMainFromAWorkerArrivesOnTheMainThread) {
  auto& nc = NotificationCenter::defaultCenter();
  QObject obs;
  QThread* deliveredOn = nullptr;
  QString object;
  nc.addObserver(&obs, QStringLiteral("NormalScranValue"), [&](const Notification& n) {
    deliveredOn = QThread::currentThread();
    object = n.object.toString();
  });
  std::thread worker([&] { nc.postOnMain(QStringLiteral("NormalScranValue"), QStringLiteral("from worker")); });
  worker.join();
  EXPECT_EQ(deliveredOn, nullptr);  // queued, not delivered on the worker
  EXPECT_TRUE(QTest::qWaitFor([&] { return deliveredOn != nullptr; }, 5000));
  EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
  EXPECT_EQ(object, QStringLiteral("from worker"));
  nc.removeObserver(&obs);
}
