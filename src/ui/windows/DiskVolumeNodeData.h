#pragma once
// One row of the disk page: a disk with its volumes, a volume, or the
// "Desktop" pseudo row (no name, no children). Made from the bridge's
// device list; the display name, the parent's name and the desktop mark
// live here, in the windows.

#include <QString>

#include <list>
#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

#include "bridge/QVUIDeviceData.h"

namespace windows {

class DiskVolumeNodeData;
using DiskRow = std::shared_ptr<DiskVolumeNodeData>;

class DiskVolumeNodeData {
 public:
  // The pseudo row.
  DiskVolumeNodeData() = default;
  // A row of the bridge's list (its volumes as children).
  explicit DiskVolumeNodeData(const _DiskVolumeData& data);

  // The bridge's rows, one disk each with its volumes.
  static std::vector<DiskRow> FromBridge(const std::list<_DiskVolumeData>& rows);

  const QString& name() const { return name_; }
  bool hasName() const { return !pseudo_; }
  const QString& parentName() const { return parentName_; }
  void setParentName(const QString& name) { parentName_ = name; }
  const std::vector<DiskRow>& children() const { return children_; }
  void setSubNode(std::vector<DiskRow> rows) { children_ = std::move(rows); }
  int isSystemVolume() const { return isSystemVolume_; }
  void setIsSystemVolume(int flag) { isSystemVolume_ = flag; }

  // What the bridge said of the device (children cleared), for a scan.
  const _DiskVolumeData& data() const { return data_; }
  int diskIndex() const { return data_.diskIndex; }
  int volumeIndex() const { return data_.volumeIndex; }
  long long capacity() const { return data_.capacity; }
  int fileSystem() const { return data_.fileSystem; }
  int isDmg() const { return data_.isDmg; }
  int isUSB() const { return data_.isUSB; }
  int isQdi() const { return data_.isQdi; }
  int isSSD() const { return data_.isSSD; }
  int beCanOpen() const { return data_.beCanOpen; }
  // A disk row of an opened image file.
  bool isImage() const {
    return data_.isQdi != 0 || data_.isAppleDmg != 0 || (!data_.devName.empty() && data_.devName.front() == '/');
  }
  // The device node ("/dev/sdb1"), or the image's path; "" for the pseudo row.
  QString devicePath() const;

 private:
  _DiskVolumeData data_;
  QString name_;
  QString parentName_;
  std::vector<DiskRow> children_;
  int isSystemVolume_ = 0;
  bool pseudo_ = true;
};

// The device number of the file system that holds the user's desktop
// folder (its nearest existing folder upwards), if any.
std::optional<dev_t> DesktopDevice();
// Whether the volume row's device node is that device.
bool VolumeHoldsDevice(const DiskVolumeNodeData& row, dev_t device);
// The volume of the list that holds the desktop folder, else null.
DiskRow FindDesktopVolume(const std::vector<DiskRow>& disks, std::optional<dev_t> device);

}  // namespace windows
