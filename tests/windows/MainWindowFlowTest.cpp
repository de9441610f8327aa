// The main window from the category page to a scan, offscreen, through
// the real bridge: the category page's states, the disk page with an image
// opened by its "Open image…" button, the quick scan that starts from it,
// and the notice for a row that cannot be opened.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <functional>

#include "bridge/QVUIController.h"
#include "bridge/QVUIDeviceData.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/Modal.h"
#include "ui/toolkit/NotificationCenter.h"
#include "ui/windows/APFSScanWindowController.h"
#include "ui/windows/QVPublicUtilities.h"
#include "ui/windows/QVRootWindowController.h"
#include "ui/windows/QVDeletailWindowController.h"
#include "ui/windows/QVSelectDiskViewController.h"
#include "ui/windows/QVSelectTypeViewController.h"

namespace {

using windows::DiskRow;
using windows::QVRootWindowController;
using windows::QVSelectDiskViewController;
using windows::QVSelectTypeViewController;

bool waitFor(const std::function<bool()>& done, int ms = 20000) { return testsupport::RunEventsUntil(done, ms); }

std::string quote(const std::string& s) { return "'" + s + "'"; }

// 32 MiB FAT16 (no partition table) with Docs/report.txt, then deleted.
bool makeFat16(const testsupport::TempDir& dir, std::string& image) {
  std::ofstream(dir.File("report.txt")) << "Quarterly figures, kept for the auditors.\n";
  image = dir.File("holiday-stick.img");
  const std::string i = " -i " + quote(image);
  return testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; mkfs.vfat -F 16 -n STICK -C " + quote(image) +
                          " 32768 >/dev/null && mmd" + i + " ::/Docs && mcopy" + i + " " +
                          quote(dir.File("report.txt")) + " ::/Docs/ && mdel" + i + " ::/Docs/report.txt") == 0;
}

bool haveFatTools() {
  return testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\" command -v mkfs.vfat >/dev/null") == 0 &&
         testsupport::HaveProgram("mcopy");
}

// The machine's own disks are left out: an empty system tree.
class NoSystemDisks {
 public:
  NoSystemDisks() {
    std::filesystem::create_directories(dir_.File("sys/class/block"));
    std::filesystem::create_directories(dir_.File("dev"));
    std::ofstream(dir_.File("mountinfo")).flush();
    QVUIDeviceData::instance()->SetEnumSources(EnumSources{dir_.File("sys"), dir_.File("dev"), dir_.File("mountinfo")});
    QVUIDeviceData::instance()->RefreshDeviceInfo();
  }
  ~NoSystemDisks() {
    QVUIDeviceData::instance()->SetEnumSources(EnumSources{});
    QVUIController::WaitForJobs(20000);
  }

 private:
  testsupport::TempDir dir_;
};

struct Recorder : windows::QVSelectTypeDelegate {
  void nextButtonActionWithAllTypeArr(const QStringList& values) override { next.push_back(values); }
  void importButtonAction() override { ++imports; }
  void changeScanTypeWithNum(int type) override { scanTypes.push_back(type); }
  void isSelectOffice(int flag) override { officeFlags.push_back(flag); }
  std::vector<QStringList> next;
  int imports = 0;
  std::vector<int> scanTypes;
  std::vector<int> officeFlags;
};

int selectedTiles(const QVSelectTypeViewController& page) {
  int n = 0;
  for (auto* tile : page.allTypeButton()) n += tile->isSelected() ? 1 : 0;
  return n;
}

void clickTile(QVSelectTypeViewController& page, int tag) {
  QTest::mouseClick(page.tileForTag(tag), Qt::LeftButton, {}, QPoint(200, 36));
}

