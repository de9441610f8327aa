// The cover flow widget over a data source of plain colour pictures: the
// item protocol of Photo, the selection by click, keys and wheel, the
// picture that faces the viewer and the bounded cache of a long list.

#include <QCoreApplication>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "ui/toolkit/ImageFlowView.h"
#include "ui/toolkit/Photo.h"

using namespace ui;

namespace {

QImage colour(int n) {
  QImage image(120, 90, QImage::Format_RGB32);
  image.fill(QColor::fromHsv((n * 37) % 360, 200, 230));
  return image;
}

struct Source : ImageFlowDataSource, ImageFlowDelegate {
  std::vector<Photo> photos;
  std::vector<quint64> chosen;
  quint64 numberOfItemsInImageFlow(ImageFlowView*) override { return photos.size(); }
  const Photo* imageFlowItemAtIndex(ImageFlowView*, quint64 index) override {
    return index < photos.size() ? &photos[index] : nullptr;
  }
  void imageFlowDidSelectItemAtIndex(ImageFlowView*, quint64 index) override { chosen.push_back(index); }
  void fill(int count) {
    photos.clear();
    for (int i = 0; i < count; ++i) {
      photos.emplace_back(colour(i), QStringLiteral("id%1").arg(i));
      photos.back().setName(QStringLiteral("picture %1").arg(i));
    }
  }
};

struct ImageFlowFixture : ::testing::Test {
  Source source;
  ImageFlowView view;
  void SetUp() override {
    view.setAnimationDuration(0);
    view.resize(700, 360);
    view.setDelegate(&source);
    view.show();
  }
  // The colour under the middle of the picture that faces the viewer.
  QColor middle() {
    const QImage shot = view.grab().toImage();
    return shot.pixelColor(view.width() / 2, 100);
  }
};

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 && std::abs(a.blue() - b.blue()) < 12;
}

TEST(Photo, AnswersTheItemQuestionsAndCountsVersions) {
  Photo photo(colour(1), QStringLiteral("Loading..."));
  EXPECT_EQ(photo.imageUID(), QStringLiteral("Loading..."));
  EXPECT_EQ(photo.imageRepresentationType(), Photo::kImageRepresentationType);
  EXPECT_EQ(photo.imageRepresentation(), colour(1));
  EXPECT_EQ(photo.imageVersion(), 0u);
  photo.setImageVersion();
  photo.setImageVersion();
  EXPECT_EQ(photo.imageVersion(), 2u);
  photo.setName(QStringLiteral("a.jpg"));
  photo.setImageUID(QStringLiteral("other"));
  photo.setImageRepresentation(colour(2));
  EXPECT_EQ(photo.imageTitle(), QStringLiteral("a.jpg"));
  EXPECT_EQ(photo.imageUID(), QStringLiteral("other"));
  EXPECT_EQ(photo.imageRepresentation(), colour(2));
}

TEST_F(ImageFlowFixture, EmptySourceHasNoSelection) {
  view.setDataSource(&source);
  EXPECT_EQ(view.itemsCount(), 0u);
  EXPECT_EQ(view.selectedIndex(), -1);
  view.setSelectedIndex(3);
  EXPECT_EQ(view.selectedIndex(), -1);
  EXPECT_FALSE(view.grab().isNull());
}

TEST_F(ImageFlowFixture, SelectionFacesTheViewerAndIsClamped) {
  source.fill(30);
  view.setDataSource(&source);
  EXPECT_EQ(view.itemsCount(), 30u);
  EXPECT_EQ(view.selectedIndex(), 0);
  EXPECT_TRUE(near(middle(), colour(0).pixelColor(0, 0))) << middle().name().toStdString();
  view.setSelectedIndex(12);
  EXPECT_EQ(view.selectedIndex(), 12);
  EXPECT_DOUBLE_EQ(view.position(), 12.0);
  EXPECT_TRUE(near(middle(), colour(12).pixelColor(0, 0))) << middle().name().toStdString();
  view.setSelectedIndex(99);
  EXPECT_EQ(view.selectedIndex(), 29);
  view.setSelectedIndex(-5);
  EXPECT_EQ(view.selectedIndex(), 0);
  // Programmatic selections are not reported as the user's.
  EXPECT_TRUE(source.chosen.empty());
}

