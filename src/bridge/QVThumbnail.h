#pragma once
// Previews of found files. The bridge chooses the kind and gets the bytes
// (an embedded JPEG preview, the data in memory, or a limited temporary copy
// of the file); an IThumbnailMaker installed by the program turns them into
// images. The headless maker makes no image.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/model/FileNode.h"

class IDataRecovery;
class OpNodeData;

namespace bridge {

// An image made by the maker; usable when both sides are non-zero.
struct Image {
  int width = 0;
  int height = 0;
  std::shared_ptr<const void> handle;
  bool usable() const { return width > 0 && height > 0; }
};

class IThumbnailMaker {
 public:
  virtual ~IThumbnailMaker() = default;
  // A thumbnail of a file on disk, at most maxSize × maxSize.
  virtual Image FromFile(const std::string& path, int maxSize) = 0;
  // An image decoded from bytes in memory; nullopt when nothing decodes.
  virtual std::optional<Image> Decode(const char* bytes, std::size_t length) = 0;
  // The icon of a lower-case extension (may be empty), side × side.
  virtual Image IconForExtension(const std::string& ext, int side) = 0;
};

// Decodes nothing: every preview is "no thumbnail".
class HeadlessThumbnailMaker final : public IThumbnailMaker {
 public:
  Image FromFile(const std::string&, int) override { return {}; }
  std::optional<Image> Decode(const char*, std::size_t) override { return std::nullopt; }
  Image IconForExtension(const std::string&, int) override { return {}; }
};

IThumbnailMaker& ThumbnailMaker();
// Installs the program's maker (not owned); null restores the headless one.
void SetThumbnailMaker(IThumbnailMaker* maker);

// Where previews get the engine's pieces from; tests substitute them.
struct ThumbnailSources {
  // False when there is no category filter.
  std::function<bool()> haveFilter;
  // The node's category (2 picture, 4 movie, ...).
  std::function<unsigned(IFileNode*)> category;
  // The recovery object that reads the node; null when none.
  std::function<IDataRecovery*(IFileNode*)> recovery;
  // True while a recovery job uses the recovery objects.
  std::function<bool()> recoveryBusy;
  // True when a folder lies on the device being scanned.
  std::function<bool(const std::string& folder)> onScannedDevice;
};
// Installs sources; an empty member keeps the scan's own.
void SetThumbnailSources(ThumbnailSources sources);
void ResetThumbnailSources();

inline constexpr std::uint64_t kMaxPreviewBytes = 104857600;
inline constexpr std::uint64_t kVideoPreviewBytes = 2097152;
inline constexpr std::uint64_t kWholeAviBytes = 52428800;
inline constexpr int kThumbnailSide = 192;

// Where temporary copies for previews go: a private folder (mode 0700) made
// in the first of $XDG_RUNTIME_DIR, /dev/shm (both in memory on most
// systems), the temporary folder and /tmp that exists and does not lie on
// the scanned device, so that a preview never writes over the free space
// that holds the files still to be recovered. The folder is removed with
// its holder.
class TempCopy {
 public:
  TempCopy() = default;
  ~TempCopy();
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;
  // Makes the private folder and the file name (keeping a safe extension);
  // false when no place off the scanned device can take it.
  bool Prepare(const std::string& ext);
  const std::string& path() const { return m_path; }

 private:
  std::string m_dir;
  std::string m_path;
};

}  // namespace bridge

std::optional<bridge::Image> GetRawPicThumb(IFileNode* node);
std::optional<bridge::Image> GetVideoThumb(IFileNode* node);
