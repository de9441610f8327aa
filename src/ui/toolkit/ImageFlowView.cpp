#include "ui/toolkit/ImageFlowView.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "ui/toolkit/ImageStore.h"

namespace ui {

namespace {

constexpr double kSideAngle = 62.0;    // degrees a side picture is turned
constexpr double kCentreGap = 0.74;    // middle to first side picture, in picture sides
constexpr double kSideSpacing = 0.19;  // between side pictures, in picture sides
constexpr double kReflection = 0.33;   // reflection height, in picture sides
constexpr int kTitleBand = 44;         // room for the title under the reflections
constexpr int kMaxSideItems = 40;
constexpr double kViewDistance = 2.5;  // in picture sides
constexpr double kNearGrowth = 1.23;   // of the near edge of a side picture
constexpr int kSideShade = 100;        // darkening of side pictures, of 255

// The same picture darker (its clear parts stay clear).
QPixmap shaded(const QPixmap& card) {
  QImage out = card.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter p(&out);
  p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
  p.fillRect(out.rect(), QColor(0, 0, 0, kSideShade));
  p.end();
  return QPixmap::fromImage(std::move(out));
}

double easeOut(double t) { return 1.0 - std::pow(1.0 - t, 3.0); }

}  // namespace

ImageFlowView::ImageFlowView(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  animation_.setTimerType(Qt::PreciseTimer);
  animation_.setInterval(16);
  connect(&animation_, &QTimer::timeout, this, &ImageFlowView::step);
}

void ImageFlowView::setDataSource(ImageFlowDataSource* source) {
  source_ = source;
  reloadData();
}

void ImageFlowView::reloadData() {
  count_ = source_ ? source_->numberOfItemsInImageFlow(this) : 0;
  cache_.clear();
  if (count_ == 0) {
    selected_ = 0;
    position_ = 0;
    animation_.stop();
  } else if (selected_ >= count_) {
    setSelectedIndex(static_cast<qint64>(count_ - 1));
  }
  update();
}

void ImageFlowView::reloadCellDataAtIndex(quint64 index) {
  cache_.erase(index);
  const double rel = static_cast<double>(index) - position_;
  if (std::abs(rel) <= sideItems() + 1) update();
}

void ImageFlowView::freeCache() {
  cache_.clear();
  background_ = QPixmap();
  placeholder_ = Card{};
  update();
}

void ImageFlowView::setSelectedIndex(qint64 index) {
  if (count_ == 0) return;
  selected_ = static_cast<quint64>(std::clamp<qint64>(index, 0, static_cast<qint64>(count_ - 1)));
  if (durationMs_ <= 0 || !isVisible()) {
    setPosition(static_cast<double>(selected_));
    return;
  }
  from_ = position_;
  clock_.start();
  if (!animation_.isActive()) animation_.start();
}

void ImageFlowView::setPosition(double position) {
  animation_.stop();
  position_ = std::clamp(position, 0.0, count_ == 0 ? 0.0 : static_cast<double>(count_ - 1));
  emit positionChanged(position_);
  update();
}

void ImageFlowView::step() {
  const double t = std::min(1.0, static_cast<double>(clock_.elapsed()) / durationMs_);
  position_ = from_ + (static_cast<double>(selected_) - from_) * easeOut(t);
  if (t >= 1.0) {
    position_ = static_cast<double>(selected_);
    animation_.stop();
  }
  emit positionChanged(position_);
  update();
}

void ImageFlowView::userSelect(qint64 index) {
  if (count_ == 0) return;
  index = std::clamp<qint64>(index, 0, static_cast<qint64>(count_ - 1));
  setSelectedIndex(index);
  if (delegate_) delegate_->imageFlowDidSelectItemAtIndex(this, static_cast<quint64>(index));
}

// The outer edge of a side picture comes nearer and so grows by about a
// fifth; room is kept for it.
int ImageFlowView::cardSide() const {
  const double byHeight = (height() - kTitleBand - 12) / (kNearGrowth * (1.0 + kReflection));
  const double byWidth = width() * 0.34;
  return std::max(16, static_cast<int>(std::min(byHeight, byWidth)));
}

double ImageFlowView::topMargin(int side) const {
  return std::max((kNearGrowth - 1.0) / 2.0 * side + 6.0, (height() - kTitleBand - side * (1.0 + kReflection)) / 2.0);
}

// Turning about the vertical middle line, seen from 2.5 picture sides
// away (rotate() projects from 1024 units, hence the scaling around it).
QTransform ImageFlowView::turning(double angle, int side) const {
  const double depth = kViewDistance * side / 1024.0;
  QTransform t;
  t.scale(depth, depth);
  t.rotate(-angle, Qt::YAxis);
  t.scale(1.0 / depth, 1.0 / depth);
  return t;
}

int ImageFlowView::sideItems() const {
  const double s = cardSide();
  const double room = width() / 2.0 - kCentreGap * s;
  return std::clamp(static_cast<int>(std::ceil(room / (kSideSpacing * s))) + 1, 1, kMaxSideItems);
}

// Side pictures are turned about their vertical middle line so that they
// face the middle; the picture at the middle turns as it moves off it.
std::vector<ImageFlowView::Placement> ImageFlowView::placements() const {
  std::vector<Placement> out;
  if (count_ == 0) return out;
  const int s = cardSide();
  const double midY = topMargin(s) + s / 2.0;
  const double midX = width() / 2.0;
  const int side = sideItems();
  const qint64 centre = std::llround(position_);
  const qint64 first = std::max<qint64>(0, centre - side);
  const qint64 last = std::min<qint64>(static_cast<qint64>(count_) - 1, centre + side);
  for (qint64 i = first; i <= last; ++i) {
    const double rel = static_cast<double>(i) - position_;
    const double sign = rel < 0 ? -1.0 : 1.0;
    double x = 0;
    double angle = 0;
    if (std::abs(rel) <= 1.0) {
      x = rel * kCentreGap * s;
      angle = rel * kSideAngle;
    } else {
      x = sign * (kCentreGap * s + (std::abs(rel) - 1.0) * kSideSpacing * s);
      angle = sign * kSideAngle;
    }
    QTransform t;
    t.translate(midX + x, midY);
    out.push_back({i, rel, QPointF(midX + x, midY), turning(angle, s) * t});
  }
  // Farthest first, so nearer pictures cover them.
  std::stable_sort(out.begin(), out.end(),
                   [](const Placement& a, const Placement& b) { return std::abs(a.rel) > std::abs(b.rel); });
  return out;
}

ImageFlowView::Turned ImageFlowView::turn(const QPixmap& card, int side, double sign) const {
  const QTransform t = turning(sign * kSideAngle, side);
  const QRectF local(-side / 2.0, -side / 2.0, card.width(), card.height());
  const QRect bounds = t.map(QPolygonF(local)).boundingRect().toAlignedRect();
  QImage out(bounds.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter p(&out);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.translate(-bounds.topLeft());
  p.setTransform(t, true);
  p.drawPixmap(local.topLeft(), card);
  p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
  p.resetTransform();
  p.fillRect(out.rect(), QColor(0, 0, 0, kSideShade));
  p.end();
  return {QPixmap::fromImage(std::move(out)), bounds.topLeft()};
}

QPixmap ImageFlowView::makeCard(const Photo* photo, int side) const {
  const int reflection = static_cast<int>(side * kReflection);
  QImage card(side, side + reflection, QImage::Format_ARGB32_Premultiplied);
  card.fill(Qt::transparent);
  QImage picture = photo ? photo->imageRepresentation() : QImage();
  QPainter p(&card);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  QRect box;
  if (picture.isNull()) {
    // Not made yet: a frame with the loading picture in it.
    box = QRect(0, side / 4, side, side - side / 4);
    p.fillRect(box, QColor(58, 58, 62));
    p.setPen(QColor(96, 96, 102));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    const QImage loading = ImageStore::image(QStringLiteral("loading"));
    if (!loading.isNull()) {
      const int icon = std::max(8, side / 4);
      p.drawImage(QRect(box.center().x() - icon / 2, box.center().y() - icon / 2, icon, icon), loading);
    }
  } else {
    const QSize fitted = picture.size().scaled(side, side, Qt::KeepAspectRatio);
    box = QRect((side - fitted.width()) / 2, side - fitted.height(), fitted.width(), fitted.height());
    p.drawImage(box, picture);
  }
  p.end();
  // The reflection: the bottom of the picture upside down, fading out.
  const int h = std::min(reflection, box.height());
  if (h > 0) {
    const QImage mirrored = card.copy(box.x(), side - h, box.width(), h).mirrored(false, true);
    p.begin(&card);
    p.drawImage(box.x(), side, mirrored);
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient fade(0, side, 0, side + h);
    fade.setColorAt(0, QColor(0, 0, 0, 110));
    fade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRect(0, side, side, reflection), fade);
    p.end();
  }
  return QPixmap::fromImage(std::move(card));
}

ImageFlowView::Card& ImageFlowView::card(quint64 index) {
  const int side = cardSide();
  const Photo* photo = source_ ? source_->imageFlowItemAtIndex(this, index) : nullptr;
  const QString uid = photo ? photo->imageUID() : QString();
  const quint64 version = photo ? photo->imageVersion() : 0;
  const bool pending = !photo || photo->imageRepresentation().isNull();
  auto it = cache_.find(index);
  if (it != cache_.end() && it->second.side == side && it->second.uid == uid && it->second.version == version)
    return it->second;
  Card made{uid, version, side, {}, {}, {}, {}};
  if (pending) {
    if (placeholder_.side != side) {
      placeholder_ = Card{};
      placeholder_.side = side;
      placeholder_.pixmap = makeCard(nullptr, side);
    }
    made.pixmap = placeholder_.pixmap;
  } else {
    made.pixmap = makeCard(photo, side);
  }
  return cache_[index] = std::move(made);
}

void ImageFlowView::dropFarCards() {
  const std::size_t keep = static_cast<std::size_t>(4 * sideItems() + 8);
  if (cache_.size() <= keep) return;
  const double reach = 2.0 * sideItems() + 2;
  for (auto it = cache_.begin(); it != cache_.end();) {
    if (std::abs(static_cast<double>(it->first) - position_) > reach)
      it = cache_.erase(it);
    else
      ++it;
  }
}

const QPixmap& ImageFlowView::background() {
  if (background_.size() != size()) {
    QImage bg(size(), QImage::Format_RGB32);
    QPainter p(&bg);
    QLinearGradient shade(0, 0, 0, height());
    shade.setColorAt(0, QColor(12, 12, 14));
    shade.setColorAt(0.7, QColor(30, 30, 34));
    shade.setColorAt(1, QColor(18, 18, 20));
    p.fillRect(bg.rect(), shade);
    p.end();
    background_ = QPixmap::fromImage(std::move(bg));
  }
  return background_;
}

void ImageFlowView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, background());
  if (count_ == 0) return;
  const int side = cardSide();
  // Smooth scaling when standing still; plain while moving keeps the frame rate.
  const bool still = !animation_.isActive() && position_ == std::floor(position_);
  p.setRenderHint(QPainter::SmoothPixmapTransform, still);
  for (const Placement& place : placements()) {
    Card& c = card(static_cast<quint64>(place.index));
    if (std::abs(place.rel) < 1.0) {
      // Turning on its way to or from the middle.
      // darkening as it turns away.
      p.setTransform(place.transform);
      p.drawPixmap(QPointF(-side / 2.0, -side / 2.0), c.pixmap);
      if (place.rel != 0.0) {
        if (c.shaded.isNull()) c.shaded = shaded(c.pixmap);
        p.setOpacity(std::abs(place.rel));
        p.drawPixmap(QPointF(-side / 2.0, -side / 2.0), c.shaded);
        p.setOpacity(1.0);
      }
      p.resetTransform();
      continue;
    }
    // Turned all the way: made once, then only moved.
    Turned& turned = place.rel < 0 ? c.left : c.right;
    if (turned.pixmap.isNull()) {
      const bool pending = c.pixmap.cacheKey() == placeholder_.pixmap.cacheKey();
      Turned& shared = place.rel < 0 ? placeholder_.left : placeholder_.right;
      if (pending && shared.pixmap.isNull()) shared = turn(c.pixmap, side, place.rel < 0 ? -1.0 : 1.0);
      turned = pending ? shared : turn(c.pixmap, side, place.rel < 0 ? -1.0 : 1.0);
    }
    p.drawPixmap(QPoint(qRound(place.middle.x()) + turned.offset.x(), qRound(place.middle.y()) + turned.offset.y()),
                 turned.pixmap);
  }
  p.resetTransform();
  dropFarCards();
  const quint64 centre = static_cast<quint64>(std::llround(position_));
  const Photo* photo = source_ ? source_->imageFlowItemAtIndex(this, centre) : nullptr;
  QFont font = p.font();
  font.setPixelSize(13);
  p.setFont(font);
  const QRect band(8, height() - kTitleBand, width() - 16, kTitleBand / 2);
  p.setPen(Qt::white);
  if (photo)
    p.drawText(band, Qt::AlignCenter, p.fontMetrics().elidedText(photo->imageTitle(), Qt::ElideMiddle, band.width()));
  font.setPixelSize(11);
  p.setFont(font);
  p.setPen(QColor(150, 150, 156));
  p.drawText(band.translated(0, kTitleBand / 2 - 4), Qt::AlignCenter, tr("%1 of %2").arg(centre + 1).arg(count_));
}

