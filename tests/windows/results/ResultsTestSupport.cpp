#include "ResultsTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bridge/QVResultTrees.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIScan.h"
#include "support/EventLoop.h"
#include "ui/windows/QVDeletailWindowController.h"

namespace resultstest {
namespace {

std::string quote(const std::string& s) { return "'" + s + "'"; }

void fetchAll(QAbstractItemModel& model, const QModelIndex& parent, std::vector<QModelIndex>& out) {
  if (model.canFetchMore(parent)) model.fetchMore(parent);
  for (int r = 0; r < model.rowCount(parent); ++r) {
    const QModelIndex index = model.index(r, 0, parent);
    out.push_back(index);
    fetchAll(model, index, out);
  }
}

}  // namespace

bool HaveFatTools() {
  return testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\" command -v mkfs.vfat >/dev/null") == 0 &&
         testsupport::HaveProgram("mcopy");
}

bool MakeFatImage(const testsupport::TempDir& dir, FatImage& image, qint64 totalBytes) {
  QImage picture(640, 480, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.fillRect(picture.rect(), QColor(40, 120, 200));
  painter.fillRect(QRect(100, 100, 440, 280), QColor(250, 200, 40));
  painter.end();
  const std::string jpg = dir.File("holiday.jpg");
  if (!picture.save(QString::fromStdString(jpg), "JPG", 90)) return false;
  image.text = "Dear reader, hello again.\nThis letter was deleted.\n";
  std::ofstream(dir.File("letter.txt")) << image.text;
  image.jpegSize = QFileInfo(QString::fromStdString(jpg)).size();
  image.textSize = QFileInfo(QString::fromStdString(dir.File("letter.txt"))).size();
  image.path = dir.File("fat16.img");
  const std::string i = " -i " + quote(image.path);
  std::string script = "export MTOOLS_SKIP_CHECK=1; mkfs.vfat -F 16 -C " + quote(image.path) +
                       " 32768 >/dev/null && mmd" + i + " ::/Photos ::/Old && mcopy" + i + " " + quote(jpg) +
                       " ::/Photos/ && mcopy" + i + " " + quote(dir.File("letter.txt")) + " ::/Old/ && mdel" + i +
                       " ::/Photos/holiday.jpg ::/Old/letter.txt";
  if (totalBytes > 0) script += " && truncate -s " + std::to_string(totalBytes) + " " + quote(image.path);
  return testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; " + script) == 0;
}

bool AddPictureCopies(const testsupport::TempDir& dir, const FatImage& image, const std::vector<int>& mibOffsets) {
  for (const int mib : mibOffsets) {
    if (testsupport::Run("dd if=" + quote(dir.File("holiday.jpg")) + " of=" + quote(image.path) +
                         " bs=1M seek=" + std::to_string(mib) + " conv=notrunc status=none") != 0)
      return false;
  }
  return true;
}

EveryUpdatePosted::EveryUpdatePosted() {
  auto clock = std::make_shared<std::atomic<std::int64_t>>(std::time(nullptr));
  QVUIScan::instance()->SetClock([clock] { return clock->fetch_add(2); });
}

EveryUpdatePosted::~EveryUpdatePosted() {
  QVUIScan::instance()->SetClock([] { return static_cast<std::int64_t>(std::time(nullptr)); });
}

BridgeSession::BridgeSession() {
  QVUIController::Init();
  QVUIController::SetRecoveryType(127);
  QVUIController::SetViewType(0);
}

BridgeSession::~BridgeSession() {
  QVUIController::StopScan(1);
  QVUIController::WaitForJobs(60000);
  QCoreApplication::processEvents();
  QVUIController::QVResetTreeNodeData();
  QVTreeNodeArrays none;
  QVUIController::QVSetTreeNodeData(&none);
}

bool BridgeSession::open(const std::string& image) {
  std::string why;
  const int disk = QVUIDeviceData::instance()->QVOpenImageFile(image, why);
  if (disk < 0) return false;
  std::list<_DiskVolumeData> rows;
  QVUIController::GetDeviceInfoToArray(rows);
  for (const auto& row : rows) {
    if (row.diskIndex != disk || row.children.empty()) continue;
    disk_ = row;
    disk_.children.clear();
    volume_ = row.children.front();
    return true;
  }
  return false;
}

bool StartScan(windows::QVDeletailWindowController& window, const _DiskVolumeData& row, int kind) {
  window.setSelectDiskVolumeData(row);
  window.setScanTypeNum(kind);
  window.show();
  return window.getData();
}

bool WaitForScanEnd(windows::QVDeletailWindowController& window, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (QVUIController::IsScanRunning() && t.elapsed() < timeoutMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  if (QVUIController::IsScanRunning() || !QVUIController::WaitForJobs(30000)) return false;
  // The last update arrives through the event loop.
  while (!window.scanEnded() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QCoreApplication::processEvents();
  return window.scanEnded();
}

bool WaitForSearch(int ms) {
  testsupport::RunEventsUntil([] { return QVUIController::QVGetIsSearching() == 0; }, ms);
  QCoreApplication::processEvents();
  return QVUIController::QVGetIsSearching() == 0;
}

QModelIndex FindRow(windows::CommOutlineView& outline, const QString& label) {
  std::vector<QModelIndex> rows;
  fetchAll(*outline.model(), QModelIndex(), rows);
  for (const QModelIndex& index : rows)
    if (outline.resultModel()->label(index) == label) return index;
  return {};
}

std::vector<QString> RootLabels(windows::CommOutlineView& outline) {
  std::vector<QString> labels;
  for (int r = 0; r < outline.model()->rowCount(); ++r)
    labels.push_back(outline.resultModel()->label(outline.model()->index(r, 0)));
  return labels;
}

unsigned long long SumOfCounts(const std::vector<QString>& labels) {
  static const QRegularExpression count(QStringLiteral("\\((\\d+)\\)$"));
  unsigned long long sum = 0;
  for (const QString& label : labels) {
    const QRegularExpressionMatch m = count.match(label);
    if (m.hasMatch()) sum += m.captured(1).toULongLong();
  }
  return sum;
}

QModelIndex FirstLeafGroup(windows::CommOutlineView& outline) {
  std::vector<QModelIndex> rows;
  fetchAll(*outline.model(), QModelIndex(), rows);
  for (const QModelIndex& index : rows)
    if (outline.model()->rowCount(index) == 0) return index;
  return {};
}

QModelIndex FolderWithFiles(windows::QVDeletailWindowController& window) {
  windows::CommOutlineView& outline = *window.outline(window.selectTypeCount());
  std::vector<QModelIndex> rows;
  fetchAll(*outline.model(), QModelIndex(), rows);
  for (const QModelIndex& index : rows) {
    outline.setCurrentIndex(index);
    if (FirstFileRow(*window.fileList()) >= 0) return index;
  }
  return {};
}

int FirstFileRow(const windows::FileListModel& list) {
  for (int r = 0; r < list.rowCount(); ++r)
    if (!list.record(r).folder) return r;
  return -1;
}

int FindListRow(const windows::FileListModel& list, const QString& nameContains) {
  for (int r = 0; r < list.rowCount(); ++r)
    if (list.record(r).name.contains(nameContains)) return r;
  return -1;
}

void ClickCheckBox(windows::QVDeletailWindowController& window, int row) {
  QTableView* table = window.tableView();
  const QRect cell = table->visualRect(window.fileList()->index(row, windows::FileListModel::CheckBox));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

void ClickTreeCheckBox(windows::CommOutlineView& outline, const QModelIndex& index) {
  outline.scrollTo(index);
  QTest::mouseClick(outline.viewport(), Qt::LeftButton, {}, outline.checkBoxRect(index).center());
}

void ResultsWindowTest::TearDown() {
  window_.reset();
  session_.reset();
}

void ResultsWindowTest::OpenImage(qint64 totalBytes, const std::vector<int>& pictureCopiesMib) {
  ASSERT_TRUE(MakeFatImage(dir_, image_, totalBytes));
  if (!pictureCopiesMib.empty()) {
    ASSERT_TRUE(AddPictureCopies(dir_, image_, pictureCopiesMib));
  }
  session_ = std::make_unique<BridgeSession>();
  ASSERT_TRUE(session_->open(image_.path));
}

bool ResultsWindowTest::StartWindow(const _DiskVolumeData& row, int kind) {
  window_ = std::make_unique<windows::QVDeletailWindowController>();
  return StartScan(*window_, row, kind);
}

}  // namespace resultstest
