#pragma once
// A cover flow: the pictures of a list side by side, the selected one
// facing the viewer in the middle, the others turned away to both sides,
// each above its own reflection, with the title of the selected one below.
// The items come from a data source (their number and one Photo per
// index); a click on a side picture, the arrow keys and the wheel select,
// and the move to the new selection is animated. Only the pictures on
// screen are scaled and kept, each once per picture version, so a long
// list costs no more per frame than a short one.

#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <unordered_map>

#include "ui/toolkit/Photo.h"

namespace ui {

class ImageFlowView;

class ImageFlowDataSource {
 public:
  virtual ~ImageFlowDataSource() = default;
  virtual quint64 numberOfItemsInImageFlow(ImageFlowView* view) = 0;
  // nullptr past the end.
  virtual const Photo* imageFlowItemAtIndex(ImageFlowView* view, quint64 index) = 0;
};

class ImageFlowDelegate {
 public:
  virtual ~ImageFlowDelegate() = default;
  // The user chose this item (programmatic selections are not reported).
  virtual void imageFlowDidSelectItemAtIndex(ImageFlowView* view, quint64 index) = 0;
};

class ImageFlowView : public QWidget {
  Q_OBJECT
 public:
  explicit ImageFlowView(QWidget* parent = nullptr);

  // Neither is owned; nullptr detaches.
  void setDataSource(ImageFlowDataSource* source);
  void setDelegate(ImageFlowDelegate* delegate) { delegate_ = delegate; }

  // -1 while there are no items.
  qint64 selectedIndex() const { return count_ == 0 ? -1 : static_cast<qint64>(selected_); }
  // Moves to the item (clamped to the list), animated; not reported to the delegate.
  void setSelectedIndex(qint64 index);
  // Reads the number of items again and forgets every picture.
  void reloadData();
  // Reads the picture of one item again (when it is on screen).
  void reloadCellDataAtIndex(quint64 index);
  quint64 itemsCount() const { return count_; }
  // Forgets the scaled pictures (they are made again when drawn).
  void freeCache();

  // Where the flow stands: the index facing the viewer, fractional during a move.
  double position() const { return position_; }
  // Stands at a position at once (no animation); for tests and measurements.
  void setPosition(double position);
  bool isAnimating() const { return animation_.isActive(); }
  // 0 moves at once.
  void setAnimationDuration(int ms) { durationMs_ = ms; }
  // Scaled pictures kept.
  std::size_t cachedItems() const { return cache_.size(); }
  // Items drawn on each side of the middle one.
  int sideItems() const;
  // The item drawn under a point of the view, or -1.
  qint64 itemAt(const QPoint& point) const;

 signals:
  void positionChanged(double position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // A picture above its reflection, and the same turned to either side
  // (made once, as side pictures only move sideways).
  struct Turned {
    QPixmap pixmap;
    QPoint offset;  // of its top left from the picture's middle
  };
  struct Card {
    QString uid;
    quint64 version = 0;
    int side = 0;
    QPixmap pixmap;
    QPixmap shaded;  // darker, made while it turns
    Turned left;
    Turned right;
  };
  struct Placement {
    qint64 index;
    double rel;            // from the middle, in pictures
    QPointF middle;        // where the picture's middle is drawn
    QTransform transform;  // card coordinates to view coordinates
  };

  void userSelect(qint64 index);
  void step();
  int cardSide() const;
  Card& card(quint64 index);
  QPixmap makeCard(const Photo* photo, int side) const;
  Turned turn(const QPixmap& card, int side, double sign) const;
  QTransform turning(double angle, int side) const;
  double topMargin(int side) const;
  std::vector<Placement> placements() const;
  void dropFarCards();
  const QPixmap& background();

  ImageFlowDataSource* source_ = nullptr;
  ImageFlowDelegate* delegate_ = nullptr;
  quint64 count_ = 0;
  quint64 selected_ = 0;
  double position_ = 0;
  double from_ = 0;
  int durationMs_ = 250;
  QTimer animation_;
  QElapsedTimer clock_;
  std::unordered_map<quint64, Card> cache_;
  QPixmap background_;
  Card placeholder_;  // shared by the pictures not made yet
};

}  // namespace ui
