#include "ui/windows/ThumbnailGridView.h"

#include <QLabel>
#include <QScrollBar>

#include "ui/toolkit/ImageStore.h"

namespace windows {

namespace {
const char kDeletedMark[] = "deletedMark";
}

ThumbnailGridView::ThumbnailGridView(std::shared_ptr<ThumbnailSource> source, QWidget* parent)
    : QScrollArea(parent), source_(std::move(source)) {
  setObjectName(QStringLiteral("gridMainView"));
  collectTimer_.setInterval(10);
  connect(&collectTimer_, &QTimer::timeout, this, &ThumbnailGridView::collectThumbnails);
  loader_ = std::thread([this] { loaderRun(); });
  grid_ = new ui::CNGridView;
  grid_->setDataSource(this);
  grid_->setUseCenterAlignment(false);
  setFrameShape(QFrame::NoFrame);
  setWidget(grid_);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette pal = palette();
  pal.setBrush(QPalette::Window, QBrush(ui::ImageStore::pixmap(QStringLiteral("BackgroundDust"))));
  setPalette(pal);
  setBackgroundRole(QPalette::Window);
}

ThumbnailGridView::~ThumbnailGridView() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.clear();
    quit_ = true;
  }
  wake_.notify_all();
  loader_.join();
  grid_->setDataSource(nullptr);
}

void ThumbnailGridView::stopGridImageLoading() {
  ++generation_;
  std::lock_guard<std::mutex> hold(mutex_);
  for (const Request& r : requests_) tickets_.erase(r.ticket);
  requests_.clear();
}

void ThumbnailGridView::waitForLoader() {
  std::unique_lock<std::mutex> hold(mutex_);
  wake_.wait(hold, [this] { return !busy_ && requests_.empty(); });
}

bool ThumbnailGridView::loaderBusy() {
  std::lock_guard<std::mutex> hold(mutex_);
  return busy_ || !requests_.empty();
}

// The loader thread: one request at a time, in the order asked.
void ThumbnailGridView::loaderRun() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    wake_.wait(hold, [this] { return quit_ || !requests_.empty(); });
    if (quit_) return;
    const Request r = requests_.front();
    requests_.pop_front();
    busy_ = true;
    hold.unlock();
    QImage image = source_->thumbnail(r.node);
    hold.lock();
    busy_ = false;
    answers_.push_back({r.ticket, r.node, r.generation, std::move(image)});
    wake_.notify_all();
  }
}

void ThumbnailGridView::setRows(std::vector<quintptr> rows) {
  stopGridImageLoading();
  rows_ = std::move(rows);
  grid_->reloadDataAnimated(false);
  verticalScrollBar()->setValue(0);
}

void ThumbnailGridView::refreshStates() {
  for (const auto& [index, base] : grid_->keyedVisibleItems())
    if (auto* item = qobject_cast<ui::CNGridViewItem*>(base); item && index < rows_.size()) fill(item, rows_[index]);
}

ui::CNGridViewItem* ThumbnailGridView::itemForRow(quint64 row) const {
  return qobject_cast<ui::CNGridViewItem*>(grid_->visibleItemAtIndex(row));
}

std::optional<quint64> ThumbnailGridView::gridViewNumberOfItemsInSection(ui::CNGridView*, quint64) {
  return rows_.size();
}

void ThumbnailGridView::fill(ui::CNGridViewItem* item, quintptr node) {
  const QString title = source_->title(node);
  item->setItemTitle(title);
  item->setTitleText(title);
  const bool checked = source_->checkState(node) == 2;
  item->itemButton()->setIcon(
      ui::ImageStore::pixmap(checked ? QStringLiteral("pf_checkbox_yes") : QStringLiteral("pf_checkbox_no")));
  auto* mark = item->findChild<QLabel*>(QLatin1String(kDeletedMark));
  if (!mark) {
    mark = new QLabel(item);
    mark->setObjectName(QLatin1String(kDeletedMark));
    mark->setGeometry(120, 12, 16, 16);
    mark->setScaledContents(true);
    mark->setPixmap(ui::ImageStore::pixmap(QStringLiteral("deletered")));
  }
  mark->setVisible(source_->deleted(node));
}

ui::CNGridViewItemBase* ThumbnailGridView::gridViewItemAtIndex(ui::CNGridView* grid, quint64 index, quint64) {
  if (index >= rows_.size()) return nullptr;
  auto* item = qobject_cast<ui::CNGridViewItem*>(
      grid->dequeueReusableItemWithIdentifier(QString::fromLatin1(ui::kCNDefaultItemIdentifier)));
  if (!item) item = new ui::CNGridViewItem(nullptr, QString::fromLatin1(ui::kCNDefaultItemIdentifier));
  const quintptr node = rows_[index];
  item->setNode(node);
  item->setDelegate(this);
  item->setItemImage(ui::ImageStore::image(QStringLiteral("loading")));
  fill(item, node);
  queueThumbnail(item, node);
  return item;
}

void ThumbnailGridView::queueThumbnail(ui::CNGridViewItem* item, quintptr node) {
  const quint64 ticket = nextTicket_++;
  tickets_[ticket] = item;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.push_back({ticket, node, generation_});
  }
  wake_.notify_all();
  if (!collectTimer_.isActive()) collectTimer_.start();
}

void ThumbnailGridView::collectThumbnails() {
  std::vector<Answer> answers;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    answers.swap(answers_);
  }
  for (Answer& a : answers) {
    auto it = tickets_.find(a.ticket);
    QPointer<ui::CNGridViewItem> item;
    if (it != tickets_.end()) {
      item = it->second;
      tickets_.erase(it);
    }
    // A reused cell may show another node by now.
    if (a.generation != generation_ || !item || a.image.isNull() || item->node() != a.node ||
        item->index() == ui::NSNotFound)
      continue;
    item->refImageWithImage(a.image);
    emit thumbnailShown(item->index());
  }
  if (tickets_.empty()) collectTimer_.stop();
}

void ThumbnailGridView::doSelectItem(quint64 index) {
  if (onToggleRow) onToggleRow(index);
  if (index < rows_.size())
    if (auto* item = itemForRow(index)) fill(item, rows_[index]);
}

}  // namespace windows
