// The results window over a large result: a quick scan of an NTFS volume
// with 100,000 deleted files in folders of 10,000
// (make-results-bench-image.sh),
// run offscreen through the bridge as the program does. Measured, side by
// side with a plain peer in the same run:
//   show   - the last scan update: the four trees loaded, the path tree's
//            first root chosen and its files listed, the window painted;
//            peer: a QTreeView over a QStandardItemModel holding every row
//            of the path tree (folders and files), painted.
//   list   - choosing a folder of 10,000 files until its list is painted,
//            then paging through the whole list (longest page = worst
//            stall); peer: the same rows in a QStandardItemModel table.
//   tick   - a click on that folder's check box until the window has
//            redrawn (states, list, select-all box, selection summary);
//            peer: the 10,000 engine nodes set checked one by one.
// Usage: quarnel_results_window_bench IMAGE [rounds]

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/bridge_qt/TreeReader.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

double msSince(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

bool volumeRow(const std::string& image, _DiskVolumeData& out) {
  std::string why;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(image, why);
  if (disk < 0) {
    std::fprintf(stderr, "cannot open %s: %s\n", image.c_str(), why.c_str());
    return false;
  }
  std::list<_DiskVolumeData> rows;
  QVUIController::GetDeviceInfoToArray(rows);
  for (const auto& row : rows)
    if (row.diskIndex == disk && !row.children.empty()) {
      out = row.children.front();
      return true;
    }
  std::fprintf(stderr, "%s has no volume\n", image.c_str());
  return false;
}

// The largest folder among the rows read so far under the first root.
QModelIndex largestFolder(windows::CommOutlineView& outline) {
  QAbstractItemModel& model = *outline.model();
  const QModelIndex root = model.index(0, 0);
  if (model.canFetchMore(root)) model.fetchMore(root);
  QModelIndex best;
  std::size_t most = 0;
  for (int r = 0; r < model.rowCount(root); ++r) {
    const QModelIndex index = model.index(r, 0, root);
    std::vector<IFileNode*> files;
    QVUIController::GetFileNodeToArray(&files, outline.resultModel()->itemAt(index).get());
    if (files.size() > most) {
      most = files.size();
      best = index;
    }
  }
  return best;
}

// Pages through a table's rows, painting each page; the longest page and
// the median one.
double pageThrough(QAbstractItemView& view, int* pages, double* median) {
  QScrollBar* bar = view.verticalScrollBar();
  std::vector<double> times;
  for (int v = bar->minimum();; v += std::max(1, bar->pageStep())) {
    QElapsedTimer t;
    t.start();
    bar->setValue(std::min(v, bar->maximum()));
    view.viewport()->repaint();
    times.push_back(msSince(t));
    if (v >= bar->maximum()) break;
  }
  *pages = static_cast<int>(times.size());
  std::sort(times.begin(), times.end());
  *median = times[times.size() / 2];
  return times.back();
}

struct Figures {
  double show = 1e300, showPeer = 1e300;
  double list = 1e300, listPeer = 1e300, page = 0, pagePeer = 0, pageMedian = 0, pageMedianPeer = 0;
  double tick = 1e300, tickPeer = 1e300;
  double treeLoad[4] = {1e300, 1e300, 1e300, 1e300};
  int treeRoots[4] = {0, 0, 0, 0};
  std::size_t treeRows = 0, folderFiles = 0;
  int pages = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quarnel_results_window_bench IMAGE [rounds]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  QApplication app(argc, argv);
  bridge_qt::QtBridge bridge;
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);
  _DiskVolumeData row;
  if (!volumeRow(argv[1], row)) return 1;
  Figures f;
  for (int round = 0; round < rounds; ++round) {
    // The show step is timed around the window's handler of the last
    // update: one observer runs before the window's, one after.
    QObject before;
    QElapsedTimer showTimer;
    bool last = false;
    ui::NotificationCenter::defaultCenter().addObserver(&before, QStringLiteral("NormalScranValue"),
                                                        [&](const ui::Notification&) {
                                                          last = !QVUIController::IsScanRunning();
                                                          showTimer.start();
                                                        });
    auto window = std::make_unique<windows::QVDeletailWindowController>();
    window->setSelectDiskVolumeData(row);
    window->setScanTypeNum(1);
    window->show();
    double shown = -1;
    QElapsedTimer scan;
    scan.start();
    if (!window->getData()) {
      std::fprintf(stderr, "the scan did not start\n");
      return 1;
    }
    // Registered after the window's own observer (made by getData).
    QObject after;
    ui::NotificationCenter::defaultCenter().addObserver(&after, QStringLiteral("NormalScranValue"),
                                                        [&](const ui::Notification&) {
                                                          if (!last) return;
                                                          window->repaint();
                                                          shown = msSince(showTimer);
                                                        });
    while (shown < 0 && scan.elapsed() < 600000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (shown < 0) {
      std::fprintf(stderr, "the scan did not end in time\n");
      return 1;
    }
    const double scanMs = msSince(scan);
    f.show = std::min(f.show, shown);
    ui::NotificationCenter::defaultCenter().removeObserver(&before);
    ui::NotificationCenter::defaultCenter().removeObserver(&after);

    // Where the show step goes: each tree read again on its own.
    {
      const OpNodeArray* arrays[] = {&window->allDiskArr(), &window->allTypeArr(), &window->allCreatTimeArr(),
                                     &window->allModifyTimeArr()};
      for (int kind = 0; kind < 4; ++kind) {
        QElapsedTimer t;
        t.start();
        window->outline(kind)->loadDataFormDetail(arrays[kind], kind);
        f.treeLoad[kind] = std::min(f.treeLoad[kind], msSince(t));
        f.treeRoots[kind] = window->outline(kind)->model()->rowCount();
      }
    }

    // Peer of the show step: every folder of the path tree and every
    // file in them in a plain model, painted.
    {
      QElapsedTimer t;
      t.start();
      const bridge_qt::TreeSnapshot snap = bridge_qt::TreeSnapshot::Take(window->allDiskArr());
      QStandardItemModel model;
      std::vector<QStandardItem*> items(snap.rows.size(), nullptr);
      std::size_t rows = 0;
      for (std::size_t i = 0; i < snap.rows.size(); ++i) {
        items[i] = new QStandardItem(QString::fromStdString(snap.rows[i].name));
        const int parent = snap.parent[i];
        if (parent < 0)
          model.appendRow(items[i]);
        else
          items[static_cast<std::size_t>(parent)]->appendRow(items[i]);
        ++rows;
        if (!snap.rows[i].item) continue;
        std::vector<IFileNode*> files;
        QVUIController::GetFileNodeToArray(&files, snap.rows[i].item.get());
        for (IFileNode* file : files) {
          items[i]->appendRow(new QStandardItem(QString::fromStdString(OpNodeData::fileNodeName(file))));
          ++rows;
        }
      }
      QTreeView view;
      view.setModel(&model);
      view.resize(224, 400);
      view.show();
      view.expandToDepth(0);
      view.repaint();
      f.showPeer = std::min(f.showPeer, msSince(t));
      f.treeRows = rows;
    }

    // Choosing the folder of 10,000 files and paging through its list.
    windows::CommOutlineView& path = *window->outline(0);
    const QModelIndex folder = largestFolder(path);
    if (!folder.isValid()) {
      std::fprintf(stderr, "no folder in the path tree\n");
      return 1;
    }
    {
      QElapsedTimer t;
      t.start();
      path.setCurrentIndex(folder);
      window->repaint();
      f.list = std::min(f.list, msSince(t));
      QCoreApplication::processEvents();
      f.folderFiles = static_cast<std::size_t>(window->fileList()->rowCount());
      double median = 0;
      f.page = std::max(f.page, pageThrough(*window->tableView(), &f.pages, &median));
      f.pageMedian = std::max(f.pageMedian, median);
    }
    {
      QElapsedTimer t;
      t.start();
      QStandardItemModel model(0, 5);
      windows::FileListModel texts;
      texts.setRows(window->fileList()->rows());
      for (int i = 0; i < texts.rowCount(); ++i) {
        const windows::FileListModel::Record& r = texts.record(i);
        model.appendRow({new QStandardItem(), new QStandardItem(r.name), new QStandardItem(r.sizeText),
                         new QStandardItem(r.path), new QStandardItem(r.created)});
      }
      QTableView view;
      view.setModel(&model);
      view.resize(676, 400);
      view.show();
      view.repaint();
      f.listPeer = std::min(f.listPeer, msSince(t));
      QCoreApplication::processEvents();
      int pages = 0;
      double median = 0;
      f.pagePeer = std::max(f.pagePeer, pageThrough(view, &pages, &median));
      f.pageMedianPeer = std::max(f.pageMedianPeer, median);
    }

    // The tick of that folder, and its peer.
    {
      QElapsedTimer t;
      t.start();
      path.clickButtonAction(folder);
      window->repaint();
      f.tick = std::min(f.tick, msSince(t));
      if (window->selectedFileCnt() != static_cast<int>(f.folderFiles))
        std::fprintf(stderr, "ticked %d files of %zu\n", window->selectedFileCnt(), f.folderFiles);
      path.clickButtonAction(folder);  // back to none
    }
    {
      QElapsedTimer t;
      t.start();
      for (IFileNode* node : window->fileList()->rows()) OpNodeData::setFileNode(node, 2);
      f.tickPeer = std::min(f.tickPeer, msSince(t));
      for (IFileNode* node : window->fileList()->rows()) OpNodeData::setFileNode(node, 0);
    }
    std::printf("round %d: scan %.0f ms\n", round + 1, scanMs);
    window.reset();
    QVUIController::WaitForJobs(10000);
  }
  std::printf("path tree of %zu rows (folders and files), folder of %zu files, best of %d rounds\n", f.treeRows,
              f.folderFiles, rounds);
  std::printf(
      "show the trees after the last update: window %.1f ms, peer (every folder and file in a plain model) %.1f ms, "
      "ratio %.3f\n",
      f.show, f.showPeer, f.showPeer > 0 ? f.show / f.showPeer : 0.0);
  std::printf(
      "  of which reading each tree again (its top rows): path %.1f ms (%d), category %.1f ms (%d), "
      "creation %.1f ms (%d), modification %.1f ms (%d)\n",
      f.treeLoad[0], f.treeRoots[0], f.treeLoad[1], f.treeRoots[1], f.treeLoad[2], f.treeRoots[2], f.treeLoad[3],
      f.treeRoots[3]);
  std::printf("choose the folder and paint its list: window %.1f ms, peer (plain table) %.1f ms, ratio %.3f\n", f.list,
              f.listPeer, f.listPeer > 0 ? f.list / f.listPeer : 0.0);
  std::printf(
      "page through the list (%d pages): median page window %.2f ms, peer %.2f ms; longest page window "
      "%.2f ms, peer %.2f ms\n",
      f.pages, f.pageMedian, f.pageMedianPeer, f.page, f.pagePeer);
  std::printf("tick the folder of %zu files: window %.1f ms, peer (set each node) %.1f ms, ratio %.1f\n", f.folderFiles,
              f.tick, f.tickPeer, f.tickPeer > 0 ? f.tick / f.tickPeer : 0.0);
  return 0;
}
