#pragma once
// The results window's file list: a table whose header cells are drawn
// flat and light, with a note laid over it when the chosen item holds no
// files, and the space bar posting "SpacePreviewFile" for the quick
// preview. A click on a row's check box is reported (checkBoxClicked).

#include <QAbstractButton>
#include <QHeaderView>
#include <QPointer>
#include <QTableView>

namespace windows {

// The flat header: light fill, thin frame lines, grey-blue text.
class CustomHeaderView : public QHeaderView {
  Q_OBJECT
 public:
  explicit CustomHeaderView(QWidget* parent = nullptr);
  static constexpr int kHeight = 20;
  // The sort indicator is drawn clear (invisible) unless the priority is 0.
  int priority() const { return priority_; }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  QSize sizeHint() const override;

 private:
  int priority_ = 1;
};

// A check box drawn with the list's check images (select-all of the header).
class ImageCheckBox : public QAbstractButton {
  Q_OBJECT
 public:
  explicit ImageCheckBox(QWidget* parent = nullptr);
  void setImageName(const QString& name);
  const QString& imageName() const { return imageName_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString imageName_;
};

class QVNSTableView : public QTableView {
  Q_OBJECT
 public:
  explicit QVNSTableView(QWidget* parent = nullptr);

  // false shows the empty-result note (once), true removes it.
  void changeNoValue(bool remove);
  bool noteShown() const { return noValueView_ != nullptr; }
  // Height of the note's text: 40 for languages with longer texts, else 25.
  static int getLableHight();
  // Centres the note's content for the table's size.
  void changeFrame();

 signals:
  void checkBoxClicked(int row);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  CustomHeaderView* header_;
  QPointer<QWidget> noValueView_;
  QPointer<QWidget> nodeView_;
};

}  // namespace windows