void ImageFlowView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  cache_.clear();
  background_ = QPixmap();
}

qint64 ImageFlowView::itemAt(const QPoint& point) const {
  const int side = cardSide();
  const QRectF box(-side / 2.0, -side / 2.0, side, side);
  std::vector<Placement> all = placements();
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    bool invertible = false;
    const QTransform back = it->transform.inverted(&invertible);
    if (invertible && box.contains(back.map(QPointF(point)))) return it->index;
  }
  return -1;
}

void ImageFlowView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const qint64 index = itemAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index >= 0) userSelect(index);
}

void ImageFlowView::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  const int steps = (std::abs(delta.x()) > std::abs(delta.y()) ? -delta.x() : -delta.y()) / 120;
  if (steps != 0) userSelect(static_cast<qint64>(selected_) + steps);
  event->accept();
}

void ImageFlowView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      userSelect(static_cast<qint64>(selected_) - 1);
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      userSelect(static_cast<qint64>(selected_) + 1);
      break;
    case Qt::Key_Home:
      userSelect(0);
      break;
    case Qt::Key_End:
      userSelect(static_cast<qint64>(count_) - 1);
      break;
    case Qt::Key_PageUp:
      userSelect(static_cast<qint64>(selected_) - sideItems());
      break;
    case Qt::Key_PageDown:
      userSelect(static_cast<qint64>(selected_) + sideItems());
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace ui
