#include "ui/toolkit/TCImageWindow.h"

#include "ui/toolkit/UiGeometry.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>
#include <QWindow>

#include <cmath>

namespace ui {

// ---- KSTitlebarView -------------------------------------------------------

KSTitlebarView::KSTitlebarView(QWidget* parent) : QWidget(parent) {}

QPainterPath KSTitlebarView::createClippingPathWithRectAndRadius(const QRectF& r, qreal radius) {
  QPainterPath path;
  path.moveTo(r.left(), r.bottom());
  path.lineTo(r.left(), r.top() + radius);
  path.arcTo(QRectF(r.left(), r.top(), 2 * radius, 2 * radius), 180, -90);
  path.lineTo(r.right() - radius, r.top());
  path.arcTo(QRectF(r.right() - 2 * radius, r.top(), 2 * radius, 2 * radius), 90, -90);
  path.lineTo(r.right(), r.bottom());
  path.closeSubpath();
  return path;
}

KSTitlebarView::TitleLook KSTitlebarView::getTitleFrame(const TCImageWindow* window) const {
  TitleLook look;
  const bool main = window && window->drawsAsMain();
  look.shadowColor = QColor::fromRgbF(1, 1, 1, 0.5);
  look.shadowOffset = QPointF(0, 1);
  const QColor custom = window ? (main ? window->titleTextColor : window->inactiveTitleTextColor) : QColor();
  look.color = custom.isValid() ? custom : QColor::fromRgbF(56 / 255.0, 56 / 255.0, 56 / 255.0, main ? 1.0 : 0.5);
  look.font = font();
  look.font.setPixelSize(13);
  const QFontMetricsF fm(look.font);
  const QString title = window ? window->windowTitle() : QString();
  const QSizeF s(fm.horizontalAdvance(title), fm.height());
  look.frame = QRectF(width() / 2.0 - s.width() / 2, 2, s.width(), s.height());
  return look;
}

void KSTitlebarView::paintEvent(QPaintEvent*) {
  auto* win = qobject_cast<TCImageWindow*>(window());
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF b = rect();
  const bool main = win && win->drawsAsMain();
  if (win && win->titleBarDrawingBlock()) {
    win->titleBarDrawingBlock()(p, main, b, createClippingPathWithRectAndRadius(b, 4));
  } else {
    if (win && win->isFullScreenWindow()) p.fillRect(b, Qt::white);
    p.save();
    p.setClipPath(createClippingPathWithRectAndRadius(QRectF(b.x(), b.y() + 1, b.width(), b.height() - 1), 4));
    p.fillRect(b, Qt::white);
    if (!win || win->showsBaselineSeparator()) {
      p.fillRect(QRectF(0, b.bottom() - 1, b.width(), 1), Qt::white);
      p.fillRect(QRectF(0, b.bottom() - 2, b.width(), 1), Qt::white);
    }
    p.restore();
  }
  if (win && win->showsTitle() && (!win->isFullScreenWindow() || win->showsTitleInFullscreen())) {
    const TitleLook look = getTitleFrame(win);
    p.setFont(look.font);
    p.setPen(look.shadowColor);
    p.drawText(look.frame.translated(look.shadowOffset), Qt::AlignLeft | Qt::AlignTop, win->windowTitle());
    p.setPen(look.color);
    p.drawText(look.frame, Qt::AlignLeft | Qt::AlignTop, win->windowTitle());
  }
}

void KSTitlebarView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  QWidget* top = window();
  if (top->windowHandle() && top->windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - top->frameGeometry().topLeft();
}

void KSTitlebarView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) window()->move(event->globalPosition().toPoint() - dragOffset_);
  QWidget::mouseMoveEvent(event);
}

void KSTitlebarView::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void KSTitlebarView::mouseDoubleClickEvent(QMouseEvent* event) {
  dragging_ = false;
  if (QSettings().value(QStringLiteral("AppleMiniaturizeOnDoubleClick"), false).toBool()) window()->showMinimized();
  event->accept();
}

// ---- TCWindowButton -------------------------------------------------------

TCWindowButton::TCWindowButton(Kind kind, QWidget* parent) : QAbstractButton(parent), kind_(kind) {
  setFocusPolicy(Qt::NoFocus);
  resize(sizeHint());
}

