#pragma once
// The progress bars of the windows: a solid bar, and the results window's
// grey track with a thin bar along its bottom.

#include <QWidget>

namespace ui {

// Solid blue bar.
class NSProgressBar : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Grey track with a 4-high blue bar along its bottom whose width follows a
// percentage.
class QVProgressView : public QWidget {
  Q_OBJECT
 public:
  explicit QVProgressView(QWidget* parent = nullptr);
  QVProgressView(const QRect& frame, QWidget* parent);

  void changeProgressValue(float percent);
  NSProgressBar* pProgress1() const { return pProgress1_; }

  // Bar width for a percentage in a view of width w: at least 10, full
  // once within one point of full.
  static float barWidthForPercent(float percent, float w);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  NSProgressBar* pProgress1_;
};

}  // namespace ui
