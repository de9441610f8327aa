// quarnel_thumbnail_shots OUT_DIR IMAGE: the results window's thumbnail
// views after a deep scan of IMAGE (scripts/make-pictures-image.sh: pictures
// and videos in folders, some deleted), photographed on the X screen
// (scripts/screenshots.sh runs it under Xvfb):
//   results-grid.png            the grid of a folder of pictures, two of them deleted, some ticked
//   results-grid-type.png       the grid of every JPEG found (the category tree)
//   results-coverflow.png       the cover flow of the same folder, a deleted picture chosen
//   results-coverflow-video.png the cover flow of the videos, the deleted one chosen

#include <QApplication>

#include <cstdio>

#include "Shots.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/ImageStore.h"
#include "ui/windows/CoverFlowView.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/ThumbnailGridView.h"

namespace {

QString g_out;

void shot(const char* name) {
  shots::Wait(600);
  shots::SaveScreen(g_out, name);
}

void printTree(windows::CommOutlineView& outline, const QModelIndex& parent = {}, int depth = 0) {
  QAbstractItemModel& model = *outline.model();
  if (model.canFetchMore(parent)) model.fetchMore(parent);
  for (int r = 0; r < model.rowCount(parent); ++r) {
    const QModelIndex index = model.index(r, 0, parent);
    std::printf("%*s%s\n", depth * 2, "", qPrintable(outline.resultModel()->label(index)));
    printTree(outline, index, depth + 1);
  }
}

void tick(windows::QVDeletailWindowController& w, const QStringList& names) {
  for (const QString& name : names) {
    const int row = shots::ListRow(w, name, Qt::CaseInsensitive);
    if (row >= 0) w.nsbuttonCellClick(row);
  }
}

// Chooses the folder in the outline shown; false when it is not there.
bool choose(windows::QVDeletailWindowController& w, int kind, const QString& label) {
  windows::CommOutlineView& outline = *w.outline(kind);
  const QModelIndex row = shots::FindRow(outline, label, true);
  if (!row.isValid()) {
    std::fprintf(stderr, "no row %s in tree %d\n", qPrintable(label), kind);
    return false;
  }
  for (QModelIndex up = row.parent(); up.isValid(); up = up.parent()) outline.expand(up);
  outline.setCurrentIndex(row);
  return true;
}

// Every cell on screen shows its own picture (the grid lays its cells out
// from the event loop, and asks for their pictures as it does).
bool gridLoaded(windows::QVDeletailWindowController& w) {
  windows::ThumbnailGridView& grid = *w.gridMainView();
  const QImage loading = ui::ImageStore::image(QStringLiteral("loading"));
  const auto cells = grid.grid()->keyedVisibleItems();
  if (cells.empty() || grid.gridImageState() != 2) return false;
  for (const auto& [index, base] : cells) {
    const auto* item = qobject_cast<ui::CNGridViewItem*>(base);
    if (item && (item->itemImage().isNull() || item->itemImage() == loading)) return false;
  }
  return true;
}

void showGrid(windows::QVDeletailWindowController& w, const char* name) {
  w.segmentSelect(1);
  if (!shots::WaitFor([&] { return gridLoaded(w); }, 60000)) {
    std::fprintf(stderr, "grid thumbnails still loading (state %d):", w.gridImageState());
    const QImage loading = ui::ImageStore::image(QStringLiteral("loading"));
    for (const auto& [index, base] : w.gridMainView()->grid()->keyedVisibleItems())
      if (const auto* item = qobject_cast<ui::CNGridViewItem*>(base);
          item && (item->itemImage().isNull() || item->itemImage() == loading))
        std::fprintf(stderr, " %llu %s", static_cast<unsigned long long>(index), qPrintable(item->itemTitle()));
    std::fprintf(stderr, "\n");
  }
  shot(name);
}

void showCoverFlow(windows::QVDeletailWindowController& w, const QString& chosen, const char* name) {
  w.segmentSelect(2);
  const int row = shots::ListRow(w, chosen, Qt::CaseInsensitive);
  if (row >= 0) w.coverFlowerTableView()->selectRow(row);
  if (!shots::WaitFor([&] { return w.nImageState() == 2; }, 60000)) std::fprintf(stderr, "cover flow still loading\n");
  for (const ui::Photo& photo : w.coverFlowView()->photos())
    if (photo.imageUID() == windows::CoverFlowView::kLoadingID)
      std::fprintf(stderr, "no picture for %s\n", qPrintable(photo.imageTitle()));
  shot(name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quarnel_thumbnail_shots OUT_DIR IMAGE\n");
    return 2;
  }
  QApplication app(argc, argv);
  g_out = QString::fromLocal8Bit(argv[1]);
  bridge_qt::QtBridge bridge;
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);
  _DiskVolumeData disk, volume;
  if (!shots::OpenImageRows(QString::fromLocal8Bit(argv[2]), disk, volume)) return 1;

  windows::QVDeletailWindowController w;
  w.setSelectDiskVolumeData(volume);
  w.setScanTypeNum(2);
  w.move(190, 90);
  w.show();
  if (!w.getData()) {
    std::fprintf(stderr, "the deep scan did not start\n");
    return 1;
  }
  if (!shots::WaitForScanEnd(w)) {
    std::fprintf(stderr, "the deep scan did not end\n");
    return 1;
  }
  w.activateWindow();
  w.raise();
  if (qEnvironmentVariableIsSet("QUARNEL_SHOTS_TREES")) {
    printTree(*w.outline(0));
    w.typeButtonClick();
    printTree(*w.outline(1));
    w.pathButtonClick();
  }

  if (choose(w, 0, QStringLiteral("Holiday"))) {
    tick(w, {QStringLiteral("unset"), QStringLiteral("each"), QStringLiteral("ocean")});
    showGrid(w, "results-grid");
    showCoverFlow(w, QStringLiteral("each"), "results-coverflow");
  }
  if (choose(w, 0, QStringLiteral("Videos"))) showCoverFlow(w, QStringLiteral("ractal"), "results-coverflow-video");
  w.segmentSelect(0);
  w.typeButtonClick();
  if (choose(w, 1, QStringLiteral("jpg"))) showGrid(w, "results-grid-type");
  w.segmentSelect(0);
  QVUIController::WaitForJobs(10000);
  return 0;
}
