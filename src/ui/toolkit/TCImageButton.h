#pragma once
// A button drawn from pictures only: one named image per state (normal,
// pressed, hover, disabled).

#include <QAbstractButton>
#include <QPixmap>
#include <QRectF>

namespace ui {

// A button drawn with one of four named images by state: normal, pressed
// ("active"), hover and disabled. isDisabled is the button's own enabled
// flag: true means clickable (the name reads the other way).
class TCImageButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum class DrawnImage { Standard, None, Normal, Active, Hover, Disable };

  explicit TCImageButton(QWidget* parent = nullptr);
  TCImageButton(const QRect& frame, QWidget* parent);

  void setImageFromFileNormalName(const QString& normal, const QString& active, const QString& hover,
                                  const QString& disable);
  void setButtonEnabled(bool enabled);
  bool isButtonEnabled() const { return isDisabled_; }
  void setIsFocus(bool focus) { isFocus_ = focus; }
  bool isFocus() const { return isFocus_; }
  bool isTracking() const { return isTracking_; }

  // Which image the next paint draws.
  DrawnImage drawnImage() const;
  QRectF dstRect() const { return dstRect_; }
  // Draws the images stretched to the button's frame (both axes on their
  // own) instead of at their own size.
  void setScalesImageToFrame(bool scales);
  bool scalesImageToFrame() const { return scalesToFrame_; }

  QSize sizeHint() const override;

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool isDisabled_ = true;
  QPixmap normalImage_;
  QPixmap disableImage_;
  QRectF dstRect_;
  QRectF srcRect_;
  bool isTracking_ = false;
  QPixmap activeImage_;
  QPixmap hoverImage_;
  bool isFocus_ = false;
  bool scalesToFrame_ = false;
};

}  // namespace ui
