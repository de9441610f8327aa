#include "ui/windows/BridgeThumbnailSource.h"

#include <optional>

#include "bridge/OpNodeData.h"
#include "bridge/QVUIController.h"
#include "ui/bridge_qt/QtImages.h"

namespace windows {
namespace {

IFileNode* fileNode(quintptr node) { return reinterpret_cast<IFileNode*>(node); }

}  // namespace

QString BridgeThumbnailSource::title(quintptr node) const {
  return QString::fromStdString(OpNodeData::fileNodeName(fileNode(node)));
}

bool BridgeThumbnailSource::deleted(quintptr node) const { return OpNodeData::isFileNodeDeleted(fileNode(node)); }

int BridgeThumbnailSource::checkState(quintptr node) const { return OpNodeData::fileNodeState(fileNode(node)); }

QImage BridgeThumbnailSource::thumbnail(quintptr node) {
  const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(fileNode(node));
  if (!image) return {};
  const QImage shown = bridge_qt::toQImage(*image);
  if (shown.width() <= side_ && shown.height() <= side_) return shown;
  return shown.scaled(side_, side_, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace windows
