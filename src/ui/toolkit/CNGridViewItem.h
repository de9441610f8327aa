#pragma once
// A cell of the thumbnail grid: what every grid item shares (reuse
// identifier, index, selection and hover), the grid's colours and item
// layouts, and the results window's item with its thumbnail, check button
// and title.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <atomic>
#include <functional>

namespace ui {

// Index value of "no item".
inline constexpr quint64 NSNotFound = 0x7fffffffffffffffULL;

inline constexpr char kCNDefaultItemIdentifier[] = "CNGridViewItem";
inline constexpr char CNGridViewSelectAllItemsNotification[] = "CNGridViewSelectAllItems";
inline constexpr char CNGridViewDeSelectAllItemsNotification[] = "CNGridViewDeSelectAllItems";

// Colours of the grid.
namespace CNGridViewPalette {
QColor itemBackgroundColor();
QColor itemBackgroundHoverColor();
QColor itemBackgroundSelectionColor();
QColor itemSelectionRingColor();
QColor itemTitleColor();
QColor itemTitleShadowColor();
QColor selectionFrameColor();
}  // namespace CNGridViewPalette

// Drawing settings of an item.
struct CNGridViewItemLayout {
  static constexpr qreal kDefaultSelectionRingLineWidth = 3.0;
  static constexpr qreal kDefaultContentInset = 3.0;
  static constexpr qreal kDefaultItemBorderRadius = 5.0;

  QColor backgroundColor = CNGridViewPalette::itemBackgroundColor();
  QColor selectionRingColor = CNGridViewPalette::itemSelectionRingColor();
  qreal selectionRingLineWidth = kDefaultSelectionRingLineWidth;
  unsigned contentInset = 3;
  unsigned itemBorderRadius = 5;
  QFont titleFont = defaultTitleFont();
  QColor titleColor = CNGridViewPalette::itemTitleColor();
  QColor titleShadowColor = CNGridViewPalette::itemTitleShadowColor();
  qint32 visibleContentMask = 3;

  static CNGridViewItemLayout defaultLayout() { return {}; }
  static QFont defaultTitleFont();
};

// What the grid needs of a cell: reuse identifier, index, selection and hover.
class CNGridViewItemBase : public QWidget {
  Q_OBJECT
  Q_PROPERTY(qreal alphaValue READ alphaValue WRITE setAlphaValue)
 public:
  explicit CNGridViewItemBase(QWidget* parent = nullptr);
  ~CNGridViewItemBase() override;

  static QSize defaultItemSize() { return {150, 150}; }

  QString reuseIdentifier() const { return reuseIdentifier_; }
  void setReuseIdentifier(const QString& id) { reuseIdentifier_ = id; }
  quint64 index() const { return index_; }
  void setIndex(quint64 i) { index_ = i; }
  QVariant representedObject() const { return representedObject_; }
  void setRepresentedObject(const QVariant& o) { representedObject_ = o; }
  bool selected() const { return selected_; }
  void setSelected(bool s) { selected_ = s; }
  bool selectable() const { return selectable_; }
  void setSelectable(bool s) { selectable_ = s; }
  bool hovered() const { return hovered_; }
  virtual void setHovered(bool h) { hovered_ = h; }

  virtual void prepareForReuse();
  bool isReuseable() const { return !selected_; }

  qreal alphaValue() const { return alpha_; }
  void setAlphaValue(qreal a);

 private:
  QString reuseIdentifier_ = QString::fromLatin1(kCNDefaultItemIdentifier);
  quint64 index_ = NSNotFound;
  QVariant representedObject_;
  bool selected_ = false;
  bool selectable_ = true;
  bool hovered_ = false;
  qreal alpha_ = 1.0;
};

class CNGridViewItemDelegate {
 public:
  virtual ~CNGridViewItemDelegate() = default;
  virtual void doSelectItem(quint64 index) = 0;
};

// A cell of the results window: thumbnail in a tinted rounded box, check
// button and title.
class CNGridViewItem : public CNGridViewItemBase {
  Q_OBJECT
 public:
  explicit CNGridViewItem(QWidget* parent = nullptr);
  CNGridViewItem(const CNGridViewItemLayout* layout, const QString& reuseIdentifier, QWidget* parent = nullptr);

  // Where an image of the given size is drawn in an item with these bounds.
  static QRectF imageRectForSize(const QSizeF& image, const QRectF& bounds);

  // Clicks on the check button are refused while this says so (a scan
  // runs unpaused); the node's check state decides the button's image.
  static void setScanRunningQuery(std::function<bool()> query);
  static void setCheckStateQuery(std::function<int(quintptr node)> query);

  CNGridViewItemDelegate* delegate() const { return delegate_; }
  void setDelegate(CNGridViewItemDelegate* d) { delegate_ = d; }
  QImage itemImage() const { return itemImage_; }
  void setItemImage(const QImage& image) {
    itemImage_ = image;
    update();
  }
  QPushButton* itemButton() const { return itemButton_; }
  QLabel* titleLabel() const { return titleLabel_; }
  void setTitleText(const QString& text);
  QString itemTitle() const { return itemTitle_; }
  void setItemTitle(const QString& t) { itemTitle_ = t; }
  quintptr node() const { return node_.load(); }
  void setNode(quintptr n) { node_.store(n); }

  void setHovered(bool h) override;
  void prepareForReuse() override;

  // Any thread: the thumbnail for a node; dropped when the item shows
  // another node by the time it arrives. The caller keeps the item alive
  // until this returns; the image is applied on the item's thread.
  void updateImageViewWithImage(const QImage& image, quintptr node);
  void refImageWithImage(const QImage& image);

  // The check button's action.
  void setItemSelectBoxClickAction();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void initProperties();

  CNGridViewItemDelegate* delegate_ = nullptr;
  QImage itemImage_;
  QPushButton* itemButton_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QString itemTitle_;
  QString fullTitle_;
  std::atomic<quintptr> node_{0};
  const CNGridViewItemLayout* currentLayout_ = nullptr;
};

}  // namespace ui
