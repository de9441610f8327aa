#include "ui/windows/CoverFlowLoader.h"

#include <QMetaObject>

namespace windows {

CoverFlowLoader::CoverFlowLoader(Maker maker, QObject* parent) : QObject(parent), maker_(std::move(maker)) {
  thread_ = std::thread([this] { run(); });
}

CoverFlowLoader::~CoverFlowLoader() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    items_.clear();
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

int CoverFlowLoader::start(std::vector<Item> items) {
  started_ = true;
  ++generation_;
  outstanding_ = items.size();
  {
    std::lock_guard<std::mutex> hold(mutex_);
    items_.assign(items.begin(), items.end());
    queuedGeneration_ = generation_;
  }
  wake_.notify_all();
  return generation_;
}

void CoverFlowLoader::stop() {
  ++generation_;
  outstanding_ = 0;
  std::lock_guard<std::mutex> hold(mutex_);
  items_.clear();
  queuedGeneration_ = generation_;
}

int CoverFlowLoader::state() const {
  if (!started_) return -1;
  return outstanding_ > 0 ? 0 : 2;
}

void CoverFlowLoader::waitForLoader() {
  std::unique_lock<std::mutex> hold(mutex_);
  wake_.wait(hold, [this] { return !busy_ && items_.empty(); });
}

bool CoverFlowLoader::busy() {
  std::lock_guard<std::mutex> hold(mutex_);
  return busy_ || !items_.empty();
}

void CoverFlowLoader::deliver() {
  std::vector<Answer> answers;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    answers.swap(answers_);
  }
  for (const Answer& a : answers) {
    if (a.generation != generation_) continue;
    if (outstanding_ > 0) --outstanding_;
    emit imageLoaded(a.generation, a.item.index, a.item.node, a.image);
  }
}

void CoverFlowLoader::run() {
  std::unique_lock<std::mutex> hold(mutex_);
  for (;;) {
    wake_.wait(hold, [this] { return quit_ || !items_.empty(); });
    if (quit_) return;
    const Item item = items_.front();
    items_.pop_front();
    const int generation = queuedGeneration_;
    busy_ = true;
    hold.unlock();
    QImage image = maker_(item.node);
    hold.lock();
    answers_.push_back({generation, item, std::move(image)});
    hold.unlock();
    // The GUI thread collects it without the loader waiting (an event
    // posted to this object, which goes with it).
    QMetaObject::invokeMethod(
        this, [this] { deliver(); }, Qt::QueuedConnection);
    hold.lock();
    busy_ = false;
    wake_.notify_all();
  }
}

}  // namespace windows
