// The modal seam: sessions end through stopModal, the scripted runner never
// blocks, and the desktop runner's nested loop ends when asked.

#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>

#include "UiTestSupport.h"
#include "ui/toolkit/Modal.h"

namespace {

TEST(ModalSeam, ScriptedRunnerReturnsTheStopCodeOrTheDefault) {
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  QWidget window;
  runner.onModal = [&](QWidget* w) {
    EXPECT_TRUE(ui::Modal().isModalRunning(w));
    ui::Modal().stopModal(w, 3);
    ui::Modal().stopModal(w, 4);  // the first answer counts
  };
  EXPECT_EQ(ui::Modal().runModal(&window), 3);
  EXPECT_FALSE(ui::Modal().isModalRunning(&window));
  runner.onModal = nullptr;
  runner.unansweredCode = -5;
  EXPECT_EQ(ui::Modal().runModal(&window), -5);
  EXPECT_EQ(runner.modalWindows.size(), 2u);
}

TEST(ModalSeam, ScriptedAlertsAndChoosersTakeQueuedAnswers) {
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  runner.alertAnswers = {0, -1};
  ui::AlertSpec spec;
  spec.message = QStringLiteral("Stop?");
  EXPECT_EQ(ui::Modal().alert(spec), 0);
  EXPECT_EQ(ui::Modal().alert(spec), -1);
  EXPECT_EQ(ui::Modal().alert(spec), 1);
  ASSERT_EQ(runner.alerts.size(), 3u);
  EXPECT_EQ(runner.alerts[0].message, QStringLiteral("Stop?"));
  runner.fileAnswers = {QStringLiteral("/x/y")};
  EXPECT_EQ(ui::Modal().chooseFolder(nullptr, QStringLiteral("Where"), QStringLiteral("/x")), QStringLiteral("/x/y"));
  EXPECT_TRUE(ui::Modal().saveFile(nullptr, QStringLiteral("Save"), QStringLiteral("/x"), QString()).isEmpty());
  EXPECT_EQ(runner.fileQuestions[0], QStringLiteral("folder|Where|/x"));
  EXPECT_TRUE(ui::Modal().openUrl(QUrl(QStringLiteral("https://example.org/"))));
  EXPECT_EQ(runner.openedUrls.size(), 1u);
}

TEST(ModalSeam, DesktopRunnerEndsItsLoopOnStop) {
  QWidget window;
  QTimer::singleShot(0, [&] { ui::Modal().stopModal(&window, 9); });
  EXPECT_EQ(ui::Modal().runModal(&window), 9);
  EXPECT_FALSE(ui::Modal().isModalRunning(&window));
  EXPECT_EQ(window.windowModality(), Qt::NonModal);
}

TEST(ModalSeam, DesktopRunnerEndsWhenTheWindowGoes) {
  auto* window = new QWidget;
  QTimer::singleShot(0, [window] { delete window; });
  EXPECT_EQ(ui::Modal().runModal(window), 0);
}

}  // namespace
