#include "Shots.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <list>
#include <string>

#include "bridge/QVUIController.h"
#include "ui/windows/CommOutlineView.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace shots {
namespace {

QModelIndex findBelow(windows::CommOutlineView& outline, const QString& label, bool prefix, const QModelIndex& parent) {
  QAbstractItemModel& model = *outline.model();
  if (model.canFetchMore(parent)) model.fetchMore(parent);
  for (int r = 0; r < model.rowCount(parent); ++r) {
    const QModelIndex index = model.index(r, 0, parent);
    const QString text = outline.resultModel()->label(index);
    if (prefix ? text.startsWith(label, Qt::CaseInsensitive) : text == label) return index;
    const QModelIndex below = findBelow(outline, label, prefix, index);
    if (below.isValid()) return below;
  }
  return {};
}

}  // namespace

void Wait(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void SaveScreen(const QString& dir, const char* name) {
  const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
  const QString path = dir + QStringLiteral("/") + QLatin1String(name) + QStringLiteral(".png");
  if (screen.save(path, "PNG"))
    std::printf("wrote %s\n", qPrintable(path));
  else
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

bool OpenImageRows(const QString& image, _DiskVolumeData& disk, _DiskVolumeData& volume) {
  std::string why;
  const int index = QVUIDeviceData::instance()->QVOpenImageFile(image.toStdString(), why);
  std::list<_DiskVolumeData> all;
  QVUIController::GetDeviceInfoToArray(all);
  for (const auto& row : all)
    if (row.diskIndex == index && !row.children.empty()) {
      disk = row;
      disk.children.clear();
      volume = row.children.front();
      return true;
    }
  std::fprintf(stderr, "no volume in %s: %s\n", qPrintable(image), why.c_str());
  return false;
}

QModelIndex FindRow(windows::CommOutlineView& outline, const QString& label, bool prefix) {
  return findBelow(outline, label, prefix, {});
}

int ListRow(windows::QVDeletailWindowController& w, const QString& text, Qt::CaseSensitivity cs) {
  for (int r = 0; r < w.fileList()->rowCount(); ++r)
    if (w.fileList()->record(r).name.contains(text, cs)) return r;
  return -1;
}

bool WaitForScanEnd(windows::QVDeletailWindowController& w) {
  QElapsedTimer t;
  t.start();
  while (!w.scanEnded() && t.elapsed() < 300000) Wait(50);
  return !QVUIController::IsScanRunning();
}

}  // namespace shots
