#include "RecoveryTestSupport.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <random>

#include "../results/ResultsTestSupport.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "support/EventLoop.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVRootWindowController.h"
#include "ui/windows/QVSelectDiskViewController.h"
#include "ui/windows/QVSelectTypeViewController.h"

namespace recoverytest {
namespace {

std::string quote(const std::string& s) { return "'" + s + "'"; }

}  // namespace

bool HaveFatTools() { return resultstest::HaveFatTools(); }

std::string SeededBytes(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; i += 4) {
    const std::uint32_t word = gen();
    for (std::size_t b = 0; b < 4 && i + b < size; ++b) out[i + b] = static_cast<char>((word >> (8 * b)) & 0xff);
  }
  return out;
}

bool MakeFat16(const testsupport::TempDir& dir, const std::string& imageName, int mib,
               const std::vector<Original>& files, std::string& image) {
  image = dir.File(imageName);
  const std::string i = " -i " + quote(image);
  std::string script = "export MTOOLS_SKIP_CHECK=1; mkfs.vfat -F 16 -C " + quote(image) + " " +
                       std::to_string(mib * 1024) + " >/dev/null";
  std::vector<std::string> folders;
  for (const Original& f : files) {
    const std::string local = dir.File("src-" + f.name);
    std::ofstream(local, std::ios::binary) << f.contents;
    if (std::find(folders.begin(), folders.end(), f.folder) == folders.end()) {
      folders.push_back(f.folder);
      script += " && mmd" + i + " ::/" + f.folder;
    }
    script += " && mcopy" + i + " " + quote(local) + " ::/" + f.folder + "/" + f.name;
  }
  for (const Original& f : files) script += " && mdel" + i + " ::/" + f.folder + "/" + f.name;
  return testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; " + script) == 0;
}

DeviceListForTests::DeviceListForTests() {
  std::filesystem::create_directories(dir_.File("sys/class/block"));
  std::filesystem::create_directories(dir_.File("dev"));
  std::ofstream(dir_.File("mountinfo")).flush();
  QVUIController::Init();
  QVUIController::WaitForJobs(20000);
  QVUIDeviceData::instance()->SetEnumSources(EnumSources{dir_.File("sys"), dir_.File("dev"), dir_.File("mountinfo")});
  QVUIDeviceData::instance()->RefreshDeviceInfo();
  for (const char* name : {"spare-a", "spare-b"}) {
    const std::string spare = dir_.File(std::string(name) + ".img");
    testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; mkfs.vfat -F 12 -C " + quote(spare) + " 1024 >/dev/null");
    std::string why;
    QVUIDeviceData::instance()->QVOpenImageFile(spare, why);
  }
}

DeviceListForTests::~DeviceListForTests() {
  QVUIController::StopScan(1);
  QVUIController::StopRecvoery();
  QVUIController::WaitForJobs(60000);
  QCoreApplication::processEvents();
  QVUIDeviceData::instance()->SetEnumSources(EnumSources{});
}

bool WaitFor(const std::function<bool()>& done, int ms) { return testsupport::RunEventsUntil(done, ms); }

windows::QVDeletailWindowController* ScanImageThroughMainWindow(windows::QVRootWindowController& root,
                                                                ui::ScriptedModalRunner& runner,
                                                                const std::string& image) {
  using windows::QVRootWindowController;
  root.show();
  const QPointer<windows::QVSelectDiskViewController> before = root.selectDiskVC();
  QTest::mouseClick(root.selectTypeVC()->nextButton(), Qt::LeftButton);
  if (!WaitFor([&] {
        return root.selectDiskVC() != nullptr && before.isNull() &&
               root.whichPage() == QVRootWindowController::DiskPage;
      }))
    return nullptr;
  windows::QVSelectDiskViewController* page = root.selectDiskVC();
  runner.fileAnswers.push_back(QString::fromStdString(image));
  QSignalSpy shown(page, &windows::QVSelectDiskViewController::listShown);
  QTest::mouseClick(page->openImageButton(), Qt::LeftButton);
  if (!WaitFor([&] { return shown.count() > 0; }) || !root.continueButton()->isButtonEnabled()) return nullptr;
  QTest::mouseClick(root.continueButton(), Qt::LeftButton);
  auto* results = qobject_cast<windows::QVDeletailWindowController*>(root.deletailWC());
  if (results == nullptr) return nullptr;
  if (!WaitFor([&] { return QVUIController::IsScanRunning() || results->scanEnded(); }, 10000)) return nullptr;
  return resultstest::WaitForScanEnd(*results) ? results : nullptr;
}

bool TickInPathTree(windows::QVDeletailWindowController& window, const QString& folder, const QString& nameEnd) {
  window.pathButtonClick();
  windows::CommOutlineView* path = window.outline(0);
  const QModelIndex row = resultstest::FindRow(*path, folder);
  if (!row.isValid()) return false;
  path->setCurrentIndex(row);
  const int file = resultstest::FindListRow(*window.fileList(), nameEnd);
  if (file < 0) return false;
  resultstest::ClickCheckBox(window, file);
  return true;
}

std::vector<QString> PathTreeRows(windows::QVDeletailWindowController& window) {
  std::vector<QString> out;
  windows::CommOutlineView* path = window.outline(0);
  QAbstractItemModel* model = path->model();
  std::function<void(const QModelIndex&, const QString&)> walk = [&](const QModelIndex& parent, const QString& prefix) {
    while (model->canFetchMore(parent)) model->fetchMore(parent);
    for (int r = 0; r < model->rowCount(parent); ++r) {
      const QModelIndex index = model->index(r, 0, parent);
      const QString name = prefix + path->resultModel()->label(index);
      out.push_back(name);
      walk(index, name + QStringLiteral("/"));
    }
  };
  walk(QModelIndex(), QString());
  return out;
}

std::vector<std::string> FindFiles(const std::string& folder, const std::string& nameEnd) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (it->is_regular_file() && name.size() >= nameEnd.size() &&
        name.compare(name.size() - nameEnd.size(), nameEnd.size(), nameEnd) == 0)
      out.push_back(it->path().string());
  }
  return out;
}

}  // namespace recoverytest
