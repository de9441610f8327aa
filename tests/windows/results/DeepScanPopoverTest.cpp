// The popover that suggests a deep scan at the end of a quick scan, over a
// FAT16 image made here with mkfs.vfat and mtools, offscreen through the
// real bridge, with a "PrivateData" of the test's own (a fresh
// installation): shown after the first two quick scans only, never after a
// deep scan or a loaded result; it goes after its time (shortened here),
// with its close button or when the deep scan starts.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>

#include "ResultsTestSupport.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "ui/toolkit/MAAttachedWindow.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/QVDeepScanViewController.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVProgressWindow.h"
#include "ui/windows/QVPublicUtilities.h"

namespace {

using windows::QVDeepScanViewController;
using windows::QVDeletailWindowController;
using windows::QVPublicUtilities;
using namespace resultstest;

const QString kShown = QStringLiteral("IsFristTime");
// Long enough never to pass during a test.
constexpr int kNever = 3600000;

template <typename F>
bool SpinUntil(F done, int ms = 30000) {
  return testsupport::RunEventsUntil(done, ms, 10);
}

bool PopoverShown(const QVDeletailWindowController& w) {
  return w.attachedWindow() != nullptr && w.attachedWindow()->isVisible() && w.isClodePopView() == 0;
}

class DeepScanPopover : public ResultsWindowTest {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    QVPublicUtilities::setPrivateDataFiles({}, dir_.File("config/PrivateData.plist"));
    ASSERT_NO_FATAL_FAILURE(OpenImage());
  }
  void TearDown() override {
    ResultsWindowTest::TearDown();
    QVPublicUtilities::resetPrivateDataFiles();
  }

  // A window that ran one scan (1 quick, 2 deep) to its end.
  std::unique_ptr<QVDeletailWindowController> scan(int kind, int closeDelay = kNever) {
    auto w = std::make_unique<QVDeletailWindowController>();
    w->setPopoverCloseDelay(closeDelay);
    EXPECT_TRUE(StartScan(*w, kind == 1 ? session_->volume() : session_->disk(), kind));
    EXPECT_TRUE(WaitForScanEnd(*w));
    return w;
  }
};

TEST_F(DeepScanPopover, ShownAfterTheFirstTwoQuickScansOnlyOncePerWindow) {
  for (int n = 1; n <= 3; ++n) {
    std::unique_ptr<QVDeletailWindowController> w = scan(1);
    if (n <= 2) {
      ASSERT_TRUE(PopoverShown(*w)) << "quick scan " << n;
      ASSERT_NE(w->deepScanVC(), nullptr);
      EXPECT_EQ(w->attachedWindow()->view(), w->deepScanVC());
      EXPECT_TRUE(w->deepScanVC()->deepScanNodeLabel()->text().contains(QStringLiteral("Deep Scan</span>")));
      // Below the point 80 from the window's left and 400 from its bottom.
      const QPoint point = w->mapToGlobal(QPoint(80, w->height() - 400));
      const QPoint corner = w->attachedWindow()->geometry().topLeft();
      EXPECT_LE(std::abs(corner.x() - (point.x() - 8)), 1) << corner.x() << " " << point.x();
      EXPECT_LE(std::abs(corner.y() - (point.y() + 10)), 1) << corner.y() << " " << point.y();
      // Resizing the window keeps it at that point.
      w->resize(w->width() + 100, w->height() + 60);
      const QPoint moved = w->mapToGlobal(QPoint(80, w->height() - 400));
      EXPECT_LE(std::abs(w->attachedWindow()->geometry().top() - (moved.y() + 10)), 1);
    } else {
      EXPECT_EQ(w->attachedWindow(), nullptr) << "quick scan " << n;
      EXPECT_EQ(w->deepScanVC(), nullptr);
    }
    EXPECT_EQ(QVPublicUtilities::privateInteger(kShown), std::min(n, 2));
    // Another end of the scan in the same window shows nothing more.
    w->popupViewHidden();
    w->getScanProgress();
    EXPECT_EQ(w->attachedWindow(), nullptr);
    EXPECT_EQ(QVPublicUtilities::privateInteger(kShown), std::min(n, 2));
  }
}

