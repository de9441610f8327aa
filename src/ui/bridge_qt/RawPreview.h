#pragma once
// The preview picture a camera raw file carries inside (the camera's own
// JPEG, or a small bitmap), through LibRaw when the program was built with
// it. The raw data itself is never developed.

#include <QImage>
#include <QString>

namespace bridge_qt {

// True when raw previews can be read at all.
bool rawPreviewsAvailable();
// True for the extensions of camera raw files (".cr2", "dng", any case).
bool isCameraRawName(const QString& path);
// The embedded preview of the file, fitting side x side; a null image when
// the file is no raw file LibRaw knows or carries no readable preview.
QImage rawPreview(const QString& path, int side);

}  // namespace bridge_qt