void TCWindowButton::paintEvent(QPaintEvent*) {
  static const QColor colors[3] = {QColor(255, 95, 86), QColor(255, 189, 46), QColor(39, 201, 63)};
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const bool active = window()->isActiveWindow();
  QColor c = active ? colors[kind_] : QColor(206, 206, 206);
  if (isDown()) c = c.darker(120);
  p.setPen(QPen(c.darker(115), 0.5));
  p.setBrush(c);
  p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

// ---- the window's outline --------------------------------------------------

namespace {

// A hairline around the frameless window, so that a white window stays
// distinct from a white window behind it. Never takes the mouse.
class WindowOutline : public QWidget {
 public:
  explicit WindowOutline(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("windowOutline"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QColor(196, 196, 196));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};

}  // namespace

// ---- TCResizeHandle -------------------------------------------------------

TCResizeHandle::TCResizeHandle(Qt::Edges edges, QWidget* window) : QWidget(window), edges_(edges) {
  setObjectName(QStringLiteral("resizeHandle"));
  const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
  const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
  if (horizontal && vertical) {
    const bool falling = edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
    setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
  } else {
    setCursor(horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
  }
}

QRect TCResizeHandle::resizedFrame(const QRect& frame, Qt::Edges edges, const QPoint& start, const QPoint& now,
                                   const QSize& minimum, const QSize& maximum) {
  const QPoint d = now - start;
  int left = frame.left(), top = frame.top(), right = frame.right(), bottom = frame.bottom();
  const int minW = std::max(1, minimum.width()), minH = std::max(1, minimum.height());
  const int maxW = std::max(minW, maximum.width()), maxH = std::max(minH, maximum.height());
  if (edges & Qt::LeftEdge) left = std::clamp(left + d.x(), right + 1 - maxW, right + 1 - minW);
  if (edges & Qt::RightEdge) right = std::clamp(right + d.x(), left - 1 + minW, left - 1 + maxW);
  if (edges & Qt::TopEdge) top = std::clamp(top + d.y(), bottom + 1 - maxH, bottom + 1 - minH);
  if (edges & Qt::BottomEdge) bottom = std::clamp(bottom + d.y(), top - 1 + minH, top - 1 + maxH);
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

void TCResizeHandle::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  QWidget* top = window();
  if (top->windowHandle() && top->windowHandle()->startSystemResize(edges_)) return;
  dragging_ = true;
  start_ = event->globalPosition().toPoint();
  startFrame_ = top->geometry();
}

void TCResizeHandle::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  QWidget* top = window();
  top->setGeometry(resizedFrame(startFrame_, edges_, start_, event->globalPosition().toPoint(), top->minimumSize(),
                                top->maximumSize()));
}

void TCResizeHandle::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

// ---- TCImageWindow --------------------------------------------------------

TCImageWindow::TCImageWindow(QWidget* parent, Qt::WindowFlags extra)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | extra) {
  titleBarContainer_ = new KSTitlebarContainer(this);
  titleBarContainer_->setObjectName(QStringLiteral("titleBarContainer"));
  setTitleBarView(new KSTitlebarView);
  titleBarView_->setObjectName(QStringLiteral("titleBarView"));
  auto* content = new QWidget(this);
  content->setObjectName(QStringLiteral("contentView"));
  contentView_ = content;
  for (int k = 0; k < 3; ++k) {
    buttons_[k] = new TCWindowButton(static_cast<TCWindowButton::Kind>(k), this);
    buttons_[k]->raise();
  }
  buttons_[0]->setObjectName(QStringLiteral("closeButton"));
  buttons_[1]->setObjectName(QStringLiteral("miniaturizeButton"));
  buttons_[2]->setObjectName(QStringLiteral("zoomButton"));
  connect(buttons_[0], &QAbstractButton::clicked, this, &QWidget::close);
  connect(buttons_[1], &QAbstractButton::clicked, this, &QWidget::showMinimized);
  connect(buttons_[2], &QAbstractButton::clicked, this, [this] { isMaximized() ? showNormal() : showMaximized(); });
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this] { updateTitlebarView(); });
  outline_ = new WindowOutline(this);
  layoutTrafficLightsAndContent();
}