TEST(CategoryPage, OpensWithEverythingChosen) {
  QVRootWindowController root;
  root.show();
  QVSelectTypeViewController* page = root.selectTypeVC();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->selectArr(), (QStringList{"1", "2", "4", "8", "16", "32", "64"}));
  EXPECT_EQ(page->allTypeButton().size(), 6u);
  EXPECT_EQ(selectedTiles(*page), 6);
  EXPECT_EQ(page->alltypesImage(), QStringLiteral("checkbox_yes"));
  EXPECT_EQ(page->selectAllCount(), QVSelectTypeViewController::kAll);
  EXPECT_TRUE(page->nextButton()->isButtonEnabled());
  EXPECT_EQ(page->quickImage(), QStringLiteral("radio_button_yes"));
  // Tiles where the layout puts them (bottom-left origins in a 520 high page).
  EXPECT_EQ(page->tileForTag(0)->geometry(), QRect(30, 33, 400, 72));
  EXPECT_EQ(page->tileForTag(6)->geometry(), QRect(470, 289, 400, 72));
  EXPECT_EQ(page->tileForTag(5), nullptr);  // no e-mail tile
  EXPECT_EQ(root.isSelectOfficeFlag(), 1);
}

// Each step: what is clicked (a tile tag, or -1 for the all-types box),
// then the box image, its state, the number of chosen values and next.
struct Step {
  int click;
  const char* box;
  int count;
  int values;
  bool next;
};

TEST(CategoryPage, TileAndBoxStatesFollowTheTable) {
  const std::vector<std::vector<Step>> scripts = {
      // Every tile off, one by one: e-mail stays, so "some" and next on.
      {{0, "checkbox_half", 2, 6, true},
       {1, "checkbox_half", 2, 5, true},
       {2, "checkbox_half", 2, 4, true},
       {3, "checkbox_half", 2, 3, true},
       {4, "checkbox_half", 2, 2, true},
       {6, "checkbox_half", 2, 1, true},
       // The box on "some" chooses everything.
       {-1, "checkbox_yes", 1, 7, true}},
      // The box on "all" clears everything; a tile then gives "some".
      {{-1, "checkbox_no", 0, 0, false}, {3, "checkbox_half", 2, 1, true}, {3, "checkbox_no", 0, 0, false}},
      // A tile off and on again is "all" again.
      {{2, "checkbox_half", 2, 6, true}, {2, "checkbox_yes", 1, 7, true}},
  };
  for (std::size_t s = 0; s < scripts.size(); ++s) {
    Recorder delegate;
    QVSelectTypeViewController page;
    page.setDelegate(&delegate);
    page.setSelectAllCount(QVSelectTypeViewController::kNone);
    page.allTypesButtonClick();
    page.show();
    for (std::size_t i = 0; i < scripts[s].size(); ++i) {
      const Step& step = scripts[s][i];
      if (step.click < 0)
        QTest::mouseClick(page.alltypesButton(), Qt::LeftButton);
      else
        clickTile(page, step.click);
      SCOPED_TRACE(testing::Message() << "script " << s << " step " << i);
      EXPECT_EQ(page.alltypesImage(), QString::fromLatin1(step.box));
      EXPECT_EQ(page.selectAllCount(), step.count);
      EXPECT_EQ(page.selectArr().size(), step.values);
      EXPECT_EQ(page.nextButton()->isButtonEnabled(), step.next);
      if (step.click >= 0) {
        auto* tile = page.tileForTag(step.click);
        EXPECT_EQ(tile->isSelected(), page.selectArr().contains(QString::number(1 << step.click)));
      }
    }
    // The box tells the owner whether everything or nothing is chosen.
    EXPECT_EQ(delegate.officeFlags.front(), 1);
  }
}

TEST(CategoryPage, ScanTypeRadioAndNext) {
  Recorder delegate;
  QVSelectTypeViewController page;
  page.setDelegate(&delegate);
  page.setSelectAllCount(QVSelectTypeViewController::kNone);
  page.allTypesButtonClick();
  page.show();
  QTest::mouseClick(page.advancedButton(), Qt::LeftButton);
  EXPECT_EQ(page.quickImage(), QStringLiteral("radio_button_no"));
  EXPECT_EQ(page.advancedImage(), QStringLiteral("radio_button_yes"));
  QTest::mouseClick(page.quickButton(), Qt::LeftButton);
  EXPECT_EQ(delegate.scanTypes, (std::vector<int>{2, 1}));
  clickTile(page, 1);
  page.removeSelectOffice();
  QTest::mouseClick(page.nextButton(), Qt::LeftButton);
  ASSERT_EQ(delegate.next.size(), 1u);
  EXPECT_EQ(delegate.next.front(), (QStringList{"1", "4", "16", "32", "64"}));
  // With nothing chosen, next does nothing.
  QTest::mouseClick(page.alltypesButton(), Qt::LeftButton);  // some -> all
  QTest::mouseClick(page.alltypesButton(), Qt::LeftButton);  // all -> none
  QTest::mouseClick(page.nextButton(), Qt::LeftButton);
  EXPECT_EQ(delegate.next.size(), 1u);
}

