#pragma once
// A picture source for the thumbnail views whose maker the test holds back,
// for the grid's and the cover flow's thread tests.

#include <QImage>
#include <QSize>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

#include "ui/windows/ThumbnailGridView.h"

namespace resultstest {

// Node n's picture: one colour that encodes n.
QImage NodePicture(quintptr node, QSize size);

// Node n is "<stem>n.jpg" with NodePicture(n, size), deleted when odd and
// `oddNodesDeleted`, checked once toggled; the maker's calls for gated nodes
// wait until the test opens the gate.
class GatedThumbnailSource : public windows::ThumbnailSource {
 public:
  GatedThumbnailSource(QString stem, QSize size, bool oddNodesDeleted);

  QString title(quintptr node) const override;
  bool deleted(quintptr node) const override;
  int checkState(quintptr node) const override;
  QImage thumbnail(quintptr node) override;

  // Closes the gate for these nodes (the rest pass).
  void gate(std::set<quintptr> nodes);
  void open();
  // A call waits at the closed gate.
  bool blocked() const;
  // The nodes asked for, in order.
  std::vector<quintptr> calls() const;
  void forget();
  void toggle(quintptr node);

 private:
  const QString stem_;
  const QSize size_;
  const bool oddNodesDeleted_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::set<quintptr> gated_;
  std::set<quintptr> checked_;
  std::vector<quintptr> calls_;
  bool open_ = false;
  int waiting_ = 0;
};

}  // namespace resultstest
