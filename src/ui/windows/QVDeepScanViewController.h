#pragma once
// The deep-scan prompt: the content of the popover with which the results
// window suggests a deep scan after a quick one. Its close button asks the
// window to take the popover away (closeRequested).

#include <QLabel>
#include <QString>
#include <QToolButton>
#include <QWidget>

namespace windows {

class QVDeepScanViewController : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 300;
  static constexpr int kHeight = 66;

  explicit QVDeepScanViewController(QWidget* parent = nullptr);

  // The text of NQT_FOUR_DEEPSCAN_NODE into the label.
  void setTextFiled();
  // `text` as the label's rich text, the phrase "Deep Scan" set in
  // Helvetica 14; a text without the phrase reads as it is.
  static QString attributedText(const QString& text);

  QLabel* deepScanNodeLabel() const { return deepScanNodeLabel_; }
  QToolButton* closeButton() const { return closeButton_; }

 signals:
  void closeRequested();

 private:
  QLabel* deepScanNodeLabel_ = nullptr;
  QToolButton* closeButton_ = nullptr;
};

}  // namespace windows
