#pragma once
// The frameless window the program's windows are built on: a white title
// band with its own close, minimise and zoom buttons, resize handles along
// the edges, and the content view below the band.

#include <QAbstractButton>
#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

namespace ui {

class TCImageWindow;

// Host of the title-bar drawing view, a band along the top of the window.
class KSTitlebarContainer : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
};

// The white title band: draws the band and the title, moves the window by
// dragging and miniaturises it on a double click when the user asked for it.
class KSTitlebarView : public QWidget {
  Q_OBJECT
 public:
  explicit KSTitlebarView(QWidget* parent = nullptr);

  // Title rectangle and colour for the given window (top-left coordinates).
  struct TitleLook {
    QRectF frame;
    QColor color;
    QColor shadowColor;
    QPointF shadowOffset;
    QFont font;
  };
  TitleLook getTitleFrame(const TCImageWindow* window) const;

  // Rectangle with rounded top corners of radius r.
  static QPainterPath createClippingPathWithRectAndRadius(const QRectF& rect, qreal radius);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool dragging_ = false;
  QPoint dragOffset_;
};

// One of the window's own close, minimise and zoom buttons.
class TCWindowButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum Kind { Close, Miniaturize, Zoom };
  TCWindowButton(Kind kind, QWidget* parent);
  Kind kind() const { return kind_; }
  QSize sizeHint() const override { return {14, 14}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Kind kind_;
};

// A thin strip along an edge or a corner of a frameless window that resizes
// the window when dragged: through the window system when it can, else by
// following the mouse. Never smaller than the window's minimum size.
class TCResizeHandle : public QWidget {
  Q_OBJECT
 public:
  TCResizeHandle(Qt::Edges edges, QWidget* window);
  Qt::Edges edges() const { return edges_; }
  // The window's frame after dragging from `start` to `now` (global
  // positions) with `frame` at the start.
  static QRect resizedFrame(const QRect& frame, Qt::Edges edges, const QPoint& start, const QPoint& now,
                            const QSize& minimum, const QSize& maximum);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Qt::Edges edges_;
  bool dragging_ = false;
  QPoint start_;
  QRect startFrame_;
};

// Frameless window with a white title band of chosen height, its own window
// buttons laid out in the band, and the content view below the band.
class TCImageWindow : public QWidget {
  Q_OBJECT
 public:
  using DrawingBlock = std::function<void(QPainter&, bool drawsAsMain, const QRectF& bounds, const QPainterPath& clip)>;

  explicit TCImageWindow(QWidget* parent = nullptr, Qt::WindowFlags extra = {});
  ~TCImageWindow() override;

  // Fixed metrics of the window buttons on this platform.
  static constexpr qreal kMinimumTitlebarHeight = 22;
  static constexpr qreal kDefaultTrafficLightLeftMargin = 7;
  static constexpr qreal kDefaultTrafficLightSeparation = 6;

  qreal titleBarHeight() const { return titleBarHeight_; }
  void setTitleBarHeight(qreal h);
  qreal cachedTitleBarHeight() const { return cachedTitleBarHeight_; }
  qreal trafficLightButtonsLeftMargin() const { return trafficLightButtonsLeftMargin_; }
  void setTrafficLightButtonsLeftMargin(qreal v);
  void setTrafficLightButtonsTopMargin(qreal v) { trafficLightButtonsTopMargin_ = v; }
  void setTrafficLightSeparation(qreal v);
  qreal topButtonMoveUp() const { return topButtonMoveUp_; }
  void setTopButtonMoveUp(qreal v) { topButtonMoveUp_ = v; }
  void setCenterTrafficLightButtons(bool v);
  void setVerticalTrafficLightButtons(bool v);
  bool showsBaselineSeparator() const { return showsBaselineSeparator_; }
  void setShowsBaselineSeparator(bool v);
  bool showsTitle() const { return showsTitle_; }
  void setShowsTitle(bool v);
  bool showsTitleInFullscreen() const { return showsTitleInFullscreen_; }
  void setHideTitleBarInFullScreen(bool v) { hideTitleBarInFullScreen_ = v; }
  const DrawingBlock& titleBarDrawingBlock() const { return titleBarDrawingBlock_; }
  void setTitleBarDrawingBlock(DrawingBlock block) { titleBarDrawingBlock_ = std::move(block); }
  QColor titleTextColor, inactiveTitleTextColor;

  QWidget* titleBarView() const { return titleBarView_; }
  void setTitleBarView(QWidget* view);
  KSTitlebarContainer* titleBarContainer() const { return titleBarContainer_; }

  QWidget* contentView() const { return contentView_; }
  void setContentView(QWidget* view);

  TCWindowButton* standardWindowButton(TCWindowButton::Kind kind) const;

  // Where a sheet of this window goes: just below the title band.
  QRect willPositionSheet(const QRect& rect) const;

  // The window is the active window of the application.
  bool drawsAsMain() const;
  bool isFullScreenWindow() const { return windowState() & Qt::WindowFullScreen; }

  // Layout of the band, the window buttons and the content view.
  void layoutTrafficLightsAndContent();

  // Whether the user may resize the window by its edges and corners
  // (off by default; windows with a fixed layout stay as they are).
  bool isResizable() const { return resizable_; }
  void setResizable(bool resizable);
  static constexpr int kResizeMargin = 4;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void recalculateFrameForTitleBarContainer();
  void repositionContentView();
  void updateTitlebarView();
  void displayWindowAndTitlebar();
  void windowWillEnterFullScreen();
  void windowWillExitFullScreen();

  qreal titleBarHeight_ = kMinimumTitlebarHeight;
  qreal cachedTitleBarHeight_ = kMinimumTitlebarHeight;
  qreal trafficLightButtonsLeftMargin_ = kDefaultTrafficLightLeftMargin;
  qreal trafficLightButtonsTopMargin_ = 3;
  qreal trafficLightSeparation_ = kDefaultTrafficLightSeparation;
  qreal topButtonMoveUp_ = 0;
  bool centerTrafficLightButtons_ = true;
  bool verticalTrafficLightButtons_ = false;
  bool showsBaselineSeparator_ = true;
  bool showsTitle_ = false;
  bool showsTitleInFullscreen_ = false;
  bool hideTitleBarInFullScreen_ = false;
  DrawingBlock titleBarDrawingBlock_;

  KSTitlebarContainer* titleBarContainer_ = nullptr;
  QPointer<QWidget> titleBarView_;
  QPointer<QWidget> contentView_;
  TCWindowButton* buttons_[3] = {};
  bool resizable_ = false;
  QWidget* outline_ = nullptr;
  std::vector<TCResizeHandle*> handles_;
  void layoutResizeHandles();
};

}  // namespace ui