TEST(CountOfVolumes, SingleVolumeRule) {
  auto disk = [](long long capacity, std::vector<long long> volumes, int readable = 1) {
    _DiskVolumeData d;
    d.name = "disk";
    d.capacity = capacity;
    for (long long v : volumes) {
      _DiskVolumeData row;
      row.name = "vol";
      row.capacity = v;
      row.beCanOpen = readable;
      d.children.push_back(row);
    }
    return std::make_shared<windows::DiskVolumeNodeData>(d);
  };
  struct Case {
    std::vector<DiskRow> disks;
    int count;
  };
  const std::vector<Case> cases = {
      {{disk(1000000, {950000})}, 1},          // within 100000: the volume alone
      {{disk(1000000, {900000})}, 2},          // 100000 left over: the disk page
      {{disk(1000000, {500000, 400000})}, 2},  // two volumes
      {{disk(1000000, {}), disk(5000, {5000})}, 1},
      {{}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(QVRootWindowController::countVolumes(c.disks, nullptr), c.count);
  // The one volume is scanned at once only when it can be read.
  DiskRow only;
  EXPECT_TRUE(QVRootWindowController::scanWithoutDiskPage({disk(1000000, {950000})}, &only));
  ASSERT_TRUE(only);
  EXPECT_EQ(only->capacity(), 950000);
  EXPECT_FALSE(QVRootWindowController::scanWithoutDiskPage({disk(1000000, {950000}, 0)}, nullptr));
  EXPECT_FALSE(QVRootWindowController::scanWithoutDiskPage({disk(1000000, {500000, 400000})}, nullptr));
  EXPECT_FALSE(QVRootWindowController::scanWithoutDiskPage({}, nullptr));
}

class MainWindowFlow : public testing::Test {
 protected:
  // Two images are open before each flow, so that the list never holds a
  // single volume (which would start its scan without the disk page);
  // images opened by earlier tests stay in the list too.
  void SetUp() override {
    if (!haveFatTools()) QUARNEL_SKIP_NO_TOOL() << "mkfs.vfat or mtools missing";
    QVUIController::Init();
    QVUIController::WaitForJobs(20000);
    for (const char* name : {"spare-a", "spare-b"}) {
      const std::string image = spares_.File(std::string(name) + ".img");
      ASSERT_EQ(
          testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; mkfs.vfat -F 12 -C " + quote(image) + " 1024 >/dev/null"),
          0);
      std::string why;
      ASSERT_GE(QVUIDeviceData::instance()->QVOpenImageFile(image, why), 0) << why;
    }
  }
  void TearDown() override {
    QVUIController::StopScan(1);
    QVUIController::WaitForJobs(20000);
    QCoreApplication::processEvents();
  }
  testsupport::TempDir spares_;
  // Presses next on the category page and waits for the disk page.
  static QVSelectDiskViewController* toDiskPage(QVRootWindowController& root) {
    const QPointer<QVSelectDiskViewController> before = root.selectDiskVC();
    QTest::mouseClick(root.selectTypeVC()->nextButton(), Qt::LeftButton);
    if (!waitFor([&] {
          return root.selectDiskVC() != nullptr && before.isNull() &&
                 root.whichPage() == QVRootWindowController::DiskPage;
        }))
      return nullptr;
    return root.selectDiskVC();
  }
};

TEST_F(MainWindowFlow, OpenImageAddsItsRowAndScanStartsAQuickScan) {
  testsupport::TempDir dir;
  std::string image;
  ASSERT_TRUE(makeFat16(dir, image));
  bridge_qt::QtBridge bridge;
  NoSystemDisks noDisks;
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);

  QVRootWindowController root;
  root.show();
  QVSelectDiskViewController* page = toDiskPage(root);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(root.whichPage(), QVRootWindowController::DiskPage);
  EXPECT_EQ(root.selectValues(), 127);
  // The pseudo row first; no desktop volume among images: nothing chosen, scan off.
  const int before = page->outlineView()->numberOfRows();
  ASSERT_GE(before, 5);
  EXPECT_EQ(page->cellText(0, QVSelectDiskViewController::ColName), QStringLiteral("Desktop"));
  EXPECT_EQ(page->nameImage(0), QStringLiteral("icon_desktop"));
  EXPECT_EQ(page->selectedRow(), -1);
  EXPECT_FALSE(root.continueButton()->isButtonEnabled());

  runner.fileAnswers.push_back(QString::fromStdString(image));
  QSignalSpy shown(page, &QVSelectDiskViewController::listShown);
  QTest::mouseClick(page->openImageButton(), Qt::LeftButton);
  ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
  ASSERT_EQ(runner.fileQuestions.size(), 1u);

  // The image's disk row and its FAT16 volume, chosen.
  ASSERT_EQ(page->outlineView()->numberOfRows(), before + 2);
  int d = -1;
  for (int r = 0; r < before + 2; ++r)
    if (page->cellText(r, QVSelectDiskViewController::ColName) == QStringLiteral("holiday-stick.img")) d = r;
  ASSERT_GT(d, 0);
  const int v = d + 1;
  EXPECT_EQ(page->nameImage(d), QStringLiteral("icon_mirror"));
  const long long bytes = 32768LL * 1024;
  EXPECT_EQ(page->cellText(v, QVSelectDiskViewController::ColSize), QStringLiteral("33.55 MB"));
  EXPECT_EQ(page->cellText(v, QVSelectDiskViewController::ColSize),
            windows::QVPublicUtilities::longlongDiskSize(bytes));
  EXPECT_EQ(page->cellText(v, QVSelectDiskViewController::ColFileSystem), QStringLiteral("FAT16"));
  EXPECT_EQ(page->cellText(d, QVSelectDiskViewController::ColSsd), QStringLiteral("HDD"));
  EXPECT_EQ(page->cellText(v, QVSelectDiskViewController::ColSsd), QStringLiteral(" "));
  EXPECT_TRUE(page->rootArr().contains(QString::number(d)));
  EXPECT_EQ(page->selectedRow(), v);
  EXPECT_EQ(page->selectImage(v), QStringLiteral("select_disk"));
  EXPECT_EQ(page->outlineView()->rowBackground(v), QColor(59, 153, 252));
  EXPECT_EQ(page->outlineView()->rowBackground(d), QColor(242, 242, 242));
  ASSERT_TRUE(root.selectVolumeData());
  EXPECT_EQ(root.selectVolumeData()->fileSystem(), 1);
  EXPECT_TRUE(root.continueButton()->isButtonEnabled());

  // Choosing the disk row, then the volume again, as a click does.
  page->chooseRow(d);
  EXPECT_EQ(root.selectVolumeData(), page->itemAtRow(d));
  EXPECT_EQ(page->outlineView()->rowBackground(d), QColor(59, 153, 252));
  page->chooseRow(v);
  EXPECT_EQ(root.selectVolumeData(), page->itemAtRow(v));

  QSignalSpy opened(&root, &QVRootWindowController::scanWindowOpened);
  QTest::mouseClick(root.continueButton(), Qt::LeftButton);
  ASSERT_EQ(opened.count(), 1);
  EXPECT_FALSE(root.isVisible());
  auto* results = qobject_cast<windows::QVDeletailWindowController*>(root.deletailWC());
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(results->selectDiskVolumeData().diskIndex, root.selectVolumeData()->diskIndex());
  EXPECT_EQ(results->selectDiskVolumeData().volumeIndex, root.selectVolumeData()->volumeIndex());
  EXPECT_EQ(results->scanTypeNum(), 1);
  ASSERT_TRUE(waitFor([&] { return QVUIController::IsScanRunning() || results->scanEnded(); }, 5000));
  EXPECT_FALSE(QVUIController::IsDeepScan());
  ASSERT_TRUE(waitFor([&] { return results->scanEnded(); }, 60000));
  std::uint64_t size = 0;
  std::uint64_t count = 0;
  QVUIController::GetScanFileSize(size, count);
  EXPECT_GE(count, 1u);
  EXPECT_FALSE(results->allDiskArr().empty());
}

TEST_F(MainWindowFlow, RowThatCannotBeOpenedShowsTheNoticeAndStartsNothing) {
  bridge_qt::QtBridge bridge;
  NoSystemDisks noDisks;
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  int notices = 0;
  runner.onModal = [&](QWidget* w) {
    auto* notice = qobject_cast<windows::APFSScanWindowController*>(w);
    ASSERT_NE(notice, nullptr);
    ++notices;
    EXPECT_FALSE(notice->textField()->text().isEmpty());
    QTest::mouseClick(notice->okButton(), Qt::LeftButton);
  };
  QVRootWindowController root;
  root.show();
  QVSelectDiskViewController* page = toDiskPage(root);
  ASSERT_NE(page, nullptr);
  _DiskVolumeData locked;
  locked.name = "Locked";
  locked.diskIndex = 0;
  locked.volumeIndex = 0;
  locked.fileSystem = 9;
  locked.beCanOpen = 0;
  root.changeSelectDiskViewContinueButtonEnabled(std::make_shared<windows::DiskVolumeNodeData>(locked));
  QTest::mouseClick(root.continueButton(), Qt::LeftButton);
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(runner.modalWindows.size(), 1u);
  EXPECT_FALSE(runner.isModalRunning(runner.modalWindows.front()));
  EXPECT_EQ(root.deletailWC(), nullptr);
  EXPECT_FALSE(QVUIController::IsScanRunning());
  EXPECT_EQ(root.whichPage(), QVRootWindowController::DiskPage);
  EXPECT_TRUE(root.isVisible());
}

TEST_F(MainWindowFlow, BackFromTheDiskPageAndOnAgainRebuildsIt) {
  bridge_qt::QtBridge bridge;
  NoSystemDisks noDisks;
  QVRootWindowController root;
  root.show();
  QVSelectDiskViewController* first = toDiskPage(root);
  ASSERT_NE(first, nullptr);
  QPointer<QVSelectDiskViewController> old = first;
  QTest::mouseClick(root.backHomeButton(), Qt::LeftButton);
  EXPECT_EQ(root.whichPage(), QVRootWindowController::CategoryPage);
  EXPECT_EQ(root.selectTypeVC()->pos(), QPoint(0, 0));
  // "8" survives: everything was chosen by the box.
  EXPECT_TRUE(root.selectTypeVC()->selectArr().contains(QStringLiteral("8")));
  QVSelectDiskViewController* second = toDiskPage(root);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(old.isNull());
  EXPECT_EQ(second->pos(), QPoint(0, 0));
}

}  // namespace

