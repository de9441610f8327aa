// Frame rate of the results window's cover flow (ui::ImageFlowView) with
// 1,000 pictures on the software renderer (offscreen platform), side by
// side in the same run with a plain peer: a QListView in icon mode showing
// the same pictures as 128-point icons. Each frame is a synchronous repaint
// into the window's backing store:
//   flow-glide  the flow moving one picture per 15 frames (the animation
//               of choosing the next picture), over 150 pictures
//   flow-skim   the flow moving half a picture per frame across the whole
//               list (new pictures scaled as they come on screen)
//   flow-still  the flow standing on a picture (smooth scaling)
//   peer-scroll the icon list scrolled 8 pixels per frame over its list
// Target: 60 frames a second.
// Usage: quarnel_cover_flow_bench [width height [frame.png]] (the last saves
// the flow standing on picture 400, to look at).

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStandardItemModel>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/toolkit/ImageFlowView.h"
#include "ui/toolkit/Photo.h"

namespace {

constexpr int kItems = 1000;
constexpr double kTarget = 60.0;

// Pictures like thumbnails of photographs: a sky gradient, a sun, hills,
// a few shapes; 192 wide, 4:3 or 3:4, each different (seeded).
std::vector<QImage> makePictures() {
  QRandomGenerator random(20240608);
  std::vector<QImage> out;
  out.reserve(kItems);
  for (int i = 0; i < kItems; ++i) {
    const bool portrait = random.bounded(4) == 0;
    QImage picture(portrait ? 144 : 192, portrait ? 192 : 144, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, picture.height());
    sky.setColorAt(0, QColor::fromHsv(static_cast<int>(random.bounded(360)), 150, 230));
    sky.setColorAt(1, QColor::fromHsv(static_cast<int>(random.bounded(360)), 120, 160));
    p.fillRect(picture.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 220, 120));
    p.drawEllipse(QPointF(random.bounded(picture.width()), random.bounded(picture.height() / 2)), 18, 18);
    for (int s = 0; s < 6; ++s) {
      p.setBrush(
          QColor::fromHsv(static_cast<int>(random.bounded(360)), 180, static_cast<int>(80 + random.bounded(150))));
      p.drawRect(QRectF(random.bounded(picture.width()), random.bounded(picture.height()), 10 + random.bounded(60),
                        10 + random.bounded(60)));
    }
    p.setBrush(QColor(40, 90, 50));
    p.drawEllipse(QPointF(picture.width() / 3.0, picture.height()), picture.width() / 1.5, picture.height() / 3.0);
    p.end();
    out.push_back(std::move(picture));
  }
  return out;
}

struct Source : ui::ImageFlowDataSource {
  std::vector<ui::Photo> photos;
  quint64 numberOfItemsInImageFlow(ui::ImageFlowView*) override { return photos.size(); }
  const ui::Photo* imageFlowItemAtIndex(ui::ImageFlowView*, quint64 index) override {
    return index < photos.size() ? &photos[index] : nullptr;
  }
};

struct Figure {
  double fps = 0;
  double worstMs = 0;
};

// Runs `frames` frames of `step(frame)` followed by a repaint.
template <typename Step>
Figure measure(QWidget& widget, int frames, Step step) {
  Figure f;
  QElapsedTimer total;
  total.start();
  for (int i = 0; i < frames; ++i) {
    QElapsedTimer one;
    one.start();
    step(i);
    widget.repaint();
    f.worstMs = std::max(f.worstMs, static_cast<double>(one.nsecsElapsed()) / 1e6);
  }
  f.fps = frames / (static_cast<double>(total.nsecsElapsed()) / 1e9);
  return f;
}

void report(const char* name, const Figure& f, const Figure& peer) {
  std::printf("%-12s %8.1f fps  worst frame %6.2f ms  %5.2fx the 60 fps target  %5.2fx the peer\n", name, f.fps,
              f.worstMs, f.fps / kTarget, f.fps / peer.fps);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int width = argc >= 3 ? std::atoi(argv[1]) : 676;
  const int height = argc >= 3 ? std::atoi(argv[2]) : 300;
  const std::vector<QImage> pictures = makePictures();

  Source source;
  for (int i = 0; i < kItems; ++i) {
    source.photos.emplace_back(pictures[static_cast<std::size_t>(i)], QStringLiteral("id%1").arg(i));
    source.photos.back().setName(QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QLatin1Char('0')));
  }
  ui::ImageFlowView flow;
  flow.setAnimationDuration(0);
  flow.resize(width, height);
  flow.setDataSource(&source);
  flow.show();

  QStandardItemModel model;
  for (int i = 0; i < kItems; ++i)
    model.appendRow(new QStandardItem(QIcon(QPixmap::fromImage(pictures[static_cast<std::size_t>(i)])),
                                      source.photos[static_cast<std::size_t>(i)].imageTitle()));
  QListView peer;
  peer.setViewMode(QListView::IconMode);
  peer.setIconSize(QSize(128, 128));
  peer.setGridSize(QSize(150, 160));
  peer.setUniformItemSizes(true);
  peer.setResizeMode(QListView::Adjust);
  peer.setModel(&model);
  peer.resize(width, height);
  peer.show();
  QCoreApplication::processEvents();

  // Warm-up of both (fonts, first pictures).
  measure(flow, 30, [&](int i) { flow.setPosition(i * 0.1); });
  measure(peer, 30, [&](int i) { peer.verticalScrollBar()->setValue(i * 8); });
  flow.freeCache();

  const Figure glide = measure(flow, 150 * 15, [&](int i) { flow.setPosition(200 + i / 15.0); });
  const Figure skim = measure(flow, 2 * (kItems - 1), [&](int i) { flow.setPosition(i * 0.5); });
  const Figure still = measure(flow, 300, [&](int i) { flow.setPosition(400 + (i % 3)); });
  QScrollBar* bar = peer.verticalScrollBar();
  const int peerFrames = std::max(1, bar->maximum() / 8);
  const Figure scroll = measure(peer, peerFrames, [&](int i) { bar->setValue(i * 8); });

  std::printf("cover flow, %d pictures, %dx%d, software renderer (offscreen), %d pictures each side\n", kItems, width,
              height, flow.sideItems());
  report("flow-glide", glide, scroll);
  report("flow-skim", skim, scroll);
  report("flow-still", still, scroll);
  report("peer-scroll", scroll, scroll);
  std::printf("pictures kept by the flow: %zu\n", flow.cachedItems());
  if (argc >= 4) {
    flow.setPosition(400);
    flow.grab().save(QString::fromLocal8Bit(argv[3]));
  }
  return 0;
}
