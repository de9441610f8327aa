#pragma once
// Geometry for layouts given from a parent's bottom-left corner: such
// frames in Qt's top-left coordinates, and children kept in place by their
// resizing bits when the parent changes size.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <vector>

class QWidget;

namespace ui {

// A frame given with its origin at the bottom left of a parent of height
// parentH, as a rectangle in Qt's top-left coordinates.
QRect fromBottomLeft(int parentH, int x, int y, int w, int h);
QRectF fromBottomLeft(qreal parentH, qreal x, qreal y, qreal w, qreal h);
QRectF fromBottomLeft(qreal parentH, const QRectF& r);

// Resizing bits of a child in a bottom-left parent.
enum Autoresize : unsigned {
  MinXMargin = 1,  // left margin flexible
  WidthSizable = 2,
  MaxXMargin = 4,  // right margin flexible
  MinYMargin = 8,  // bottom margin flexible
  HeightSizable = 16,
  MaxYMargin = 32,  // top margin flexible
};

// Keeps children placed by their resizing bits when the parent changes size.
// A change of the parent's width or height is shared among the flexible
// parts in proportion to their sizes; with no flexible part the left and
// the bottom margins stay.
class AutoresizeHelper : public QObject {
  Q_OBJECT
 public:
  explicit AutoresizeHelper(QWidget* parent);

  // Records the child's current frame; called again after a manual move.
  void add(QWidget* child, unsigned mask);
  void remove(QWidget* child);
  void apply();

  // One axis: margins and size before, total change; returns the new
  // (leading margin, size).
  static std::pair<qreal, qreal> resizeAxis(qreal lead, qreal size, qreal trail, qreal delta, bool leadFlex,
                                            bool sizeFlex, bool trailFlex);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Record {
    QPointer<QWidget> child;
    unsigned mask;
    QRect frame;
    QSize parentSize;
  };
  QWidget* parent_;
  std::vector<Record> records_;
};

}  // namespace ui