TEST_F(DeepScanPopover, NeverAfterADeepScanOrALoadedResult) {
  const QString saved = QString::fromStdString(dir_.File("deep.Quarnel"));
  {
    std::unique_ptr<QVDeletailWindowController> w = scan(2);
    EXPECT_EQ(w->isDeepScan(), 1);
    EXPECT_EQ(w->attachedWindow(), nullptr);
    // Kept for the load below.
    runner_.fileAnswers.push_back(saved);
    runner_.onModal = [&](QWidget* modal) {
      if (qobject_cast<windows::QVProgressWindow*>(modal) != nullptr)
        SpinUntil([&] { return !runner_.isModalRunning(modal); }, 60000);
    };
    w->exportButtonAction();
    ASSERT_EQ(w->bSave(), 1);
    QVUIController::WaitForJobs(30000);
  }
  {
    QVDeletailWindowController loaded;
    loaded.setPopoverCloseDelay(kNever);
    loaded.show();
    ASSERT_EQ(QVUIController::beginSaveOrRestoreNode(0, QFile::encodeName(saved).toStdString(), ""), 0);
    loaded.getImportData(saved);
    ASSERT_TRUE(WaitForScanEnd(loaded));
    EXPECT_EQ(loaded.isImport(), 1);
    EXPECT_EQ(loaded.attachedWindow(), nullptr);
    QVUIController::WaitForJobs(30000);
  }
  EXPECT_EQ(QVPublicUtilities::privateInteger(kShown), 0);
  // The installation is still fresh: a quick scan shows it.
  EXPECT_TRUE(PopoverShown(*scan(1)));
}

TEST_F(DeepScanPopover, GoesAfterItsTimeWithItsCloseButtonOrWhenTheDeepScanStarts) {
  {
    std::unique_ptr<QVDeletailWindowController> w = scan(1);
    ASSERT_TRUE(PopoverShown(*w));
    // Showing it again starts its time again, now a short one.
    w->setPopoverCloseDelay(50);
    w->showPopoverWithViewController(w->deepScanVC());
    EXPECT_TRUE(PopoverShown(*w));
    ASSERT_TRUE(SpinUntil([&] { return w->attachedWindow() == nullptr; }));
    EXPECT_EQ(w->isClodePopView(), 1);
    w->popupViewHidden();
    w->popupViewHidden();
    EXPECT_EQ(w->isClodePopView(), 1);
  }
  {
    std::unique_ptr<QVDeletailWindowController> w = scan(1);
    ASSERT_TRUE(PopoverShown(*w));
    w->deepScanVC()->closeButton()->click();
    EXPECT_EQ(w->attachedWindow(), nullptr);
    EXPECT_EQ(w->isClodePopView(), 1);
    w->popupViewHidden();
  }
  ASSERT_TRUE(QVPublicUtilities::writePrivateString(kShown, QStringLiteral("0")));
  {
    std::unique_ptr<QVDeletailWindowController> w = scan(1);
    ASSERT_TRUE(PopoverShown(*w));
    w->advButton()->click();
    EXPECT_EQ(w->attachedWindow(), nullptr);
    EXPECT_EQ(w->isDeepScan(), 1);
    ASSERT_TRUE(SpinUntil([&] { return QVUIController::IsScanRunning() || w->scanEnded(); }));
    ASSERT_TRUE(WaitForScanEnd(*w));
    EXPECT_EQ(w->attachedWindow(), nullptr);
  }
  // The window closed with its popover open takes it along.
  {
    std::unique_ptr<QVDeletailWindowController> w = scan(1);
    ASSERT_TRUE(PopoverShown(*w));
    QPointer<ui::MAAttachedWindow> popover = w->attachedWindow();
    w->hide();
    EXPECT_FALSE(popover->isVisible());
    w.reset();
    EXPECT_TRUE(popover.isNull());
  }
}

TEST(DeepScanPrompt, OnlyThePhraseIsSetApart) {
  struct Case {
    const char* text;
    const char* html;
  };
  const Case cases[] = {
      {"Try Deep Scan now.",
       "Try <span style=\"font-family: 'Helvetica'; font-size: 14px; font-weight: normal;\">Deep Scan</span> now."},
      {"Essayez l'analyse approfondie.", "Essayez l'analyse approfondie."},
      {"a < b & deep scan", "a &lt; b &amp; deep scan"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QVDeepScanViewController::attributedText(QString::fromUtf8(c.text)), QString::fromUtf8(c.html)) << c.text;
}

}  // namespace
