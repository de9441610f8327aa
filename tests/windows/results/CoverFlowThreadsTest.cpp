// The results window's cover flow with a picture maker the test controls:
// short and long lists, pictures kept across selections, a new selection
// while the loader runs, late pictures of earlier rows and a maker that
// blocks. Runs under ThreadSanitizer too (suite name).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

#include <set>

#include "GatedThumbnailSource.h"
#include "support/EventLoop.h"
#include "ui/windows/CoverFlowView.h"

namespace {

using resultstest::GatedThumbnailSource;
using resultstest::NodePicture;

// Every picture's size here.
const QSize kPicture(64, 48);

std::vector<quintptr> nodes(quintptr first, std::size_t count) {
  std::vector<quintptr> out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(first + i);
  return out;
}

template <typename F>
bool spinUntil(F done) {
  // Only a bound for a hang: a loaded two-core machine under the thread
  // sanitizer may need many seconds for what takes milliseconds here.
  return testsupport::RunEventsUntil(done, 180000, 10);
}

class CoverFlowThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    source = std::make_shared<GatedThumbnailSource>(QStringLiteral("picture"), kPicture, false);
    view = std::make_unique<windows::CoverFlowView>(source);
    view->flowView()->setAnimationDuration(0);
    view->resize(640, 300);
    view->show();
  }
  void TearDown() override {
    source->open();
    view.reset();
  }
  bool loaded(std::size_t index, quintptr node) const {
    const ui::Photo& photo = view->photos().at(index);
    return photo.imageUID() != windows::CoverFlowView::kLoadingID &&
           photo.imageRepresentation() == NodePicture(node, kPicture);
  }
  bool placeholder(std::size_t index) const {
    const ui::Photo& photo = view->photos().at(index);
    return photo.imageUID() == windows::CoverFlowView::kLoadingID && photo.imageRepresentation().isNull() &&
           photo.imageVersion() == 0;
  }
  bool idle() const { return view->nImageState() == 2; }
  std::shared_ptr<GatedThumbnailSource> source;
  std::unique_ptr<windows::CoverFlowView> view;
};

TEST_F(CoverFlowThreads, TenRowsOrFewerAllLoadWhateverTheSelection) {
  EXPECT_EQ(view->nImageState(), -1);
  for (std::size_t count : {1u, 4u, 10u}) {
    view->setRows(nodes(100, count));
    view->selectedCoverFlow(static_cast<qint64>(count - 1));
    ASSERT_TRUE(spinUntil([&] { return idle(); })) << count;
    ASSERT_EQ(view->photos().size(), count);
    ASSERT_EQ(view->flowView()->itemsCount(), count);
    for (std::size_t i = 0; i < count; ++i) {
      EXPECT_TRUE(loaded(i, 100 + i)) << count << " row " << i;
      EXPECT_EQ(view->photos()[i].imageTitle(), QStringLiteral("picture%1.jpg").arg(100 + i));
      EXPECT_EQ(view->photos()[i].imageVersion(), 1u);
    }
  }
  // Each picture has an identifier of its own.
  std::set<QString> ids;
  for (const ui::Photo& photo : view->photos()) ids.insert(photo.imageUID());
  EXPECT_EQ(ids.size(), view->photos().size());
}

// Only the 201 around the selection are made, nearest first; those made
// already are not made again.
TEST_F(CoverFlowThreads, LongListLoadsAroundTheSelectionOnce) {
  view->setRows(nodes(1, 1000));
  ASSERT_TRUE(spinUntil([&] { return idle(); }));
  for (std::size_t i = 0; i < 1000; ++i) {
    if (i < 100)
      EXPECT_TRUE(loaded(i, 1 + i)) << i;
    else
      EXPECT_TRUE(placeholder(i)) << i;
  }
  source->forget();
  view->selectedCoverFlow(500);
  ASSERT_TRUE(spinUntil([&] { return idle(); }));
  const std::vector<quintptr> calls = source->calls();
  ASSERT_EQ(calls.size(), 200u);
  EXPECT_EQ(calls.front(), 501u);  // the selection's own node first
  std::set<quintptr> made(calls.begin(), calls.end());
  EXPECT_EQ(made.size(), 200u);
  EXPECT_EQ(*made.begin(), 401u);
  EXPECT_EQ(*made.rbegin(), 600u);
  EXPECT_TRUE(placeholder(399));
  EXPECT_TRUE(loaded(400, 401));
  EXPECT_TRUE(loaded(599, 600));
  EXPECT_TRUE(placeholder(600));
  source->forget();
  view->selectedCoverFlow(520);
  ASSERT_TRUE(spinUntil([&] { return idle(); }));
  const std::vector<quintptr> again = source->calls();
  std::set<quintptr> second(again.begin(), again.end());
  ASSERT_EQ(second.size(), 20u);
  EXPECT_EQ(*second.begin(), 601u);
  EXPECT_EQ(*second.rbegin(), 620u);
}