namespace {

TEST(ApfsNotice, CloseButtonOrOkEndsTheSessionAndTheLinkOpensTheHelpPage) {
  testsupport::TempDir dir;
  const std::string shipped = dir.File("PrivateData.plist");
  std::ofstream(shipped) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>en</key><dict>"
                            "<key>APFS_HELP_URL</key><string>https://quarnel.example/apfs</string></dict></dict>"
                            "</plist>\n";
  windows::QVPublicUtilities::setPrivateDataFiles({shipped}, dir.File("overlay.plist"));
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  for (const bool byBand : {true, false}) {
    runner.onModal = [&](QWidget* w) {
      auto* notice = qobject_cast<windows::APFSScanWindowController*>(w);
      ASSERT_NE(notice, nullptr);
      EXPECT_EQ(notice->iClickCount(), 0);
      EXPECT_EQ(notice->titleBarHeight(), 22);
      QTest::mouseClick(notice->linkButton(), Qt::LeftButton);
      if (byBand)
        QTest::mouseClick(notice->standardWindowButton(ui::TCWindowButton::Close), Qt::LeftButton);
      else
        QTest::mouseClick(notice->okButton(), Qt::LeftButton);
      EXPECT_FALSE(runner.isModalRunning(w));
      EXPECT_FALSE(w->isVisible());
    };
    windows::APFSScanWindowController::runNotice(nullptr);
  }
  ASSERT_EQ(runner.openedUrls.size(), 2u);
  EXPECT_EQ(runner.openedUrls.front(), QUrl(QStringLiteral("https://quarnel.example/apfs")));
  windows::QVPublicUtilities::resetPrivateDataFiles();
}

}  // namespace
