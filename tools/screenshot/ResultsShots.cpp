// quarnel_results_shots OUT_DIR WORK_DIR: the results window on a small
// FAT16 image made in WORK_DIR (mkfs.vfat and mtools), photographed on the
// X screen at each step (scripts/screenshots.sh runs it under Xvfb):
//   results-scanning.png  a deep scan of the whole image, paused just after its start
//   results-popover.png   the deep-scan suggestion above the window at the end of a quick scan
//   results-path.png      a quick scan's path tree, the Photos folder chosen, its picture ticked
//   results-category.png  the category tree
//   results-date.png      the creation-date tree, a month chosen
//   results-preview.png   the space-bar preview of the picture

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTest>

#include <cstdio>

#include "Shots.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace {

QString g_out;

void shot(const char* name) {
  shots::Wait(600);
  shots::SaveScreen(g_out, name);
}

bool makeImage(const QString& work, QString& image) {
  QImage picture(800, 600, QImage::Format_RGB32);
  QPainter p(&picture);
  QLinearGradient sky(0, 0, 0, 600);
  sky.setColorAt(0, QColor(40, 90, 180));
  sky.setColorAt(1, QColor(250, 170, 80));
  p.fillRect(picture.rect(), sky);
  p.setBrush(QColor(255, 230, 120));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPoint(400, 380), 110, 110);
  p.fillRect(QRect(0, 450, 800, 150), QColor(30, 60, 90));
  p.end();
  if (!picture.save(work + QStringLiteral("/holiday.jpg"), "JPG", 90) ||
      !picture.scaled(200, 150).save(work + QStringLiteral("/sunset.png"), "PNG"))
    return false;
  image = work + QStringLiteral("/shots.img");
  const QString script = QStringLiteral(
                             "set -e; export PATH=\"$PATH:/usr/sbin:/sbin\" MTOOLS_SKIP_CHECK=1; cd '%1'\n"
                             "printf 'Minutes of the meeting of 8 March 2024.\\n' > minutes.txt\n"
                             "printf 'name,amount\\nrent,700\\nfood,250\\n' > budget.csv\n"
                             "printf 'Dear reader, hello again.\\nThis letter was deleted.\\n' > letter.txt\n"
                             "head -c 20000 /dev/zero > song.mp3\n"
                             "touch -d '2024-03-08 10:00:02' minutes.txt budget.csv song.mp3\n"
                             "touch -d '2025-07-14 18:30:00' holiday.jpg sunset.png letter.txt\n"
                             "rm -f shots.img; mkfs.vfat -F 16 -n HOLIDAYS -C shots.img 32768 >/dev/null\n"
                             "mmd -i shots.img ::/Documents ::/Photos ::/Music ::/Old\n"
                             "mcopy -m -i shots.img minutes.txt budget.csv ::/Documents/\n"
                             "mcopy -m -i shots.img holiday.jpg sunset.png ::/Photos/\n"
                             "mcopy -m -i shots.img song.mp3 ::/Music/\n"
                             "mcopy -m -i shots.img letter.txt ::/Old/\n"
                             "mdel -i shots.img ::/Photos/holiday.jpg ::/Old/letter.txt\n"
                             "truncate -s 2G shots.img\n")
                             .arg(work);
  return QProcess::execute(QStringLiteral("bash"), {QStringLiteral("-c"), script}) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quarnel_results_shots OUT_DIR WORK_DIR\n");
    return 2;
  }
  QApplication app(argc, argv);
  g_out = QString::fromLocal8Bit(argv[1]);
  const QString work = QString::fromLocal8Bit(argv[2]);
  bridge_qt::QtBridge bridge;
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);
  QString image;
  _DiskVolumeData disk, volume;
  if (!makeImage(work, image) || !shots::OpenImageRows(image, disk, volume)) return 1;

  {
    windows::QVDeletailWindowController deep;
    deep.setSelectDiskVolumeData(disk);
    deep.setScanTypeNum(2);
    deep.move(190, 90);
    deep.show();
    deep.getData();
    shots::Wait(300);
    deep.pauseButtonClick();
    shot("results-scanning");
    QVUIController::StopScan(1);
    shots::WaitForScanEnd(deep);
  }
  // The stopped scan's thread ends before the next scan may start.
  QVUIController::WaitForJobs(30000);

  windows::QVDeletailWindowController w;
  w.setSelectDiskVolumeData(volume);
  w.setScanTypeNum(1);
  w.move(190, 90);
  w.show();
  if (!w.getData() || !shots::WaitForScanEnd(w)) {
    std::fprintf(stderr, "the quick scan did not run\n");
    return 1;
  }
  // The suggestion stays above the window once the window is activated again.
  w.activateWindow();
  w.raise();
  shot("results-popover");
  w.popupViewHidden();
  windows::CommOutlineView& path = *w.outline(0);
  const QModelIndex photos = shots::FindRow(path, QStringLiteral("Photos"), false);
  path.setCurrentIndex(photos);
  const int picture = shots::ListRow(w, QStringLiteral("oliday"), Qt::CaseSensitive);
  if (picture >= 0) {
    w.nsbuttonCellClick(picture);
    w.tableView()->setCurrentIndex(w.fileList()->index(picture, windows::FileListModel::Name));
  }
  shot("results-path");

  w.typeButtonClick();
  const QModelIndex pictures = w.outline(1)->model()->index(0, 0);
  w.outline(1)->expandAll();
  (void)pictures;
  shot("results-category");

  w.timeButtonClick();
  w.outline(2)->expandAll();
  QAbstractItemModel& dates = *w.outline(2)->model();
  QModelIndex month = dates.index(0, 0);
  while (dates.rowCount(month) > 0) month = dates.index(0, 0, month);
  if (month.isValid()) w.outline(2)->setCurrentIndex(month);
  shot("results-date");

  w.pathButtonClick();
  path.setCurrentIndex(photos);
  const int again = shots::ListRow(w, QStringLiteral("oliday"), Qt::CaseSensitive);
  w.tableView()->setFocus();
  w.tableView()->setCurrentIndex(w.fileList()->index(again, windows::FileListModel::Name));
  QTest::keyClick(w.tableView(), Qt::Key_Space);
  QElapsedTimer t;
  t.start();
  while (w.spacePreviewWindow() != nullptr && w.spacePreviewWindow()->showImage().isNull() && t.elapsed() < 20000)
    shots::Wait(50);
  shot("results-preview");
  QTest::keyClick(w.tableView(), Qt::Key_Space);
  QVUIController::WaitForJobs(10000);
  return 0;
}