TEST_F(CoverFlowThreads, NewSelectionStopsTheRunningLoaderFirst) {
  source->gate({1});
  view->setRows(nodes(1, 1000));
  ASSERT_TRUE(spinUntil([&] { return source->blocked(); }));
  EXPECT_EQ(view->nImageState(), 0);
  const int before = view->generation();
  view->selectedCoverFlow(700);
  EXPECT_GT(view->generation(), before);
  EXPECT_EQ(view->flowSelectedIndex(), 700);
  source->open();
  ASSERT_TRUE(spinUntil([&] { return idle(); }));
  const std::vector<quintptr> calls = source->calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.front(), 1u);
  for (std::size_t i = 1; i < calls.size(); ++i)
    EXPECT_TRUE(calls[i] >= 601 && calls[i] <= 800) << "row of the old selection made: " << calls[i];
  // The picture being made when the selection changed is dropped.
  EXPECT_TRUE(placeholder(0));
  EXPECT_TRUE(loaded(699, 700));
}

// New rows while a picture of the old rows is being made: it never shows.
TEST_F(CoverFlowThreads, LatePictureOfEarlierRowsNeverShows) {
  source->gate({10});
  view->setRows(nodes(10, 5));
  ASSERT_TRUE(spinUntil([&] { return source->blocked(); }));
  view->setRows(nodes(20, 5));
  source->open();
  ASSERT_TRUE(spinUntil([&] { return idle(); }));
  for (std::size_t i = 0; i < 5; ++i) EXPECT_TRUE(loaded(i, 20 + i)) << i;
}

TEST_F(CoverFlowThreads, UserChoiceReportsTheRowAndRaisesVersions) {
  view->setRows(nodes(1, 30));
  ASSERT_TRUE(spinUntil([&] { return idle(); }));
  QSignalSpy chosen(view.get(), &windows::CoverFlowView::rowChosen);
  view->imageFlowDidSelectItemAtIndex(view->flowView(), 4);
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.at(0).at(0).toULongLong(), 4u);
  EXPECT_EQ(view->flowView()->selectedIndex(), 4);
  for (std::size_t i = 0; i < 30; ++i) EXPECT_EQ(view->photos()[i].imageVersion(), 2u) << i;
  EXPECT_EQ(view->imageFlowItemAtIndex(view->flowView(), 30), nullptr);
  EXPECT_EQ(view->imageFlowItemAtIndex(view->flowView(), 29), &view->photos()[29]);
}

// A maker that never returns on its own: the window keeps running its
// events through many selections; once it returns, the last selection's
// pictures show in bounded time.
TEST_F(CoverFlowThreads, BlockedMakerNeverBlocksTheWindow) {
  source->gate({7});
  view->setRows(nodes(7, 300));
  ASSERT_TRUE(spinUntil([&] { return source->blocked(); }));
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(1);
  for (qint64 round = 1; round <= 50; ++round) {
    view->selectedCoverFlow(round * 5);
    if (round % 10 == 0) view->setRows(nodes(static_cast<quintptr>(round) * 1000, 300));
    view->stopImageLoading();
    view->selectedCoverFlow(round);
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(spinUntil([&] { return ticks >= 5; }));
  EXPECT_EQ(view->nImageState(), 0);
  source->open();
  ASSERT_TRUE(spinUntil([&] { return idle(); }));
  for (std::size_t i = 0; i < 150; ++i) EXPECT_TRUE(loaded(i, 50000 + i)) << i;
  EXPECT_TRUE(placeholder(150));
}

}  // namespace
