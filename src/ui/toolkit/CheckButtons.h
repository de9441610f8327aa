#pragma once
// Three small buttons: the check-box cell of a result-tree row
// (NewButton), a category tile of the category page (NQTCustemButton) and
// a button with the pointing-hand cursor (QVHandButton).

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRectF>
#include <QVariant>

#include <functional>

class QPainter;

namespace ui {

// Draws one result-tree row (check box at the left, icon, label) and
// answers the check-box click. Rows are in the outline's top-left
// coordinates. `node` carries the tree item the check box belongs to.
class NewButton {
 public:
  static constexpr qreal kLabelWidth = 800;
  static constexpr qreal kLabelHeight = 22;
  static constexpr qreal kIconSide = 18;
  static constexpr qreal kHitWidth = 15;
  static constexpr qreal kHitHeight = 30;
  static constexpr int kLatchMs = 200;

  QString label;
  bool hasLabel = true;
  QPixmap icon;
  bool hasIcon = false;
  QString name;
  QVariant node;
  int state = 0;  // 0 unchecked, 1 partly, 2 checked
  // clickButtonAction: the check box of this cell was clicked.
  std::function<void(NewButton&)> delegate;

  QRectF imageRectForBounds(const QRectF& frame) const;
  QRectF iconImageRectForBounds(const QRectF& frame) const;
  // Icon, label, then the check-box image.
  void drawWithFrame(QPainter& painter, const QRectF& frame, const QColor& textColor = Qt::black) const;
  // A mouse press at `pos` in a row of `frame`: true when it hit the
  // check box and was taken (the delegate was told, the latch set).
  bool hitTestForEvent(const QPointF& pos, const QRectF& frame);

  // The process-wide click latch: one check-box click per 0.2 s.
  static bool clickLatched();
  static void changeVlaue();
};

// A category tile: white, with a picture that is the hover picture while
// the tile is selected. isDisabled true means usable (the name reads the
// other way round).
class NQTCustemButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit NQTCustemButton(QWidget* parent = nullptr);

  void setIconImage(const QString& image, const QString& hoverImage);
  void changeButtonStart(bool selected);
  void setButtonEnabled(bool usable);
  bool isDisabled() const { return isDisabled_; }
  bool isSelected() const { return isSelected_; }
  bool isFocus() const { return isFocus_; }
  void setIsFocus(bool v) { isFocus_ = v; }
  int buttonTag() const { return buttonTag_; }
  void setButtonTag(int tag) { buttonTag_ = tag; }
  QLabel* iconImageView() const { return iconImageView_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void showPicture(bool hover);

  bool isDisabled_ = true;
  bool isSelected_ = true;
  QLabel* iconImageView_ = nullptr;
  QPixmap iconImage_;
  QPixmap iconHoverImage_;
  int buttonTag_ = 0;
  bool isFocus_ = false;
};

// A push button showing the pointing-hand cursor while the mouse is over it.
class QVHandButton : public QPushButton {
  Q_OBJECT
 public:
  explicit QVHandButton(QWidget* parent = nullptr);
};

}  // namespace ui
