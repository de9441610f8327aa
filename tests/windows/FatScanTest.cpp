// A quick scan of a FAT16 image made here (mkfs.vfat and mtools: two files
// in folders, then deleted), run through the bridge with its Qt side as
// the main window would: updates on the GUI thread, the path tree read by
// snapshots, and the thumbnail of the deleted picture.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QThread>

#include <fstream>

#include "bridge/QVResultTrees.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "support/Absent.h"
#include "support/TempDir.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/bridge_qt/QtImages.h"
#include "ui/bridge_qt/TreeReader.h"
#include "ui/toolkit/NotificationCenter.h"

namespace {

std::string quote(const std::string& s) { return "'" + s + "'"; }

// 32 MiB FAT16 with Photos/holiday.jpg and Old/letter.txt, both deleted.
bool makeImage(const testsupport::TempDir& dir, std::string& image) {
  QImage picture(640, 480, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.fillRect(picture.rect(), QColor(40, 120, 200));
  painter.fillRect(QRect(100, 100, 300, 200), QColor(250, 200, 40));
  painter.end();
  const std::string jpg = dir.File("holiday.jpg");
  if (!picture.save(QString::fromStdString(jpg), "JPG", 90)) return false;
  std::ofstream(dir.File("letter.txt")) << "Dear reader, hello again.\n";
  image = dir.File("fat16.img");
  const std::string i = " -i " + quote(image);
  const std::string script = "mkfs.vfat -F 16 -C " + quote(image) + " 32768 >/dev/null && mmd" + i +
                             " ::/Photos ::/Old && mcopy" + i + " " + quote(jpg) + " ::/Photos/ && mcopy" + i + " " +
                             quote(dir.File("letter.txt")) + " ::/Old/ && mdel" + i +
                             " ::/Photos/holiday.jpg ::/Old/letter.txt";
  return testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; " + script) == 0;
}

const bridge_qt::TreeRow* findRow(const std::vector<bridge_qt::TreeRow>& rows, const std::string& name) {
  for (const auto& r : rows)
    if (r.name == name) return &r;
  return nullptr;
}

// Every row of every level below the roots, read level by level.
std::vector<bridge_qt::TreeRow> allRows(const OpNodeArray& roots) {
  std::vector<bridge_qt::TreeRow> out = bridge_qt::ReadRoots(roots);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (!out[i].item) continue;
    for (auto& row : bridge_qt::ReadChildren(*out[i].item)) out.push_back(std::move(row));
  }
  return out;
}

TEST(FatScanThroughQtBridge, UpdatesOnGuiThreadTreeHoldsDeletedFilesFolders) {
  if (testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\" command -v mkfs.vfat >/dev/null") != 0 ||
      !testsupport::HaveProgram("mcopy"))
    QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
  testsupport::TempDir dir;
  std::string image;
  ASSERT_TRUE(makeImage(dir, image));

  bridge_qt::QtBridge bridge;
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);
  QVUIController::SetViewType(0);
  OpNodeArray path, type, created, modified;
  QVTreeNodeArrays arrays{&path, &type, &created, &modified};
  QVUIController::QVSetTreeNodeData(&arrays);

  std::string why;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(image, why);
  ASSERT_GE(disk, 0) << why;
  std::list<_DiskVolumeData> rows;
  QVUIController::GetDeviceInfoToArray(rows);
  const _DiskVolumeData* volume = nullptr;
  for (const auto& row : rows)
    if (row.diskIndex == disk && !row.children.empty()) volume = &row.children.front();
  ASSERT_NE(volume, nullptr);

  QObject observer;
  std::vector<QThread*> updates;
  ui::NotificationCenter::defaultCenter().addObserver(
      &observer, QStringLiteral("NormalScranValue"),
      [&](const ui::Notification&) { updates.push_back(QThread::currentThread()); });
  ASSERT_TRUE(QVUIController::DoScanWithData(volume, "NormalScranValue", nullptr));
  QElapsedTimer t;
  t.start();
  while ((QVUIController::IsScanRunning() || updates.empty()) && t.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_FALSE(QVUIController::IsScanRunning());
  ASSERT_TRUE(QVUIController::WaitForJobs(10000));
  QCoreApplication::processEvents();
  ASSERT_FALSE(updates.empty());
  for (QThread* thread : updates) EXPECT_EQ(thread, QCoreApplication::instance()->thread());

  QVUIController::RefreshData();
  QVUIController::GetScanTreeNodeData(&path, 0);
  const std::vector<bridge_qt::TreeRow> tree = allRows(path);
  const bridge_qt::TreeRow* photos = findRow(tree, "Photos");
  const bridge_qt::TreeRow* old = findRow(tree, "Old");
  ASSERT_NE(photos, nullptr);
  ASSERT_NE(old, nullptr);
  EXPECT_TRUE(photos->isFolder);

  // The deleted picture among the files of its folder, with a real
  // thumbnail that fits the thumbnail side.
  std::vector<IFileNode*> files;
  QVUIController::GetFileNodeToArray(&files, photos->item.get());
  IFileNode* picture = nullptr;
  for (IFileNode* f : files)
    if (OpNodeData::isFileNodeDeleted(f) && OpNodeData::fileNodeName(f).find("oliday.jpg") != std::string::npos)
      picture = f;
  ASSERT_NE(picture, nullptr);
  const auto thumb = QVUIController::GetNSImageByFildNode(picture);
  ASSERT_TRUE(thumb.has_value());
  ASSERT_TRUE(thumb->usable());
  const QImage shown = bridge_qt::toQImage(*thumb);
  EXPECT_EQ(shown.width(), bridge::kThumbnailSide);
  EXPECT_EQ(shown.height(), 144);
  // The picture itself, not an icon: the yellow square is in the middle.
  const QColor middle = shown.pixelColor(shown.width() / 2, shown.height() / 2);
  EXPECT_GT(middle.red(), 200);
  EXPECT_LT(middle.blue(), 100);

  ui::NotificationCenter::defaultCenter().removeObserver(&observer);
  QVUIController::QVResetTreeNodeData();
  QVTreeNodeArrays none;
  QVUIController::QVSetTreeNodeData(&none);
}

}  // namespace
