#include "GatedThumbnailSource.h"

#include <QColor>

#include <utility>

namespace resultstest {

QImage NodePicture(quintptr node, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(QColor::fromRgb(static_cast<QRgb>(0xff000000u | (node & 0xffffffu))));
  return image;
}

GatedThumbnailSource::GatedThumbnailSource(QString stem, QSize size, bool oddNodesDeleted)
    : stem_(std::move(stem)), size_(size), oddNodesDeleted_(oddNodesDeleted) {}

QString GatedThumbnailSource::title(quintptr node) const {
  return stem_ + QString::number(node) + QStringLiteral(".jpg");
}

bool GatedThumbnailSource::deleted(quintptr node) const { return oddNodesDeleted_ && node % 2 == 1; }

int GatedThumbnailSource::checkState(quintptr node) const {
  std::lock_guard<std::mutex> hold(mutex_);
  return checked_.count(node) ? 2 : 0;
}

QImage GatedThumbnailSource::thumbnail(quintptr node) {
  std::unique_lock<std::mutex> hold(mutex_);
  calls_.push_back(node);
  ++waiting_;
  changed_.notify_all();
  changed_.wait(hold, [&] { return open_ || !gated_.count(node); });
  --waiting_;
  return NodePicture(node, size_);
}

void GatedThumbnailSource::gate(std::set<quintptr> nodes) {
  std::lock_guard<std::mutex> hold(mutex_);
  gated_ = std::move(nodes);
  open_ = false;
}

void GatedThumbnailSource::open() {
  std::lock_guard<std::mutex> hold(mutex_);
  open_ = true;
  changed_.notify_all();
}

bool GatedThumbnailSource::blocked() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return waiting_ > 0 && !open_;
}

std::vector<quintptr> GatedThumbnailSource::calls() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return calls_;
}

void GatedThumbnailSource::forget() {
  std::lock_guard<std::mutex> hold(mutex_);
  calls_.clear();
}

void GatedThumbnailSource::toggle(quintptr node) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!checked_.erase(node)) checked_.insert(node);
}

}  // namespace resultstest
