#pragma once
// A still picture of a video file, through libffmpegthumbnailer when the
// program was built with it.

#include <QImage>
#include <QString>

namespace bridge_qt {

// True when video stills can be made at all.
bool videoStillsAvailable();
// A frame from about a tenth into the video, fitting side x side; a null
// image when the file is no video the library can read.
QImage videoStill(const QString& path, int side);

}  // namespace bridge_qt
