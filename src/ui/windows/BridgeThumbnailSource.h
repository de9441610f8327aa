#pragma once
// What the results window's grid and cover flow show of a scan's file node:
// its name, deleted mark and tick from the bridge, and its picture made
// through the bridge (which may recover a temporary copy of the file into
// its private folder first), at most `side` pixels square.

#include "ui/windows/ThumbnailGridView.h"

namespace windows {

class BridgeThumbnailSource : public ThumbnailSource {
 public:
  explicit BridgeThumbnailSource(int side) : side_(side) {}
  QString title(quintptr node) const override;
  bool deleted(quintptr node) const override;
  int checkState(quintptr node) const override;
  QImage thumbnail(quintptr node) override;

 private:
  const int side_;
};

}  // namespace windows
