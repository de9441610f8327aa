#pragma once
// The cover flow of the results window: one Photo per file of the chosen
// tree item, first all showing the placeholder ("Loading..."), then their
// own pictures as the loader makes them: all of them in a list of ten or
// fewer, else the 201 around the selection, nearest first. Pictures
// already made are kept when the selection moves. The rows are engine
// nodes owned by the scan result.

#include <QWidget>

#include <memory>
#include <vector>

#include "ui/toolkit/ImageFlowView.h"
#include "ui/toolkit/Photo.h"
#include "ui/windows/CoverFlowLoader.h"
#include "ui/windows/ThumbnailGridView.h"

namespace windows {

class CoverFlowView : public QWidget, public ui::ImageFlowDataSource, public ui::ImageFlowDelegate {
  Q_OBJECT
 public:
  static constexpr int kAllBelow = 10;   // lists this long load whole
  static constexpr qint64 kReach = 100;  // else this far each side of the selection
  static inline const QString kLoadingID = QStringLiteral("Loading...");

  explicit CoverFlowView(std::shared_ptr<ThumbnailSource> source, QWidget* parent = nullptr);

  // Stops the loader, shows these rows from the first and starts loading.
  void setRows(std::vector<quintptr> rows);
  const std::vector<quintptr>& rows() const { return rows_; }
  // Fills the photos with placeholders when they are empty or when the
  // selection differs; r forces a fresh start at flowSelectedIndex.
  void showCoverFlowerViewWithRefresh(bool r);
  // Selects the item and loads around it (a different item stops the
  // running loader first).
  void selectedCoverFlow(qint64 index);
  // Drops the pictures still to be made; never waits.
  void stopImageLoading();
  // -1 before the first load, 0 while loading, 2 when done or stopped.
  int nImageState() const { return loader_->state(); }
  int generation() const { return loader_->generation(); }
  // Waits until no picture is being made (before the nodes go away).
  void waitForLoader() { loader_->waitForLoader(); }
  // True while a picture is being made or pending; never waits.
  bool loaderBusy() { return loader_->busy(); }

  qint64 flowSelectedIndex() const { return flowSelectedIndex_; }
  const std::vector<ui::Photo>& photos() const { return photos_; }
  ui::ImageFlowView* flowView() const { return flowView_; }

  quint64 numberOfItemsInImageFlow(ui::ImageFlowView*) override { return photos_.size(); }
  const ui::Photo* imageFlowItemAtIndex(ui::ImageFlowView*, quint64 index) override;
  void imageFlowDidSelectItemAtIndex(ui::ImageFlowView*, quint64 index) override;

 signals:
  // The user chose this row in the flow.
  void rowChosen(quint64 row);
  // A picture was put into the photo of this row.
  void thumbnailShown(quint64 row);

 private:
  void loadAround(qint64 centre);
  void imageLoaded(int generation, quint64 index, quintptr node, const QImage& image);
  void loadImageForCoverFlowWithImage(quint64 index);

  std::shared_ptr<ThumbnailSource> source_;
  std::vector<quintptr> rows_;
  std::vector<ui::Photo> photos_;
  ui::Photo publicItem_;
  qint64 flowSelectedIndex_ = 0;
  ui::ImageFlowView* flowView_ = nullptr;
  CoverFlowLoader* loader_ = nullptr;
};

}  // namespace windows
