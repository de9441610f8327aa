// The media monitor: uevent messages read into properties, the arrival and
// removal decision, the records, one post per batch, and (as root, where
// loop devices exist) a real read-only loop device attached and detached.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QVariantList>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

using namespace std::string_literals;

#include <unistd.h>

#include "app/shell/MediaRecords.h"
#include "app/shell/QVMediaMonitor.h"
#include "support/Absent.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/toolkit/NotificationCenter.h"

namespace {

using shell::MediaChange;
using shell::UeventProps;

std::string message(std::initializer_list<const char*> fields) {
  std::string out;
  for (const char* f : fields) {
    out += f;
    out.push_back('\0');
  }
  return out;
}

TEST(MediaRecords, KernelMessagesAreReadAndOthersRefused) {
  const std::string loop =
      message({"change@/devices/virtual/block/loop0", "ACTION=change", "DEVPATH=/devices/virtual/block/loop0",
               "SUBSYSTEM=block", "DEVNAME=loop0", "DEVTYPE=disk", "MAJOR=7", "MINOR=0"});
  const UeventProps props = shell::ParseKernelUevent(loop.data(), loop.size());
  EXPECT_EQ(props.at("ACTION"), "change");
  EXPECT_EQ(props.at("DEVNAME"), "loop0");
  EXPECT_EQ(props.size(), 7u);
  struct Case {
    std::string bytes;
    bool read;
  };
  const std::vector<Case> cases = {
      {message({"libudev", "ACTION=add", "SUBSYSTEM=block"}), false},  // udevd's format
      {message({"add@/x", "SUBSYSTEM=block"}), false},                 // no ACTION
      {std::string(), false},
      {"add@/x\0ACTION=add\0SUBSYSTEM=block\0DEVNAME=sdb"s, true},  // last field unterminated
      {message({"add@/x", "=broken", "noequals", "ACTION=add"}), true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(shell::ParseKernelUevent(c.bytes.data(), c.bytes.size()).empty(), !c.read) << c.bytes;
  EXPECT_TRUE(shell::ParseKernelUevent(nullptr, 5).empty());
}

UeventProps props(const char* action, const char* name, const char* subsystem = "block", const char* type = "disk") {
  UeventProps p{{"ACTION", action}, {"SUBSYSTEM", subsystem}, {"DEVTYPE", type}};
  if (name != nullptr) p["DEVNAME"] = name;
  return p;
}

TEST(MediaRecords, ArrivalOrRemovalBySizeBeforeAndNow) {
  struct Case {
    UeventProps event;
    std::optional<long long> before;
    long long now;
    MediaChange expected;
  };
  const std::vector<Case> cases = {
      {props("add", "sdb"), std::nullopt, 8000000000, MediaChange::Arrived},
      {props("add", "sdc"), std::nullopt, 0, MediaChange::None},          // a card reader with no card
      {props("change", "loop0"), 0LL, 1048576, MediaChange::Arrived},     // loop attached
      {props("change", "loop0"), 1048576LL, 1048576, MediaChange::None},  // a second event of the same
      {props("change", "loop0"), 1048576LL, 0, MediaChange::Removed},     // loop detached
      {props("change", "loop0"), 0LL, 0, MediaChange::None},
      {props("change", "mmcblk0"), 4000000LL, 8000000, MediaChange::Arrived},  // another card
      {props("remove", "sdb1", "block", "partition"), 1000LL, 0, MediaChange::Removed},
      {props("remove", "sdb1", "block", "partition"), std::nullopt, 0, MediaChange::Removed},
      {props("add", "sdb", "bdi"), std::nullopt, 100, MediaChange::None},
      {props("add", nullptr), std::nullopt, 100, MediaChange::None},
      {props("add", "../sda"), std::nullopt, 100, MediaChange::None},
      {props("move", "sdb"), 5LL, 10, MediaChange::None},
  };
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(shell::ClassifyMediaEvent(cases[i].event, cases[i].before, cases[i].now), cases[i].expected)
        << "case " << i;
}

TEST(MediaRecords, RecordsCarryTheDeviceNode) {
  const QVariantMap disk = shell::BuildArrivalRecord(props("add", "sdb"), 8000000000);
  EXPECT_EQ(disk.value("VolumePath").toString(), QStringLiteral("/dev/sdb"));
  EXPECT_EQ(disk.value("VolumeSize").toLongLong(), 8000000000LL);
  EXPECT_TRUE(disk.value("isDisk").toBool());
  const QVariantMap part = shell::BuildArrivalRecord(props("add", "/dev/sdb1", "block", "partition"), 512);
  EXPECT_EQ(part.value("VolumePath").toString(), QStringLiteral("/dev/sdb1"));
  EXPECT_FALSE(part.value("isDisk").toBool());
  EXPECT_EQ(shell::BuildRemovalRecord(props("remove", "loop3")).value("USBPath").toString(),
            QStringLiteral("/dev/loop3"));
}

// Posts of one kind whose records name `node`.
struct PostCounter {
  explicit PostCounter(const QString& node) : node(node) {
    auto& centre = ui::NotificationCenter::defaultCenter();
    centre.addObserver(&owner, QStringLiteral("RefreshAttachDevice"), [this](const ui::Notification& n) {
      for (const QVariant& r : n.object.toList())
        if (r.toMap().value("VolumePath").toString() == this->node) {
          ++attaches;
          break;
        }
    });
    centre.addObserver(&owner, QStringLiteral("RefreshDetachDevice"), [this](const ui::Notification& n) {
      if (n.object.toMap().value("USBPath").toString() == this->node) ++detaches;
    });
  }
  QObject owner;
  QString node;
  int attaches = 0;
  int detaches = 0;
};

void writeSize(const testsupport::TempDir& sys, const char* name, long long sectors) {
  std::filesystem::create_directories(sys.File(std::string("class/block/") + name));
  std::ofstream(sys.File(std::string("class/block/") + name + "/size")) << sectors << "\n";
}

TEST(MediaMonitor, EventsOfOneBatchPostOnce) {
  testsupport::TempDir sys;
  writeSize(sys, "loop7", 0);
  shell::QVMediaMonitor::Options options;
  options.sysfsRoot = QString::fromStdString(sys.File(""));
  shell::QVMediaMonitor monitor(options);
  PostCounter count(QStringLiteral("/dev/loop7"));
  writeSize(sys, "loop7", 2048);
  for (int i = 0; i < 3; ++i) monitor.takeEvent(props("change", "loop7"));
  monitor.takeEvent(props("add", "loop7", "bdi"));
  monitor.flush();
  EXPECT_EQ(count.attaches, 1);
  EXPECT_EQ(count.detaches, 0);
  monitor.takeEvent(props("change", "loop7"));  // nothing changed
  monitor.flush();
  EXPECT_EQ(count.attaches, 1);
  writeSize(sys, "loop7", 0);
  monitor.takeEvent(props("change", "loop7"));
  monitor.takeEvent(props("change", "loop7"));
  monitor.flush();
  EXPECT_EQ(count.attaches, 1);
  EXPECT_EQ(count.detaches, 1);
}

TEST(MediaMonitor, LiveLoopDeviceAttachAndDetachEachPostOnce) {
  if (::geteuid() != 0) GTEST_SKIP() << "attaching a loop device needs root";
  if (!std::filesystem::exists("/dev/loop-control")) GTEST_SKIP() << "no loop devices here (/dev/loop-control missing)";
  if (!testsupport::HaveProgram("losetup") && !std::filesystem::exists("/usr/sbin/losetup") &&
      !std::filesystem::exists("/sbin/losetup"))
    QUARNEL_SKIP_NO_TOOL() << "losetup missing";
  testsupport::TempDir dir;
  const std::string image = dir.File("stick.img");
  std::filesystem::resize_file((std::ofstream(image), image), 4 << 20);
  shell::QVMediaMonitor monitor;
  ASSERT_TRUE(monitor.start());
  const std::string out = dir.File("loop.txt");
  ASSERT_EQ(testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; losetup -f --show -r '" + image + "' > '" + out + "'"),
            0);
  struct Detach {
    std::string node;
    ~Detach() {
      if (!node.empty()) testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; losetup -d " + node);
    }
  } guard;
  std::ifstream(out) >> guard.node;
  const std::string node = guard.node;
  ASSERT_EQ(node.rfind("/dev/loop", 0), 0u) << node;
  PostCounter count(QString::fromStdString(node));
  const bool attached = testsupport::RunEventsUntil([&] { return count.attaches > 0; }, 5000);
  testsupport::RunEventsFor(1000);
  const int detachStatus = testsupport::Run("PATH=\"$PATH:/usr/sbin:/sbin\"; losetup -d " + node);
  if (detachStatus == 0) guard.node.clear();
  ASSERT_TRUE(attached);
  EXPECT_EQ(count.attaches, 1);
  ASSERT_EQ(detachStatus, 0);
  EXPECT_TRUE(testsupport::RunEventsUntil([&] { return count.detaches > 0; }, 5000));
  testsupport::RunEventsFor(1000);
  EXPECT_EQ(count.detaches, 1);
  EXPECT_EQ(count.attaches, 1);
}

}  // namespace
