#include "ui/windows/CoverFlowView.h"

#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>

namespace windows {

CoverFlowView::CoverFlowView(std::shared_ptr<ThumbnailSource> source, QWidget* parent)
    : QWidget(parent), source_(std::move(source)), publicItem_(QImage(), kLoadingID) {
  setObjectName(QStringLiteral("coverFlowView"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  flowView_ = new ui::ImageFlowView(this);
  flowView_->setObjectName(QStringLiteral("flowView"));
  layout->addWidget(flowView_);
  std::shared_ptr<ThumbnailSource> maker = source_;
  loader_ = new CoverFlowLoader([maker](quintptr node) { return maker->thumbnail(node); }, this);
  connect(loader_, &CoverFlowLoader::imageLoaded, this, &CoverFlowView::imageLoaded);
  flowView_->setDataSource(this);
  flowView_->setDelegate(this);
}

void CoverFlowView::setRows(std::vector<quintptr> rows) {
  stopImageLoading();
  rows_ = std::move(rows);
  photos_.clear();
  flowSelectedIndex_ = 0;
  showCoverFlowerViewWithRefresh(true);
  loadAround(0);
}

void CoverFlowView::showCoverFlowerViewWithRefresh(bool r) {
  const qint64 shown = r ? 0 : flowView_->selectedIndex();
  if (shown == flowSelectedIndex_ && !photos_.empty()) return;
  if (flowSelectedIndex_ < 0) flowSelectedIndex_ = 0;
  photos_.clear();
  photos_.reserve(rows_.size());
  for (quintptr node : rows_) {
    ui::Photo photo(publicItem_.imageRepresentation(), publicItem_.imageUID());
    photo.setName(source_->title(node));
    photos_.push_back(std::move(photo));
  }
  flowView_->reloadData();
  flowView_->setSelectedIndex(flowSelectedIndex_);
}

void CoverFlowView::selectedCoverFlow(qint64 index) {
  flowView_->setSelectedIndex(index);
  if (index != flowSelectedIndex_) stopImageLoading();
  flowSelectedIndex_ = index;
  loadAround(index);
}

void CoverFlowView::stopImageLoading() { loader_->stop(); }

// The photos still showing the placeholder, from the selection outwards.
void CoverFlowView::loadAround(qint64 centre) {
  const qint64 count = static_cast<qint64>(std::min(photos_.size(), rows_.size()));
  qint64 first = 0;
  qint64 end = count;
  if (count > kAllBelow) {
    first = std::max<qint64>(0, centre - kReach);
    end = std::min<qint64>(centre + kReach, count);
  }
  std::vector<CoverFlowLoader::Item> items;
  for (qint64 i = first; i < end; ++i)
    if (photos_[static_cast<std::size_t>(i)].imageUID() == publicItem_.imageUID())
      items.push_back({static_cast<quint64>(i), rows_[static_cast<std::size_t>(i)]});
  std::stable_sort(items.begin(), items.end(), [centre](const auto& a, const auto& b) {
    return std::abs(static_cast<qint64>(a.index) - centre) < std::abs(static_cast<qint64>(b.index) - centre);
  });
  loader_->start(std::move(items));
}

void CoverFlowView::imageLoaded(int generation, quint64 index, quintptr node, const QImage& image) {
  if (generation != loader_->generation() || image.isNull() || index >= photos_.size() || index >= rows_.size() ||
      rows_[index] != node)
    return;
  ui::Photo& photo = photos_[index];
  photo.setImageRepresentation(image);
  photo.setImageVersion();
  photo.setImageUID(QUuid::createUuid().toString(QUuid::WithoutBraces));
  loadImageForCoverFlowWithImage(index);
}

void CoverFlowView::loadImageForCoverFlowWithImage(quint64 index) {
  if (index < photos_.size()) flowView_->reloadCellDataAtIndex(index);
  flowView_->update();
  emit thumbnailShown(index);
}

const ui::Photo* CoverFlowView::imageFlowItemAtIndex(ui::ImageFlowView*, quint64 index) {
  return index < photos_.size() ? &photos_[index] : nullptr;
}

void CoverFlowView::imageFlowDidSelectItemAtIndex(ui::ImageFlowView*, quint64 index) {
  selectedCoverFlow(static_cast<qint64>(index));
  if (index < photos_.size() && flowSelectedIndex_ != 0) {
    const std::size_t end = std::min<std::size_t>(index + kReach, photos_.size());
    for (std::size_t i = 0; i < end; ++i) {
      photos_[i].setImageVersion();
      flowView_->reloadCellDataAtIndex(i);
    }
  }
  if (index < rows_.size()) emit rowChosen(index);
}

}  // namespace windows