TEST_F(ImageFlowFixture, ClickKeysAndWheelSelectAndReport) {
  source.fill(30);
  view.setDataSource(&source);
  view.setSelectedIndex(10);
  // A side picture right of the middle one.
  QPoint right;
  for (int x = view.width() / 2 + 10; x < view.width(); x += 4)
    if (view.itemAt(QPoint(x, 100)) > 10) {
      right = QPoint(x, 100);
      break;
    }
  ASSERT_FALSE(right.isNull());
  const qint64 target = view.itemAt(right);
  QTest::mouseClick(&view, Qt::LeftButton, {}, right);
  EXPECT_EQ(view.selectedIndex(), target);
  QTest::keyClick(&view, Qt::Key_Left);
  EXPECT_EQ(view.selectedIndex(), target - 1);
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_EQ(view.selectedIndex(), 29);
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_EQ(view.selectedIndex(), 29);
  QWheelEvent wheel(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), {}, QPoint(0, 240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&view, &wheel);
  EXPECT_EQ(view.selectedIndex(), 27);
  EXPECT_EQ(source.chosen,
            (std::vector<quint64>{static_cast<quint64>(target), static_cast<quint64>(target - 1), 29, 29, 27}));
  // A click beside every picture selects nothing.
  source.chosen.clear();
  QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_TRUE(source.chosen.empty());
}

// The count and the pictures are read again on reload: a shorter list keeps
// the selection inside it, and the new pictures are the ones drawn.
TEST_F(ImageFlowFixture, ReloadReadsTheCountAgainAndKeepsTheSelectionInside) {
  source.fill(40);
  view.setDataSource(&source);
  view.setSelectedIndex(35);
  source.fill(8);
  for (Photo& photo : source.photos) photo.setImageRepresentation(colour(77));
  view.reloadData();
  EXPECT_EQ(view.itemsCount(), 8u);
  EXPECT_EQ(view.selectedIndex(), 7);
  EXPECT_TRUE(near(middle(), colour(77).pixelColor(0, 0))) << middle().name().toStdString();
  source.photos.clear();
  view.reloadData();
  EXPECT_EQ(view.itemsCount(), 0u);
  EXPECT_EQ(view.selectedIndex(), -1);
  EXPECT_EQ(view.itemAt(QPoint(view.width() / 2, 100)), -1);
}

// Page keys move by the pictures drawn on one side; Home goes to the first.
TEST_F(ImageFlowFixture, PageAndHomeKeysMoveByWhatIsOnScreen) {
  source.fill(100);
  view.setDataSource(&source);
  view.setSelectedIndex(50);
  const int page = view.sideItems();
  ASSERT_GT(page, 0);
  QTest::keyClick(&view, Qt::Key_PageDown);
  EXPECT_EQ(view.selectedIndex(), 50 + page);
  QTest::keyClick(&view, Qt::Key_PageUp);
  QTest::keyClick(&view, Qt::Key_PageUp);
  EXPECT_EQ(view.selectedIndex(), 50 - page);
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_EQ(view.selectedIndex(), 51 - page);
  QTest::keyClick(&view, Qt::Key_Home);
  EXPECT_EQ(view.selectedIndex(), 0);
  QTest::keyClick(&view, Qt::Key_Up);
  EXPECT_EQ(view.selectedIndex(), 0);
  EXPECT_EQ(source.chosen,
            (std::vector<quint64>{static_cast<quint64>(50 + page), static_cast<quint64>(50),
                                  static_cast<quint64>(50 - page), static_cast<quint64>(51 - page), 0, 0}));
}

TEST_F(ImageFlowFixture, ANewVersionOrPictureIsDrawnOnlyAfterItsCellReloads) {
  source.fill(5);
  view.setDataSource(&source);
  view.setSelectedIndex(2);
  EXPECT_TRUE(near(middle(), colour(2).pixelColor(0, 0)));
  source.photos[2].setImageRepresentation(colour(40));
  // Kept until told: the same identifier and version.
  EXPECT_TRUE(near(middle(), colour(2).pixelColor(0, 0)));
  source.photos[2].setImageVersion();
  view.reloadCellDataAtIndex(2);
  EXPECT_TRUE(near(middle(), colour(40).pixelColor(0, 0))) << middle().name().toStdString();
}

TEST_F(ImageFlowFixture, LongListKeepsOnlyThePicturesNearTheSelection) {
  source.fill(1000);
  view.setDataSource(&source);
  for (int i = 0; i < 1000; i += 7) {
    view.setSelectedIndex(i);
    view.grab();
  }
  const std::size_t bound = static_cast<std::size_t>(4 * view.sideItems() + 8);
  EXPECT_LE(view.cachedItems(), bound);
  EXPECT_GT(view.cachedItems(), 0u);
  view.freeCache();
  EXPECT_EQ(view.cachedItems(), 0u);
}

TEST_F(ImageFlowFixture, AMoveIsAnimatedToTheNewSelection) {
  source.fill(50);
  view.setDataSource(&source);
  view.setAnimationDuration(120);
  view.setSelectedIndex(20);
  EXPECT_TRUE(view.isAnimating());
  EXPECT_LT(view.position(), 20.0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !view.isAnimating(); }, 5000));
  EXPECT_DOUBLE_EQ(view.position(), 20.0);
}

}  // namespace