void TCImageWindow::setResizable(bool resizable) {
  if (resizable == resizable_) return;
  resizable_ = resizable;
  if (resizable_ && handles_.empty()) {
    for (Qt::Edges e : {Qt::Edges(Qt::LeftEdge), Qt::Edges(Qt::RightEdge), Qt::Edges(Qt::TopEdge),
                        Qt::Edges(Qt::BottomEdge), Qt::TopEdge | Qt::LeftEdge, Qt::TopEdge | Qt::RightEdge,
                        Qt::BottomEdge | Qt::LeftEdge, Qt::BottomEdge | Qt::RightEdge})
      handles_.push_back(new TCResizeHandle(e, this));
  }
  for (TCResizeHandle* h : handles_) h->setVisible(resizable_);
  layoutResizeHandles();
}

void TCImageWindow::layoutResizeHandles() {
  if (!resizable_) return;
  const int m = kResizeMargin;
  const int w = width(), h = height();
  for (TCResizeHandle* handle : handles_) {
    const Qt::Edges e = handle->edges();
    const int x = (e & Qt::LeftEdge) ? 0 : (e & Qt::RightEdge) ? w - m : m;
    const int y = (e & Qt::TopEdge) ? 0 : (e & Qt::BottomEdge) ? h - m : m;
    const int hw = (e & (Qt::LeftEdge | Qt::RightEdge)) ? m : w - 2 * m;
    const int hh = (e & (Qt::TopEdge | Qt::BottomEdge)) ? m : h - 2 * m;
    handle->setGeometry(x, y, std::max(0, hw), std::max(0, hh));
    handle->raise();
  }
}

TCImageWindow::~TCImageWindow() = default;

void TCImageWindow::setTitleBarHeight(qreal h) {
  if (h == titleBarHeight_) return;
  titleBarHeight_ = h;
  cachedTitleBarHeight_ = h;
  layoutTrafficLightsAndContent();
  displayWindowAndTitlebar();
}

void TCImageWindow::setTrafficLightButtonsLeftMargin(qreal v) {
  if (v == trafficLightButtonsLeftMargin_) return;
  trafficLightButtonsLeftMargin_ = v;
  layoutTrafficLightsAndContent();
  displayWindowAndTitlebar();
}

void TCImageWindow::setTrafficLightSeparation(qreal v) {
  if (v == trafficLightSeparation_) return;
  trafficLightSeparation_ = v;
  layoutTrafficLightsAndContent();
}

void TCImageWindow::setCenterTrafficLightButtons(bool v) {
  if (v == centerTrafficLightButtons_) return;
  centerTrafficLightButtons_ = v;
  layoutTrafficLightsAndContent();
}

void TCImageWindow::setVerticalTrafficLightButtons(bool v) {
  if (v == verticalTrafficLightButtons_) return;
  verticalTrafficLightButtons_ = v;
  layoutTrafficLightsAndContent();
}

void TCImageWindow::setShowsBaselineSeparator(bool v) {
  if (v == showsBaselineSeparator_) return;
  showsBaselineSeparator_ = v;
  displayWindowAndTitlebar();
}

void TCImageWindow::setShowsTitle(bool v) {
  if (v == showsTitle_) return;
  showsTitle_ = v;
  displayWindowAndTitlebar();
}

void TCImageWindow::setTitleBarView(QWidget* view) {
  if (!view || view == titleBarView_) return;
  delete titleBarView_.data();
  titleBarView_ = view;
  view->setParent(titleBarContainer_);
  view->setGeometry(titleBarContainer_->rect());
  auto* helper = titleBarContainer_->findChild<AutoresizeHelper*>(QString(), Qt::FindDirectChildrenOnly);
  if (!helper) helper = new AutoresizeHelper(titleBarContainer_);
  helper->add(view, WidthSizable | HeightSizable);
  view->show();
}

void TCImageWindow::setContentView(QWidget* view) {
  if (!view || view == contentView_) return;
  delete contentView_.data();
  contentView_ = view;
  view->setParent(this);
  view->lower();
  titleBarContainer_->lower();
  view->show();
  repositionContentView();
}

TCWindowButton* TCImageWindow::standardWindowButton(TCWindowButton::Kind kind) const { return buttons_[kind]; }

QRect TCImageWindow::willPositionSheet(const QRect& rect) const {
  QRect r = rect;
  r.moveTop(static_cast<int>(std::lround(titleBarHeight_)));
  return r;
}

bool TCImageWindow::drawsAsMain() const { return isActiveWindow(); }

void TCImageWindow::recalculateFrameForTitleBarContainer() {
  titleBarContainer_->setGeometry(0, 0, width(), static_cast<int>(std::lround(titleBarHeight_)));
}

