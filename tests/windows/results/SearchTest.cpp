// Search of the found files by name in the results window, over a FAT16
// image made here with mkfs.vfat and mtools (Photos/holiday.jpg and
// Old/letter.txt, both deleted), through the real bridge offscreen.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>
#include <QSettings>
#include <QTest>

#include "ResultsTestSupport.h"
#include "bridge/QVUIController.h"
#include "support/Absent.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

using windows::QVDeletailWindowController;
using namespace resultstest;

// A deleted FAT entry loses the first letter of its name: the names are
// compared without it.
std::vector<QString> ListNames(const windows::FileListModel& list) {
  std::vector<QString> names;
  for (int row = 0; row < list.rowCount(); ++row) names.push_back(list.record(row).name.mid(1));
  return names;
}

class ResultsSearch : public ResultsWindowTest {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    QSettings().remove(QStringLiteral("searchRecent"));
    ASSERT_NO_FATAL_FAILURE(OpenImage());
    ASSERT_TRUE(StartWindow(session_->volume(), 1));
    ASSERT_TRUE(WaitForScanEnd(*window_));
    ASSERT_TRUE(window_->search()->isEnabled());
  }
  void TearDown() override {
    WaitForSearch();
    ResultsWindowTest::TearDown();
    QSettings().remove(QStringLiteral("searchRecent"));
  }
};

TEST_F(ResultsSearch, PartOfANameListsOnlyThatFileAndClearingShowsAllAgain) {
  QVDeletailWindowController& w = *window_;
  const std::vector<QString> before = RootLabels(*w.outline(0));
  ASSERT_FALSE(before.empty());
  w.search()->setText(QStringLiteral("olida"));
  ASSERT_TRUE(WaitForSearch());
  EXPECT_EQ(ListNames(*w.fileList()), std::vector<QString>{QStringLiteral("oliday.jpg")});
  EXPECT_TRUE(w.backHomeButton()->isEnabled());
  // The same text again does nothing.
  EXPECT_FALSE(w.doSearch());

  // One space at each end is dropped, inner text is kept.
  w.search()->setText(QStringLiteral(" etter "));
  EXPECT_EQ(w.GetSearchText(), QStringLiteral("etter"));
  ASSERT_TRUE(WaitForSearch());
  EXPECT_EQ(QVUIController::GetSearchString(), "etter");
  EXPECT_EQ(ListNames(*w.fileList()), std::vector<QString>{QStringLiteral("etter.txt")});

  // The clear button shows every tree item again.
  w.searchClearButtonClick();
  ASSERT_TRUE(WaitForSearch());
  EXPECT_EQ(QVUIController::GetSearchString(), "");
  EXPECT_EQ(RootLabels(*w.outline(0)), before);
}

TEST_F(ResultsSearch, TextTypedDuringASearchEndsWithTheListOfTheLastText) {
  QVDeletailWindowController& w = *window_;
  // Typed faster than the searches end: only the first starts at once.
  for (const char* text : {"o", "ol", "oli", "e", "et", "ett"}) w.search()->setText(QString::fromLatin1(text));
  ASSERT_TRUE(WaitForSearch());
  EXPECT_EQ(QVUIController::GetSearchString(), "ett");
  EXPECT_EQ(ListNames(*w.fileList()), std::vector<QString>{QStringLiteral("etter.txt")});
  EXPECT_TRUE(w.backHomeButton()->isEnabled());
}

TEST_F(ResultsSearch, BlanksNeverSearchAndStayOutOfTheRecents) {
  QVDeletailWindowController& w = *window_;
  w.search()->setText(QStringLiteral("oliday"));
  emit w.search()->returnPressed();
  ASSERT_TRUE(WaitForSearch());
  const std::vector<QString> shown = ListNames(*w.fileList());
  for (const char* blank : {" ", "  ", "   ", "\t"}) {
    w.search()->setText(QString::fromLatin1(blank));
    EXPECT_EQ(QVUIController::QVGetIsSearching(), 0) << '"' << blank << '"';
    EXPECT_FALSE(w.doSearch());
    emit w.search()->returnPressed();
    EXPECT_EQ(QVUIController::GetSearchString(), "oliday");
    EXPECT_EQ(ListNames(*w.fileList()), shown);
  }
  EXPECT_EQ(w.recentSearches(), QStringList{QStringLiteral("oliday")});
}

TEST_F(ResultsSearch, AtMostTenRecentSearchesAreKeptNewestFirst) {
  QVDeletailWindowController& w = *window_;
  QStringList typed;
  for (int i = 0; i < 12; ++i) {
    typed.prepend(QStringLiteral("name%1").arg(i));
    w.search()->setText(typed.front());
    emit w.search()->returnPressed();
    ASSERT_TRUE(WaitForSearch());
  }
  // Confirming a text again moves it to the front without a copy.
  w.search()->setText(QStringLiteral("name5"));
  emit w.search()->returnPressed();
  ASSERT_TRUE(WaitForSearch());
  typed.removeAll(QStringLiteral("name5"));
  typed.prepend(QStringLiteral("name5"));
  const QStringList expected = typed.mid(0, QVDeletailWindowController::kMaxRecentSearches);
  EXPECT_EQ(w.recentSearches(), expected);
  EXPECT_EQ(QSettings().value(QStringLiteral("searchRecent")).toStringList(), expected);

  // The field's menu lists them under its title; choosing one searches it.
  QMenu* menu = w.searchMenu();
  const QList<QAction*> items = menu->actions();
  ASSERT_EQ(items.size(), expected.size() + 3);
  EXPECT_EQ(items[1]->text(), expected[0]);
  items[2]->trigger();
  ASSERT_TRUE(WaitForSearch());
  EXPECT_EQ(QString::fromStdString(QVUIController::GetSearchString()), expected[1]);
  delete menu;

  // A later window starts with them; clearing empties the stored list.
  window_.reset();
  QVDeletailWindowController later;
  EXPECT_EQ(later.recentSearches(), expected);
  later.selectClear();
  EXPECT_TRUE(later.recentSearches().isEmpty());
  EXPECT_TRUE(QSettings().value(QStringLiteral("searchRecent")).toStringList().isEmpty());
}

}  // namespace
