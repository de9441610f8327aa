#pragma once
// Helpers of the recovery and save/load tests: a FAT16 image made with the
// real tools, the road through the main window to its scan, ticking files
// in the path tree, and finding recovered files.

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/Files.h"
#include "support/TempDir.h"
#include "ui/toolkit/Modal.h"

namespace windows {
class QVDeletailWindowController;
class QVRootWindowController;
}  // namespace windows

namespace recoverytest {

bool HaveFatTools();

// One file put on the volume (in `folder`) and deleted again.
struct Original {
  std::string folder;    // "Photos"
  std::string name;      // "holiday.jpg"
  std::string contents;  // its bytes
};

// A FAT16 volume of `mib` MiB (no partition table) named `imageName`,
// holding the files, all deleted.
bool MakeFat16(const testsupport::TempDir& dir, const std::string& imageName, int mib,
               const std::vector<Original>& files, std::string& image);
// `size` bytes of a seeded generator.
std::string SeededBytes(std::size_t size, unsigned seed);

// The machine's own disks left out and two spare images open, so that the
// disk page is always shown; undone at the end.
class DeviceListForTests {
 public:
  DeviceListForTests();
  ~DeviceListForTests();

 private:
  testsupport::TempDir dir_;
};

// From the category page to the end of the quick scan of the image (opened
// with the disk page's "Open image…" button): the results window, or null.
windows::QVDeletailWindowController* ScanImageThroughMainWindow(windows::QVRootWindowController& root,
                                                                ui::ScriptedModalRunner& runner,
                                                                const std::string& image);
// Ticks the deleted file whose name ends with `nameEnd` in `folder` of the
// path tree, as a click does; false when it is not listed.
bool TickInPathTree(windows::QVDeletailWindowController& window, const QString& folder, const QString& nameEnd);
// The path tree's rows, level by level ("Photos", "Photos/x"...).
std::vector<QString> PathTreeRows(windows::QVDeletailWindowController& window);
// Files below `folder` whose names end with `nameEnd`.
std::vector<std::string> FindFiles(const std::string& folder, const std::string& nameEnd);
bool WaitFor(const std::function<bool()>& done, int ms = 60000);

}  // namespace recoverytest
