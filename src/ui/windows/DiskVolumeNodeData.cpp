#include "ui/windows/DiskVolumeNodeData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include <sys/stat.h>

#include "ui/toolkit/Strings.h"

namespace windows {

DiskVolumeNodeData::DiskVolumeNodeData(const _DiskVolumeData& data) : data_(data), pseudo_(false) {
  data_.children.clear();
  if (data.name.empty()) {
    name_ = ui::Strings::text(QStringLiteral("DEVICE_NAME_UNTITILED"));
  } else {
    const QByteArray bytes = QByteArray::fromStdString(data.name);
    auto decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    name_ = decoder.hasError() ? QStringLiteral("Unknown") : text;
  }
  for (const _DiskVolumeData& volume : data.children) children_.push_back(std::make_shared<DiskVolumeNodeData>(volume));
}

std::vector<DiskRow> DiskVolumeNodeData::FromBridge(const std::list<_DiskVolumeData>& rows) {
  std::vector<DiskRow> out;
  out.reserve(rows.size());
  for (const _DiskVolumeData& row : rows) out.push_back(std::make_shared<DiskVolumeNodeData>(row));
  return out;
}

QString DiskVolumeNodeData::devicePath() const {
  if (pseudo_ || data_.devName.empty()) return {};
  const QString name = QString::fromStdString(data_.devName);
  return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

std::optional<dev_t> DesktopDevice() {
  QString path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (path.isEmpty()) path = QDir::homePath();
  // A desktop folder not made yet lies on its parent's file system.
  for (int depth = 0; depth < 64 && !path.isEmpty(); ++depth) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) return st.st_dev;
    const QString parent = QFileInfo(path).path();
    if (parent == path) break;
    path = parent;
  }
  return std::nullopt;
}

bool VolumeHoldsDevice(const DiskVolumeNodeData& row, dev_t device) {
  const QString node = row.devicePath();
  if (node.isEmpty() || !node.startsWith(QStringLiteral("/dev/"))) return false;
  struct stat st {};
  if (::stat(QFile::encodeName(node).constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  return st.st_rdev == device;
}

DiskRow FindDesktopVolume(const std::vector<DiskRow>& disks, std::optional<dev_t> device) {
  if (!device) return nullptr;
  for (const DiskRow& disk : disks)
    for (const DiskRow& volume : disk->children())
      if (VolumeHoldsDevice(*volume, *device)) return volume;
  return nullptr;
}

}  // namespace windows
