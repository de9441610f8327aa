#pragma once
// One picture of the cover flow (ImageFlowView): its image, an identifier
// that changes whenever the picture is replaced, its title and a version
// that the owner raises to make the view draw the picture again.

#include <QImage>
#include <QString>

namespace ui {

class Photo {
 public:
  // The only kind of representation a Photo has: a decoded image.
  static constexpr int kImageRepresentationType = 0;

  Photo() = default;
  Photo(QImage image, QString imageID) : image_(std::move(image)), imageID_(std::move(imageID)) {}

  const QString& imageUID() const { return imageID_; }
  int imageRepresentationType() const { return kImageRepresentationType; }
  const QImage& imageRepresentation() const { return image_; }
  const QString& imageTitle() const { return imageName_; }
  quint64 imageVersion() const { return iImageVersion_; }

  void setImageRepresentation(QImage image) { image_ = std::move(image); }
  void setImageUID(QString id) { imageID_ = std::move(id); }
  void setName(QString title) { imageName_ = std::move(title); }
  // One version higher: the view draws the picture again.
  void setImageVersion() { ++iImageVersion_; }

 private:
  QImage image_;
  QString imageID_;
  QString imageName_;
  quint64 iImageVersion_ = 0;
};

}  // namespace ui
