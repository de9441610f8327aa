#include "ui/windows/QVNSTableView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/toolkit/Strings.h"
#include "ui/windows/FileListModel.h"

namespace windows {

CustomHeaderView::CustomHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setSectionsMovable(false);
  setHighlightSections(false);
  setFixedHeight(kHeight);
}

QSize CustomHeaderView::sizeHint() const {
  QSize size = QHeaderView::sizeHint();
  size.setHeight(kHeight);
  return size;
}

void CustomHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  painter->save();
  painter->fillRect(rect, QColor(250, 251, 252));
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setPen(QPen(QColor(231, 233, 237), 1));
  const int x = rect.x();
  const int y = rect.y();
  const int r = rect.right();
  const int b = rect.bottom();
  painter->drawLine(x, y, r, y);
  painter->drawLine(r, y, r, b);
  painter->drawLine(r, b, x, b);
  QFont font(QStringLiteral("Helvetica"));
  font.setPixelSize(12);
  painter->setFont(font);
  painter->setPen(QColor(126, 143, 164));
  QRect text = rect.adjusted(0, 1, 0, 0);
  if (priority_ != 0)
    text.adjust(3, 0, 0, 0);
  else
    text.setWidth(text.width() - 8);
  const QString title = model() != nullptr ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, title);
  if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex && priority_ == 0) {
    const qreal left = rect.right() - 12;
    QPolygonF triangle;
    if (sortIndicatorOrder() == Qt::AscendingOrder)
      triangle << QPointF(left, rect.y() + 10) << QPointF(left + 4, rect.y() + 17) << QPointF(left + 8, rect.y() + 10);
    else
      triangle << QPointF(left, rect.bottom() - 10) << QPointF(left + 4, rect.bottom() - 17)
               << QPointF(left + 8, rect.bottom() - 10);
    painter->setPen(Qt::NoPen);
    painter->setBrush(Qt::white);
    painter->drawPolygon(triangle);
  }
  painter->restore();
}

ImageCheckBox::ImageCheckBox(QWidget* parent) : QAbstractButton(parent) {
  setImageName(QStringLiteral("pf_checkbox_no"));
  setFocusPolicy(Qt::NoFocus);
}

void ImageCheckBox::setImageName(const QString& name) {
  imageName_ = name;
  update();
}

void ImageCheckBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPixmap box = ui::ImageStore::pixmap(imageName_);
  if (!box.isNull()) p.drawPixmap(QRectF(rect()), box, QRectF(box.rect()));
}

QVNSTableView::QVNSTableView(QWidget* parent) : QTableView(parent), header_(new CustomHeaderView(this)) {
  setHorizontalHeader(header_);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(22);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setSortingEnabled(false);
  setWordWrap(false);
  setTextElideMode(Qt::ElideMiddle);
  setFrameShape(QFrame::NoFrame);
  setIconSize(QSize(14, 14));
}

int QVNSTableView::getLableHight() {
  const QString language = ui::Strings::language();
  static const QStringList longer = {QStringLiteral("de"), QStringLiteral("fr"), QStringLiteral("es"),
                                     QStringLiteral("it"), QStringLiteral("pt-BR")};
  return longer.contains(language) ? 40 : 25;
}

void QVNSTableView::changeNoValue(bool remove) {
  if (remove) {
    delete noValueView_;
    return;
  }
  if (noValueView_) return;
  auto* note = new QWidget(viewport());
  note->setObjectName(QStringLiteral("noValueView"));
  note->setGeometry(viewport()->rect());
  auto* background = new QLabel(note);
  background->setPixmap(ui::ImageStore::pixmap(QStringLiteral("bg_150")));
  background->setScaledContents(true);
  background->setGeometry(note->rect());
  auto* content = new QWidget(note);
  content->setObjectName(QStringLiteral("noValueContent"));
  auto* arrow = new QLabel(content);
  arrow->setPixmap(ui::ImageStore::pixmap(QStringLiteral("arrow")));
  arrow->setScaledContents(true);
  arrow->setGeometry(0, 0, 82, 39);
  auto* text = new QLabel(ui::Strings::text(QStringLiteral("NQT_FOUR_NO_VALUE_NOTE")), content);
  text->setObjectName(QStringLiteral("noValueText"));
  QFont font = text->font();
  font.setPixelSize(14);
  text->setFont(font);
  text->setStyleSheet(QStringLiteral("color: grey;"));
  text->setWordWrap(true);
  text->setGeometry(82, 0, 420, getLableHight());
  noValueView_ = note;
  nodeView_ = content;
  changeFrame();
  note->show();
}

void QVNSTableView::changeFrame() {
  if (!noValueView_) return;
  noValueView_->setGeometry(viewport()->rect());
  for (QObject* child : noValueView_->children())
    if (auto* label = qobject_cast<QLabel*>(child)) label->setGeometry(noValueView_->rect());
  if (nodeView_) {
    const int w = viewport()->width();
    const int h = viewport()->height();
    // Bottom-left origin (x, h/2) of a 50-point-high view, top-left here;
    // wide enough for the arrow and the whole text beside it.
    nodeView_->setGeometry(w / 2 - 200, h - h / 2 - 50, 82 + 420, 50);
  }
}

void QVNSTableView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  changeFrame();
}

void QVNSTableView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    ui::NotificationCenter::defaultCenter().post(QStringLiteral("SpacePreviewFile"));
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void QVNSTableView::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  QTableView::mousePressEvent(event);
  if (index.isValid() && index.column() == FileListModel::CheckBox && event->button() == Qt::LeftButton)
    emit checkBoxClicked(index.row());
}

}  // namespace windows
