#pragma once
// The thumbnail grid of the results window: the files of the chosen tree
// item as 150-point cells with their picture, name, check box and deleted
// mark. Thumbnails are made on one background thread; every change of the
// rows starts a new generation and drops the queued requests, so a
// thumbnail of an earlier generation, or of a node a reused cell no longer
// shows, is dropped when it arrives. The GUI thread never waits for a
// thumbnail: it hands requests over and collects answers on a timer, both
// through a queue under a mutex.

#include <QImage>
#include <QPointer>
#include <QScrollArea>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/toolkit/CNGridView.h"
#include "ui/toolkit/CNGridViewItem.h"

namespace windows {

// What the grid shows of a node (an engine file node, as a number).
class ThumbnailSource {
 public:
  virtual ~ThumbnailSource() = default;
  virtual QString title(quintptr node) const = 0;
  virtual bool deleted(quintptr node) const = 0;
  // 2 checked, anything else unchecked.
  virtual int checkState(quintptr node) const = 0;
  // Called on the loader's thread; a null image leaves the placeholder.
  virtual QImage thumbnail(quintptr node) = 0;
};

class ThumbnailGridView : public QScrollArea, public ui::CNGridViewDataSource, public ui::CNGridViewItemDelegate {
  Q_OBJECT
 public:
  explicit ThumbnailGridView(std::shared_ptr<ThumbnailSource> source, QWidget* parent = nullptr);
  // Waits for the thumbnail being made: the nodes belong to the scan
  // result, which may go right after.
  ~ThumbnailGridView() override;

  // Stops the loader first, then shows these rows from the top.
  void setRows(std::vector<quintptr> rows);
  const std::vector<quintptr>& rows() const { return rows_; }
  // Drops every thumbnail asked for so far; never waits.
  void stopGridImageLoading();
  // 0 while thumbnails are pending, 2 when none is.
  int gridImageState() const { return tickets_.empty() ? 2 : 0; }
  int generation() const { return generation_; }
  // Waits until the thumbnail being made, if any, is done (before the
  // nodes go away with their scan result).
  void waitForLoader();
  // True while a thumbnail is being made or asked for; never waits.
  bool loaderBusy();
  // Check boxes and labels read again (after a check change elsewhere).
  void refreshStates();

  ui::CNGridView* grid() const { return grid_; }
  ui::CNGridViewItem* itemForRow(quint64 row) const;

  // The check box of a cell was clicked; the row index is passed on.
  std::function<void(quint64 row)> onToggleRow;

  std::optional<quint64> gridViewNumberOfItemsInSection(ui::CNGridView*, quint64) override;
  ui::CNGridViewItemBase* gridViewItemAtIndex(ui::CNGridView*, quint64 index, quint64 section) override;
  void doSelectItem(quint64 index) override;

 signals:
  // A thumbnail was put into the cell of this row.
  void thumbnailShown(quint64 row);

 private:
  void fill(ui::CNGridViewItem* item, quintptr node);
  void queueThumbnail(ui::CNGridViewItem* item, quintptr node);
  void collectThumbnails();
  void loaderRun();

  struct Request {
    quint64 ticket;
    quintptr node;
    int generation;
  };
  struct Answer {
    quint64 ticket;
    quintptr node;
    int generation;
    QImage image;
  };

  std::shared_ptr<ThumbnailSource> source_;
  std::vector<quintptr> rows_;
  ui::CNGridView* grid_ = nullptr;
  // GUI thread only.
  int generation_ = 0;
  quint64 nextTicket_ = 0;
  std::map<quint64, QPointer<ui::CNGridViewItem>> tickets_;
  QTimer collectTimer_;
  // Shared with the loader thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Request> requests_;
  std::vector<Answer> answers_;
  bool busy_ = false;
  bool quit_ = false;
  std::thread loader_;
};

}  // namespace windows
