// The results window after a quick scan of a FAT16 image made here with
// mkfs.vfat and mtools, through the real bridge offscreen, while the
// thumbnail maker holds every picture it is asked for: the views are
// switched, the files searched and the folders chosen again and again, the
// shown view chosen again, or a deep scan asked for. The window keeps
// running its events, and once the maker lets go everything settles in
// bounded time on the last search, the pictures come, or the deep scan
// runs. Runs under ThreadSanitizer too (suite name).

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <condition_variable>
#include <mutex>

#include "ResultsTestSupport.h"
#include "bridge/QVThumbnail.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "ui/bridge_qt/QtThumbnailMaker.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/CoverFlowView.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

// The program's maker behind a gate: every call waits until the test opens it.
class GatedMaker final : public bridge::IThumbnailMaker {
 public:
  bridge::Image FromFile(const std::string& path, int maxSize) override {
    pass();
    return real_.FromFile(path, maxSize);
  }
  std::optional<bridge::Image> Decode(const char* bytes, std::size_t length) override {
    pass();
    return real_.Decode(bytes, length);
  }
  bridge::Image IconForExtension(const std::string& ext, int side) override {
    pass();
    return real_.IconForExtension(ext, side);
  }

  void open() {
    std::lock_guard<std::mutex> hold(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  int waiting() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return waiting_;
  }
  int calls() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
  }

 private:
  void pass() {
    std::unique_lock<std::mutex> hold(mutex_);
    ++calls_;
    ++waiting_;
    changed_.wait(hold, [this] { return open_; });
    --waiting_;
  }

  bridge_qt::QtThumbnailMaker real_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  int waiting_ = 0;
  int calls_ = 0;
};

template <typename F>
bool spinUntil(F done, int ms = 30000) {
  return testsupport::RunEventsUntil(done, ms, 10);
}

bool loadersIdle(const QVDeletailWindowController& w) { return w.gridImageState() != 0 && w.nImageState() != 0; }

// A deleted FAT entry loses the first letter of its name.
std::vector<QString> ListNames(const windows::FileListModel& list) {
  std::vector<QString> names;
  for (int row = 0; row < list.rowCount(); ++row) names.push_back(list.record(row).name.mid(1));
  return names;
}

TEST(ResultsViewSwitchThreads, SwitchSearchAndReselectWhileTheMakerIsBlocked) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  QElapsedTimer whole;
  whole.start();
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image));
  GatedMaker maker;
  {
    BridgeSession session;
    ASSERT_TRUE(session.open(image.path));
    bridge::SetThumbnailMaker(&maker);
    ui::ScriptedModalRunner runner;
    ui::ScopedModalRunner scoped(runner);
    {
      QVDeletailWindowController w;
      // However the test ends, the maker lets go before the window goes.
      struct OpenAtEnd {
        GatedMaker& maker;
        ~OpenAtEnd() { maker.open(); }
      } openAtEnd{maker};
      ASSERT_TRUE(StartScan(w, session.volume(), 1));
      ASSERT_TRUE(WaitForScanEnd(w));
      ASSERT_TRUE(FolderWithFiles(w).isValid());
      ASSERT_GT(w.fileList()->rowCount(), 0);

      // The grid asks for its first picture and the maker holds it.
      w.segmentSelect(1);
      ASSERT_TRUE(spinUntil([&] { return maker.waiting() > 0; }));

      int ticks = 0;
      QTimer timer;
      QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
      timer.start(1);
      const QStringList texts = {QStringLiteral("oliday"), QStringLiteral("etter"), QString(),
                                 QStringLiteral("o"),      QStringLiteral("jpg"),   QString(),
                                 QStringLiteral("etter")};
      for (int round = 0; round < 60; ++round) {
        w.segmentSelect(round % 3);
        if (round % 4 == 0) w.search()->setText(texts[(round / 4) % texts.size()]);
        // Whatever folder rows the trees show at this moment.
        windows::CommOutlineView& outline = *w.outline(w.selectTypeCount());
        const int roots = outline.model()->rowCount();
        if (roots > 0) {
          const QModelIndex root = outline.model()->index(round % roots, 0);
          outline.setCurrentIndex(root);
          if (outline.model()->canFetchMore(root)) outline.model()->fetchMore(root);
          const int below = outline.model()->rowCount(root);
          if (below > 0) outline.setCurrentIndex(outline.model()->index(round % below, 0, root));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      }
      // The last text typed.
      w.search()->setText(QStringLiteral("etter"));
      w.segmentSelect(2);
      const int ticksBefore = ticks;
      ASSERT_TRUE(spinUntil([&] { return QVUIController::QVGetIsSearching() == 0 && ticks >= ticksBefore + 5; }));
      // The window never waited for the held picture.
      EXPECT_GT(maker.waiting(), 0);
      EXPECT_EQ(ListNames(*w.fileList()), std::vector<QString>{QStringLiteral("etter.txt")});

      maker.open();
      ASSERT_TRUE(spinUntil([&] { return loadersIdle(w); }));
      EXPECT_EQ(maker.waiting(), 0);
      EXPECT_GT(maker.calls(), 0);
      EXPECT_EQ(ListNames(*w.fileList()), std::vector<QString>{QStringLiteral("etter.txt")});
      ASSERT_FALSE(w.coverFlowView()->photos().empty());
      EXPECT_EQ(w.coverFlowView()->rows().size(), 1u);
    }
    bridge::SetThumbnailMaker(nullptr);
  }
  EXPECT_LT(whole.elapsed(), 120000);
}