void TCImageWindow::layoutTrafficLightsAndContent() {
  recalculateFrameForTitleBarContainer();
  // Arithmetic in bottom-left coordinates of the window, then flipped.
  const qreal H = height();
  const QRectF T(0, H - titleBarHeight_, width(), titleBarHeight_);
  QRectF f[3];
  for (int k = 0; k < 3; ++k) f[k] = QRectF(QPointF(0, 0), QSizeF(buttons_[k]->size()));
  QRectF &close = f[0], &mini = f[1], &zoom = f[2];
  if (!verticalTrafficLightButtons_) {
    const qreal y0 = centerTrafficLightButtons_ ? std::round(T.center().y() - close.height() / 2)
                                                : T.bottom() - close.height() - trafficLightButtonsTopMargin_;
    for (QRectF& r : f) r.moveTop(y0 + topButtonMoveUp_);
    close.moveLeft(trafficLightButtonsLeftMargin_);
    mini.moveLeft(close.right() + trafficLightSeparation_);
    zoom.moveLeft(mini.right() + trafficLightSeparation_);
  } else {
    const qreal h = close.height() + mini.height() + zoom.height() + 2 * (trafficLightSeparation_ - 2);
    const qreal y0 = centerTrafficLightButtons_ ? std::round(T.center().y() - h / 2)
                                                : T.bottom() - h - trafficLightButtonsTopMargin_;
    for (QRectF& r : f) r.moveLeft(trafficLightButtonsLeftMargin_);
    zoom.moveTop(y0);
    mini.moveTop(zoom.bottom() + trafficLightSeparation_ - 2);
    close.moveTop(mini.bottom() + trafficLightSeparation_ - 2);
  }
  for (int k = 0; k < 3; ++k) buttons_[k]->setGeometry(fromBottomLeft(H, f[k]).toRect());
  repositionContentView();
  if (outline_ != nullptr) {
    outline_->setGeometry(rect());
    outline_->raise();
  }
  layoutResizeHandles();
}

void TCImageWindow::repositionContentView() {
  if (!contentView_) return;
  const QRect c = contentView_->geometry();
  const int h = std::max(0, height() - static_cast<int>(std::lround(titleBarHeight_)));
  const QRect target(0, height() - h, width(), h);
  if (target != c) {
    contentView_->setGeometry(target);
    contentView_->update();
  }
}

void TCImageWindow::updateTitlebarView() {
  if (!titleBarView_) return;
  titleBarView_->update();
  const bool main = drawsAsMain();
  for (QObject* child : titleBarView_->children()) {
    // Controls only: labels and plain views keep their look.
    if (qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) || qobject_cast<QComboBox*>(child) ||
        qobject_cast<QAbstractSlider*>(child) || qobject_cast<QAbstractSpinBox*>(child))
      static_cast<QWidget*>(child)->setEnabled(main);
  }
  for (auto* b : buttons_) b->update();
}

void TCImageWindow::displayWindowAndTitlebar() {
  if (titleBarView_) titleBarView_->update();
  update();
}

void TCImageWindow::windowWillEnterFullScreen() {
  if (!hideTitleBarInFullScreen_) return;
  titleBarHeight_ = 0;
  layoutTrafficLightsAndContent();
  displayWindowAndTitlebar();
  titleBarContainer_->hide();
}

void TCImageWindow::windowWillExitFullScreen() {
  if (!hideTitleBarInFullScreen_) return;
  titleBarHeight_ = cachedTitleBarHeight_;
  layoutTrafficLightsAndContent();
  displayWindowAndTitlebar();
  titleBarContainer_->show();
}

void TCImageWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutTrafficLightsAndContent();
}

void TCImageWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  layoutTrafficLightsAndContent();
}

void TCImageWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  switch (event->type()) {
    case QEvent::ActivationChange:
      updateTitlebarView();
      layoutTrafficLightsAndContent();
      break;
    case QEvent::WindowTitleChange:
      layoutTrafficLightsAndContent();
      displayWindowAndTitlebar();
      break;
    case QEvent::WindowStateChange: {
      const auto old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
      const bool was = old & Qt::WindowFullScreen;
      if (!was && isFullScreenWindow())
        windowWillEnterFullScreen();
      else if (was && !isFullScreenWindow())
        windowWillExitFullScreen();
      break;
    }
    default:
      break;
  }
}

}  // namespace ui
