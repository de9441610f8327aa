#include "ui/toolkit/CNGridViewItem.h"

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/NotificationCenter.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QThread>

#include <algorithm>

namespace ui {

namespace CNGridViewPalette {
QColor itemBackgroundColor() { return QColor::fromRgbF(0, 0, 0, 0.05f); }
QColor itemBackgroundHoverColor() { return QColor::fromRgbF(0, 0, 0, 0.3f); }
QColor itemBackgroundSelectionColor() { return QColor::fromRgbF(0, 0, 0, 0.25f); }
QColor itemSelectionRingColor() { return QColor::fromRgbF(0.346f, 0.531f, 0.792f, 1.0f); }
QColor itemTitleColor() { return QColor::fromRgbF(0.196f, 0.2f, 0.2f, 1.0f); }
QColor itemTitleShadowColor() { return QColor::fromRgbF(1, 1, 1, 0.8f); }
QColor selectionFrameColor() { return QColor(128, 128, 128); }
}  // namespace CNGridViewPalette

QFont CNGridViewItemLayout::defaultTitleFont() {
  QFont f(QStringLiteral("Helvetica"));
  f.setPixelSize(12);
  return f;
}

// ---- CNGridViewItemBase ---------------------------------------------------

CNGridViewItemBase::CNGridViewItemBase(QWidget* parent) : QWidget(parent) {
  resize(defaultItemSize());
  auto& nc = NotificationCenter::defaultCenter();
  nc.addObserver(this, QString::fromLatin1(CNGridViewSelectAllItemsNotification),
                 [this](const Notification&) { setSelected(true); });
  nc.addObserver(this, QString::fromLatin1(CNGridViewDeSelectAllItemsNotification),
                 [this](const Notification&) { setSelected(false); });
}

CNGridViewItemBase::~CNGridViewItemBase() { NotificationCenter::defaultCenter().removeObserver(this); }

void CNGridViewItemBase::prepareForReuse() {
  index_ = NSNotFound;
  selected_ = false;
  selectable_ = true;
  hovered_ = false;
}

void CNGridViewItemBase::setAlphaValue(qreal a) {
  alpha_ = std::clamp<qreal>(a, 0, 1);
  if (alpha_ >= 1.0) {
    setGraphicsEffect(nullptr);
    return;
  }
  auto* effect = qobject_cast<QGraphicsOpacityEffect*>(graphicsEffect());
  if (!effect) {
    effect = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(effect);
  }
  effect->setOpacity(alpha_);
}

// ---- CNGridViewItem -------------------------------------------------------

namespace {
std::function<bool()>& scanRunningQuery() {
  static std::function<bool()> q;
  return q;
}
std::function<int(quintptr)>& checkStateQuery() {
  static std::function<int(quintptr)> q;
  return q;
}
}  // namespace

void CNGridViewItem::setScanRunningQuery(std::function<bool()> query) { scanRunningQuery() = std::move(query); }

void CNGridViewItem::setCheckStateQuery(std::function<int(quintptr)> query) { checkStateQuery() = std::move(query); }

CNGridViewItem::CNGridViewItem(QWidget* parent) : CNGridViewItemBase(parent) { initProperties(); }

CNGridViewItem::CNGridViewItem(const CNGridViewItemLayout*, const QString& reuseIdentifier, QWidget* parent)
    : CNGridViewItem(parent) {
  setReuseIdentifier(reuseIdentifier);
}

void CNGridViewItem::initProperties() {
  if (!itemButton_) {
    itemButton_ = new QPushButton(this);
    itemButton_->setObjectName(QStringLiteral("itemButton"));
    itemButton_->setGeometry(16, 121, 13, 13);
    itemButton_->setFlat(true);
    itemButton_->setIconSize(QSize(13, 13));
    itemButton_->setFocusPolicy(Qt::NoFocus);
    itemButton_->setStyleSheet(QStringLiteral("QPushButton{border:none;padding:0;background:transparent;}"));
    connect(itemButton_, &QPushButton::clicked, this, [this] { setItemSelectBoxClickAction(); });
  }
  titleLabel_ = new QLabel(this);
  titleLabel_->setObjectName(QStringLiteral("titleLabel"));
  titleLabel_->setGeometry(30, 120, 120, 25);
  QFont f = titleLabel_->font();
  f.setPixelSize(11);
  titleLabel_->setFont(f);
  titleLabel_->setAutoFillBackground(true);
  QPalette pal = titleLabel_->palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  titleLabel_->setPalette(pal);
  titleLabel_->setTextFormat(Qt::PlainText);
}

void CNGridViewItem::setTitleText(const QString& text) {
  fullTitle_ = text;
  titleLabel_->setToolTip(text);
  titleLabel_->setText(titleLabel_->fontMetrics().elidedText(text, Qt::ElideRight, titleLabel_->width() - 4));
}

QRectF CNGridViewItem::imageRectForSize(const QSizeF& image, const QRectF& b) {
  const QRectF box(b.x() + 5, b.y() + 5, b.width() - 5, b.height() - 5);
  const qreal w = std::min<qreal>(image.width(), 90);
  const qreal h = std::min<qreal>(image.height(), 90);
  return QRectF((box.width() - w) / 2 + 5, (box.height() - h) / 2 - 5, w, h);
}

void CNGridViewItem::setHovered(bool h) {
  CNGridViewItemBase::setHovered(h);
  update();
}

void CNGridViewItem::prepareForReuse() {
  CNGridViewItemBase::prepareForReuse();
  itemImage_ = QImage();
  itemTitle_ = QString(QLatin1String(""));
}

void CNGridViewItem::updateImageViewWithImage(const QImage& image, quintptr node) {
  if (node != node_.load()) return;
  QThread::msleep(10);
  // Views change only on their own thread; the node is checked again there.
  QMetaObject::invokeMethod(
      this,
      [this, image, node] {
        if (node == node_.load()) refImageWithImage(image);
      },
      Qt::AutoConnection);
}

void CNGridViewItem::refImageWithImage(const QImage& image) {
  if (image.width() > 0 && image.height() > 0) {
    itemImage_ = image;
    update();
  }
}

void CNGridViewItem::setItemSelectBoxClickAction() {
  if (scanRunningQuery() && scanRunningQuery()()) return;
  const int state = checkStateQuery() ? checkStateQuery()(node_.load()) : 0;
  itemButton_->setIcon(ImageStore::pixmap(state > 0 ? QStringLiteral("checkbox_no") : QStringLiteral("checkbox_yes")));
  if (delegate_) delegate_->doSelectItem(index());
}

void CNGridViewItem::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF b = rect();
  const QRectF box(b.x() + 5, b.y() + 5, b.width() - 5, b.height() - 5);
  QPainterPath path;
  path.addRoundedRect(box, 10, 10);
  p.fillPath(path,
             hovered() ? CNGridViewPalette::itemBackgroundHoverColor() : CNGridViewPalette::itemBackgroundColor());
  if (selected()) {
    QPen pen(Qt::black, 0);
    if (currentLayout_) pen = QPen(currentLayout_->selectionRingColor, currentLayout_->selectionRingLineWidth);
    p.strokePath(path, pen);
  }
  if (!itemImage_.isNull()) p.drawImage(imageRectForSize(itemImage_.size(), b), itemImage_);
}

}  // namespace ui
