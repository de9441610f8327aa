#include "carving/JpegCamera.h"

#include <algorithm>

#include "carving/Exif.h"

bool ReadJpegCamera(const ByteView& view, std::size_t offset, std::size_t length, JpegCameraData& out) {
  if (offset >= view.Size()) return false;
  length = std::min(length, view.Size() - offset);
  tag_ExifInfo info{};
  SetExitInfo(&info);
  const int ok = EXIF_process_EXIF(nullptr, 0, view.Data() + offset, static_cast<unsigned>(length));
  SetExitInfo(nullptr);
  if (ok == 0) return false;
  out.make = info.CameraMake;
  out.model = info.CameraModel;
  out.dateTime = info.DateTime;
  out.thumbnailOffset = info.ThumbnailOffset;
  out.thumbnailLength = info.ThumbnailSize;
  // Trailing spaces pad many cameras' texts.
  for (std::string* s : {&out.make, &out.model}) {
    while (!s->empty() && (s->back() == ' ' || s->back() == '\0')) s->pop_back();
  }
  return true;
}
