#pragma once
// A popover: a borderless window next to a point of its owner window, with
// an arrow towards that point. It stays above its owner, follows it and
// closes with it.

#include <QBrush>
#include <QColor>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace ui {

// Borderless window that shows one view next to a point of an owner window
// (or of the screen), with an optional arrow towards the point, rounded
// corners and a thin border. It follows its owner when the owner moves and
// hides with it.
//
// Sides: 0 left, 1 below, 2 right, 3 above (centred); 4/5 left extending
// up/down, 6/7 right extending up/down, 8/9 above extending left/right,
// 10/11 below extending left/right; 12 chooses the side at creation.
class MAAttachedWindow : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kAutomaticSide = 12;

  // Shape settings used by the geometry.
  struct Metrics {
    qreal viewMargin = 2.0;
    qreal arrowBaseWidth = 0.0;
    qreal arrowHeight = 0.0;
    qreal cornerRadius = 8.0;
    bool drawsRoundCornerBesideArrow = true;
    bool hasArrow = true;
  };

  // point is in the owner's coordinates, or global when there is no owner.
  // A null view gives no window. With an owner, the owner owns the window.
  static MAAttachedWindow* create(QWidget* view, const QPointF& point, QWidget* window = nullptr,
                                  int side = kAutomaticSide, qreal distance = 0);
  ~MAAttachedWindow() override;

  void setPoint(const QPointF& point, int side);
  int side() const { return side_; }
  QPointF point() const { return point_; }
  qreal distance() const { return distance_; }
  QWidget* view() const { return view_; }
  // Where the view lies in the window.
  QRectF viewFrame() const;

  QColor windowBackgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const QColor& c);
  // Tiles the image as the fill; a null image changes nothing.
  void setBackgroundImage(const QPixmap& image);
  void setBorderColor(const QColor& c);
  qreal borderWidth() const { return borderWidth_; }
  void setBorderWidth(qreal w);
  qreal viewMargin() const { return m_.viewMargin; }
  void setViewMargin(qreal m);
  qreal cornerRadius() const { return m_.cornerRadius; }
  void setCornerRadius(qreal r);
  qreal arrowBaseWidth() const { return m_.arrowBaseWidth; }
  void setArrowBaseWidth(qreal w);
  qreal arrowHeight() const { return m_.arrowHeight; }
  void setArrowHeight(qreal h);
  bool hasArrow() const { return m_.hasArrow; }
  void setHasArrow(bool v);
  bool drawsRoundCornerBesideArrow() const { return m_.drawsRoundCornerBesideArrow; }
  void setDrawsRoundCornerBesideArrow(bool v);
  const Metrics& metrics() const { return m_; }

  // Closing: performClose closes the owner when there is one, as a window
  // command would; closePopover hides this window and may be called any
  // number of times; scheduleClose closes it after a delay.
  void performClose();
  void closePopover();
  void scheduleClose(int ms);

  // Geometry in y-up coordinates (y grows upwards).
  static qreal arrowInset(const Metrics& m);
  static QRectF frameForPoint(const QSizeF& view, const QPointF& pointUp, int side, qreal distance, const Metrics& m,
                              QRectF* viewFrameUp = nullptr);
  static int bestSide(const QSizeF& view, const QPointF& pointUp, qreal distance, const Metrics& m,
                      const QRectF& screenUp, const QRectF& ownerUp);
  // Shape in the window's own y-up coordinates.
  static QPainterPath backgroundPath(const QRectF& viewFrameUp, int side, const Metrics& m);
  // Between Qt's global coordinates and y-up ones (the same flip both ways).
  static QPointF flip(const QPointF& p) { return {p.x(), -p.y()}; }
  static QRectF flip(const QRectF& r) { return {r.x(), -(r.y() + r.height()), r.width(), r.height()}; }

  // The shape in this window's Qt coordinates.
  QPainterPath shapePath() const;

 signals:
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  MAAttachedWindow(QWidget* view, const QPointF& point, QWidget* window, int side, qreal distance);
  QPointF pointUp() const;
  int bestSideForAutomaticPosition() const;
  void updateAttachedGeometry();
  void updateBackground();
  void redisplay();

  QColor borderColor_ = Qt::white;
  qreal borderWidth_ = 0.2;
  Metrics m_;
  QColor backgroundColor_ = Qt::white;
  QBrush backgroundBrush_ = QBrush(Qt::white);
  QPointer<QWidget> view_;
  QPointer<QWidget> window_;
  QPointF point_;
  int side_;
  qreal distance_;
  QRectF viewFrameUp_;
  bool resizing_ = false;
  QTimer closeTimer_;
};

}  // namespace ui