// The deep-scan button while the maker holds a picture of the grid's rows:
// the window keeps running its events and the deep scan, which lets the
// rows go, starts once the picture is done.
TEST(ResultsViewSwitchThreads, DeepScanWaitsForTheHeldPictureWithoutBlocking) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image));
  GatedMaker maker;
  {
    BridgeSession session;
    ASSERT_TRUE(session.open(image.path));
    bridge::SetThumbnailMaker(&maker);
    ui::ScriptedModalRunner runner;
    ui::ScopedModalRunner scoped(runner);
    {
      QVDeletailWindowController w;
      struct OpenAtEnd {
        GatedMaker& maker;
        ~OpenAtEnd() { maker.open(); }
      } openAtEnd{maker};
      ASSERT_TRUE(StartScan(w, session.volume(), 1));
      ASSERT_TRUE(WaitForScanEnd(w));
      ASSERT_TRUE(FolderWithFiles(w).isValid());
      w.segmentSelect(1);
      ASSERT_TRUE(spinUntil([&] { return maker.waiting() > 0; }));

      int ticks = 0;
      QTimer timer;
      QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
      timer.start(1);
      w.advButton()->click();
      EXPECT_EQ(w.isDeepScan(), 1);
      EXPECT_EQ(w.fileList()->rowCount(), 0);
      // Well past the button's own delay (0.2 s): the window runs, the scan waits.
      EXPECT_FALSE(spinUntil([] { return false; }, 700));
      EXPECT_GE(ticks, 5);
      EXPECT_GT(maker.waiting(), 0);
      EXPECT_FALSE(QVUIController::IsScanRunning());
      EXPECT_FALSE(w.scanEnded());

      maker.open();
      ASSERT_TRUE(WaitForScanEnd(w));
      EXPECT_TRUE(QVUIController::IsDeepScan());
      EXPECT_FALSE(RootLabels(*w.outline(0)).empty());
    }
    bridge::SetThumbnailMaker(nullptr);
  }
}

// The shown cover flow's button clicked again while its pictures are being
// made: they all still come.
TEST(ResultsViewSwitchThreads, ChoosingTheShownViewAgainKeepsItsPicturesComing) {
  if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  FatImage image;
  ASSERT_TRUE(MakeFatImage(dir, image));
  GatedMaker maker;
  {
    BridgeSession session;
    ASSERT_TRUE(session.open(image.path));
    bridge::SetThumbnailMaker(&maker);
    ui::ScriptedModalRunner runner;
    ui::ScopedModalRunner scoped(runner);
    {
      QVDeletailWindowController w;
      struct OpenAtEnd {
        GatedMaker& maker;
        ~OpenAtEnd() { maker.open(); }
      } openAtEnd{maker};
      ASSERT_TRUE(StartScan(w, session.volume(), 1));
      ASSERT_TRUE(WaitForScanEnd(w));
      const QModelIndex photos = FindRow(*w.outline(0), QStringLiteral("Photos"));
      ASSERT_TRUE(photos.isValid());
      w.outline(0)->setCurrentIndex(photos);
      ASSERT_EQ(w.fileList()->rowCount(), 1);
      w.segmentSelect(2);
      ASSERT_TRUE(spinUntil([&] { return maker.waiting() > 0; }));
      auto* flowButton = w.segment()->findChild<QAbstractButton*>(QStringLiteral("segment2"));
      ASSERT_NE(flowButton, nullptr);
      flowButton->click();
      EXPECT_EQ(w.selectSegmentCount(), 2);
      maker.open();
      ASSERT_TRUE(spinUntil([&] {
        return w.nImageState() == 2 &&
               w.coverFlowView()->photos().at(0).imageUID() != windows::CoverFlowView::kLoadingID;
      }));
      EXPECT_FALSE(w.coverFlowView()->photos().at(0).imageRepresentation().isNull());
    }
    bridge::SetThumbnailMaker(nullptr);
  }
}

}  // namespace
