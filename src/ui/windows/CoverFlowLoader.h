#pragma once
// Makes the pictures of the cover flow on one background thread, one at a
// time, in the order given. Each start begins a new generation and drops
// what the earlier one still had to make; a picture of an earlier
// generation that arrives late is dropped by the receiver (imageLoaded
// carries the generation). The GUI thread never waits for a picture, except
// in waitForLoader(), before the nodes go away with their scan result.

#include <QImage>
#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace windows {

class CoverFlowLoader : public QObject {
  Q_OBJECT
 public:
  // Called on the loader's thread; a null image when there is no picture.
  using Maker = std::function<QImage(quintptr node)>;
  struct Item {
    quint64 index;
    quintptr node;
  };

  explicit CoverFlowLoader(Maker maker, QObject* parent = nullptr);
  // Drops the pending items and waits for the picture being made.
  ~CoverFlowLoader() override;

  // A new generation with these items; its number.
  int start(std::vector<Item> items);
  // Drops every pending item; never waits.
  void stop();
  // -1 before the first start, 0 while items of the current generation
  // are still to come, 2 when none is.
  int state() const;
  int generation() const { return generation_; }
  // Waits until no picture is being made and none is pending.
  void waitForLoader();
  // True while a picture is being made or pending; never waits.
  bool busy();

 signals:
  // On the GUI thread; once for every item of the current generation.
  void imageLoaded(int generation, quint64 index, quintptr node, const QImage& image);

 private:
  struct Answer {
    int generation;
    Item item;
    QImage image;
  };
  void run();
  void deliver();

  Maker maker_;
  // GUI thread only.
  int generation_ = 0;
  bool started_ = false;
  std::size_t outstanding_ = 0;
  // Shared with the loader thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Item> items_;
  std::vector<Answer> answers_;
  int queuedGeneration_ = 0;
  bool busy_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace windows
