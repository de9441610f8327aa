// The main window's shell, the about box and the shared dialog frame,
// driven through the scripted modal runner.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/DialogFrame.h"
#include "ui/windows/QVAboutWindowController.h"
#include "ui/windows/QVRootWindowController.h"

namespace {

using windows::DialogFrame;
using windows::QVAboutWindowController;
using windows::QVRootWindowController;

TEST(MainWindowShell, BandTitleAndButtonsWhereTheLayoutPutsThem) {
  QVRootWindowController root;
  root.show();
  EXPECT_EQ(root.titleBarHeight(), 50);
  EXPECT_EQ(root.trafficLightButtonsLeftMargin(), 8);
  EXPECT_EQ(root.topButtonMoveUp(), 5);
  ASSERT_NE(root.titleLabel(), nullptr);
  EXPECT_EQ(root.titleLabel()->text(), ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  EXPECT_FALSE(root.titleLabel()->text().isEmpty());
  // Frames from the band's bottom left: (80, 18, 300, 25), (828, 20), (860, 20).
  EXPECT_EQ(root.titleLabel()->geometry(), QRect(80, 7, 300, 25));
  ASSERT_NE(root.importButton(), nullptr);
  EXPECT_EQ(root.importButton()->geometry(), QRect(828, 14, 16, 16));
  EXPECT_EQ(root.importButton()->toolTip(), ui::Strings::text(QStringLiteral("NQT_TWO_IMPORT_BUTTON")));
  ASSERT_NE(root.aboutButton(), nullptr);
  EXPECT_EQ(root.aboutButton()->geometry(), QRect(860, 14, 16, 16));
  EXPECT_EQ(root.aboutButton()->toolTip(), QStringLiteral("About us"));
  EXPECT_EQ(root.whichPage(), QVRootWindowController::CategoryPage);
  ASSERT_NE(root.pageHost(), nullptr);
  EXPECT_EQ(root.pageHost()->width(), 2 * QVRootWindowController::kWidth);
  EXPECT_FALSE(root.backHomeButton()->isVisible());
  EXPECT_FALSE(root.continueButton()->isVisible());
}

TEST(MainWindowShell, AboutButtonOpensTheAboutBoxModally) {
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QString title;
  QString product;
  runner.onModal = [&](QWidget* w) {
    auto* about = qobject_cast<QVAboutWindowController*>(w);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(w->isVisible());
    title = about->titleLabel()->text();
    product = w->findChild<QLabel*>(QStringLiteral("productName"))->text();
    // The band's close button ends the session at once.
    QTest::mouseClick(about->standardWindowButton(ui::TCWindowButton::Close), Qt::LeftButton);
    EXPECT_FALSE(runner.isModalRunning(w));
  };
  QVRootWindowController root;
  root.show();
  QTest::mouseClick(root.aboutButton(), Qt::LeftButton);
  ASSERT_EQ(runner.modalWindows.size(), 1u);
  // Each opening is a new window, gone once its session ended.
  EXPECT_TRUE(runner.modalWindows[0].isNull());
  EXPECT_EQ(title, ui::Strings::text(QStringLiteral("WINDOW_TOP_TITLE")));
  EXPECT_FALSE(product.isEmpty());
  QTest::mouseClick(root.aboutButton(), Qt::LeftButton);
  EXPECT_EQ(runner.modalWindows.size(), 2u);
}

TEST(MainWindowShell, AboutLinkGoesThroughTheSeam) {
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVAboutWindowController about;
  QTest::mouseClick(about.aboutlink(), Qt::LeftButton);
  ASSERT_EQ(runner.openedUrls.size(), 1u);
}

TEST(MainWindowShell, ImportAsksForASavedResultAndCancelChangesNothing) {
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QVRootWindowController root;
  QStringList chosen;
  QObject::connect(&root, &QVRootWindowController::importChosen, [&](const QString& p) { chosen << p; });
  QTest::mouseClick(root.importButton(), Qt::LeftButton);  // no answer: cancelled
  EXPECT_TRUE(chosen.isEmpty());
  EXPECT_TRUE(root.importFilePath().isEmpty());
  runner.fileAnswers.push_back(QStringLiteral("/scans/disk.Quarnel"));
  QTest::mouseClick(root.importButton(), Qt::LeftButton);
  EXPECT_EQ(chosen, QStringList{QStringLiteral("/scans/disk.Quarnel")});
  ASSERT_EQ(runner.fileQuestions.size(), 2u);
  EXPECT_TRUE(runner.fileQuestions[0].startsWith(QStringLiteral("open|")));
  EXPECT_TRUE(runner.fileQuestions[0].endsWith(QStringLiteral("(*.Quarnel)")));
}

TEST(MainWindowShell, CloseButtonHidesAndAsksTheApplicationToQuit) {
  QObject observer;
  int quits = 0;
  ui::NotificationCenter::defaultCenter().addObserver(&observer, QStringLiteral("appWillTerminate"),
                                                      [&](const ui::Notification&) { ++quits; });
  QVRootWindowController root;
  root.show();
  QTest::mouseClick(root.standardWindowButton(ui::TCWindowButton::Close), Qt::LeftButton);
  EXPECT_FALSE(root.isVisible());
  EXPECT_EQ(quits, 1);
  ui::NotificationCenter::defaultCenter().removeObserver(&observer);
}

TEST(DialogFrame, FadesInLooksAndTitleLabel) {
  ui::TCImageWindow window;
  window.resize(400, 200);
  window.setContentView(new QWidget);
  DialogFrame frame(&window, DialogFrame::kRecoveryProgress);
  frame.windowDidLoad();
  EXPECT_EQ(window.titleBarHeight(), 40);
  EXPECT_EQ(window.trafficLightButtonsLeftMargin(), 13);
  ASSERT_NE(frame.titleLabel(), nullptr);
  // (20, 5, 300, 25) from the bottom left of a 40-point band.
  EXPECT_EQ(frame.titleLabel()->geometry(), QRect(20, 10, 300, 25));
  EXPECT_EQ(frame.titleLabel()->font().pixelSize(), 14);
  frame.windowDidLoad();  // once only
  EXPECT_EQ(window.titleBarView()->findChildren<QLabel*>(QStringLiteral("titleLabel")).size(), 1);
  frame.awakeFromNib();
  EXPECT_EQ(window.windowOpacity(), 1.0);

  DialogFrame::Look look = DialogFrame::kFilePreview;
  ui::TCImageWindow preview;
  DialogFrame previewFrame(&preview, look);
  previewFrame.windowDidLoad();
  EXPECT_EQ(previewFrame.titleLabel()->geometry(), QRect(70, 2, 410, 16));
  ui::TCImageWindow progress;
  DialogFrame noTitle(&progress, DialogFrame::kNoTitle);
  noTitle.windowDidLoad();
  EXPECT_EQ(noTitle.titleLabel(), nullptr);
}

TEST(DialogFrame, CloseFadesOutThenEndsTheSessionAndCloses) {
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  ui::TCImageWindow window;
  DialogFrame frame(&window, DialogFrame::kRecoveryFinished);
  frame.windowDidLoad();
  bool stillRunningAfterClose = true;
  runner.unansweredCode = 7;
  runner.onModal = [&](QWidget* w) {
    frame.awakeFromNib();
    // windowShouldClose answers no; the fade's end stops the session.
    EXPECT_FALSE(frame.windowShouldClose());
    stillRunningAfterClose = runner.isModalRunning(w);
  };
  const int code = runner.runModal(&window);
  EXPECT_FALSE(stillRunningAfterClose);
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.windowOpacity(), 0.0);
}

TEST(DialogFrame, CloseEventIsTurnedIntoAFade) {
  ui::TCImageWindow window;
  DialogFrame frame(&window, DialogFrame::kApfsNotice);
  int fades = 0;
  QObject::connect(&frame, &DialogFrame::closedByFade, [&] { ++fades; });
  window.show();
  window.close();
  EXPECT_TRUE(window.isVisible());  // refused; the fade starts next
  QTRY_COMPARE(fades, 1);
  EXPECT_FALSE(window.isVisible());
}

TEST(DialogFrame, QuitAsksTwiceFirstFadesThenAgrees) {
  ui::TCImageWindow window;
  DialogFrame frame(&window, DialogFrame::kRecoveryStopped);
  window.show();
  DialogFrame::setFadeDuration(10000);  // the fade is still running
  EXPECT_FALSE(frame.applicationShouldTerminate());
  EXPECT_TRUE(frame.shuttingDown());
  EXPECT_TRUE(frame.applicationShouldTerminate());
  DialogFrame::setFadeDuration(0);
}

}  // namespace
