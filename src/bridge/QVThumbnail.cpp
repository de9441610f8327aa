#include "bridge/QVThumbnail.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

#include "bridge/OpNodeData.h"
#include "bridge/QVPublic.h"
#include "bridge/QVUIController.h"
#include "bridge/QVUIFilter.h"
#include "bridge/QVUIRecovery.h"
#include "bridge/QVUIScan.h"
#include "core/filetype/RecoveryFilter.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"
#include "core/util/Log.h"

namespace bridge {
namespace {

HeadlessThumbnailMaker g_headless;
std::atomic<IThumbnailMaker*> g_maker{nullptr};

std::mutex g_sourcesLock;
ThumbnailSources g_sources;

// Held across every use of a recovery object by a preview, so that two
// previews never switch the object's node under each other.
std::mutex g_engineLock;

// Largest embedded preview the engine hands out.
constexpr int kMaxEmbeddedJpeg = 65535;
constexpr std::uint64_t kEmbeddedHead = 65536;

ThumbnailSources Sources() {
  ThumbnailSources s;
  {
    std::lock_guard g(g_sourcesLock);
    s = g_sources;
  }
  if (!s.haveFilter) s.haveFilter = [] { return QVUIFilter::instance()->GetFilter() != nullptr; };
  if (!s.category) {
    s.category = [](IFileNode* node) -> unsigned {
      IRecoveryFilter* filter = QVUIFilter::instance()->GetFilter();
      return filter != nullptr ? filter->GetNodeFileType(node) : 0u;
    };
  }
  if (!s.recovery) {
    s.recovery = [](IFileNode* node) -> IDataRecovery* {
      QVUIScan* scan = QVUIScan::instance();
      IRecoveryController* controller = scan->GetRecoveryController();
      if (controller == nullptr) return nullptr;
      if (controller->thisType() == kControllerQuick) return scan->GetFileNodeDataRecover(node);
      const auto type = static_cast<_tagSearcherType>(QVCPPPublic::instance()->GetNodeSearcheType(node));
      return QVUIRecovery::instance()->GetDataRecoveryByType(type);
    };
  }
  if (!s.recoveryBusy) s.recoveryBusy = [] { return QVUIController::IsRecoveryRunning(); };
  if (!s.onScannedDevice) {
    s.onScannedDevice = [](const std::string& folder) { return QVUIController::IsRecoveryToSameDevice(folder); };
  }
  return s;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The text from the last "." of the file's name, lower-cased; false when
// there is none.
bool DotExtension(IFileNode* node, std::string& ext) {
  const char* name = node->GetFileName();
  const std::string path = name != nullptr ? name : "";
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos) return false;
  ext = Lower(path.substr(dot));
  return true;
}

Image IconOf(IFileNode* node) {
  std::string ext;
  if (DotExtension(node, ext)) ext.erase(0, 1);
  return ThumbnailMaker().IconForExtension(ext, 16);
}

// Writes up to `limit` bytes of the node's data to `copy`; true on success.
bool CopyForPreview(IFileNode* node, std::uint64_t limit, const std::string& ext, TempCopy& copy, bool logFailure) {
  const ThumbnailSources s = Sources();
  if (s.recoveryBusy()) return false;
  IDataRecovery* recovery = s.recovery(node);
  if (recovery == nullptr || !copy.Prepare(ext)) return false;
  std::lock_guard g(g_engineLock);
  IFileReader* reader = recovery->SetRecoverNode(node);
  if (reader == nullptr) return false;
  const RESULT r = recovery->RecoverTo(copy.path().c_str(), nullptr, static_cast<int>(limit));
  if (r != 0 && logFailure) CatchExeception::WriteLog("----Recovery Failed----\n");
  reader->Release();
  return r == 0;
}

std::optional<Image> PicturePreview(IFileNode* node, std::uint64_t size) {
  const ThumbnailSources s = Sources();
  if (s.recoveryBusy()) return std::nullopt;
  IDataRecovery* recovery = s.recovery(node);
  if (recovery == nullptr) return std::nullopt;
  std::lock_guard g(g_engineLock);
  IFileReader* reader = recovery->SetRecoverNode(node);
  if (reader == nullptr) return std::nullopt;
  std::vector<char> data(static_cast<std::size_t>(size), 0);
  const auto len32 = static_cast<unsigned>(size);
  auto readAll = [&] {
    const int n = reader->ReadData(0, data.data(), len32, nullptr);
    return static_cast<std::size_t>(std::clamp<long long>(n, 0, static_cast<long long>(size)));
  };
  std::size_t length = 0;
  if (size >= kEmbeddedHead) {
    const int n = recovery->ReadSmallJPG(data.data(), len32);
    if (n > 0 && n <= kMaxEmbeddedJpeg) length = static_cast<std::size_t>(n);
  }
  if (length == 0) length = readAll();
  std::optional<Image> answer;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::optional<Image> image = ThumbnailMaker().Decode(data.data(), length);
    if (!image) break;
    if (image->usable()) {
      answer = image;
      break;
    }
    length = readAll();
  }
  reader->Release();
  return answer;
}

}  // namespace

IThumbnailMaker& ThumbnailMaker() {
  IThumbnailMaker* maker = g_maker.load();
  return maker != nullptr ? *maker : g_headless;
}

void SetThumbnailMaker(IThumbnailMaker* maker) { g_maker.store(maker); }

void SetThumbnailSources(ThumbnailSources sources) {
  std::lock_guard g(g_sourcesLock);
  g_sources = std::move(sources);
}

void ResetThumbnailSources() { SetThumbnailSources({}); }

TempCopy::~TempCopy() {
  std::error_code ec;
  if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
}

bool TempCopy::Prepare(const std::string& ext) {
  if (!m_dir.empty()) return true;
  std::vector<std::string> bases;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
    bases.emplace_back(runtime);
  }
  bases.emplace_back("/dev/shm");
  std::error_code ec;
  const std::string temp = std::filesystem::temp_directory_path(ec).string();
  if (!ec && !temp.empty()) bases.push_back(temp);
  bases.emplace_back("/tmp");
  const ThumbnailSources s = Sources();
  for (const std::string& base : bases) {
    if (!std::filesystem::is_directory(base, ec) || s.onScannedDevice(base)) continue;
    std::string pattern = base + "/quarnel-preview-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) continue;
    m_dir = pattern;
    break;
  }
  if (m_dir.empty()) return false;
  // Only a plain extension is kept from the found file's name.
  std::string safe;
  for (char c : ext) {
    if (std::isalnum(static_cast<unsigned char>(c)) && safe.size() < 16) safe += c;
  }
  m_path = m_dir + "/preview" + (safe.empty() ? "" : "." + safe);
  return true;
}

}  // namespace bridge

using bridge::Image;

namespace {

// The thumbnail of a copy of the whole file; unusable when none was made.
Image RawThumbOnly(IFileNode* node) {
  const long long size = node->GetFileSize();
  std::string ext;
  bridge::DotExtension(node, ext);
  if (size < 1 || static_cast<std::uint64_t>(size) > bridge::kMaxPreviewBytes) return {};
  bridge::TempCopy copy;
  if (!bridge::CopyForPreview(node, static_cast<std::uint64_t>(size), ext, copy, false)) return {};
  return QVUIController::getVideoThumbFromPath(copy.path());
}

}  // namespace

std::optional<Image> GetRawPicThumb(IFileNode* node) {
  if (node == nullptr) return std::nullopt;
  Image image = RawThumbOnly(node);
  if (image.usable()) return image;
  return bridge::IconOf(node);
}

std::optional<Image> GetVideoThumb(IFileNode* node) {
  static std::mutex aLocker;
  std::lock_guard hold(aLocker);
  if (node == nullptr) return std::nullopt;
  std::string ext;
  if (!bridge::DotExtension(node, ext)) return std::nullopt;
  Image image;
  if (ext == ".mov" || ext == ".m4v" || ext == ".mp4" || ext == ".avi") {
    const long long size = node->GetFileSize();
    std::uint64_t limit = bridge::kVideoPreviewBytes;
    if (ext == ".avi" && size > 0 && static_cast<std::uint64_t>(size) <= bridge::kWholeAviBytes) {
      limit = static_cast<std::uint64_t>(size);
    } else if (size > 0 && static_cast<std::uint64_t>(size) < bridge::kVideoPreviewBytes) {
      limit = static_cast<std::uint64_t>(size);
    }
    bridge::TempCopy copy;
    if (bridge::CopyForPreview(node, limit, ext, copy, true)) {
      image = QVUIController::getVideoThumbFromPath(copy.path());
    }
  }
  if (image.usable()) return image;
  return bridge::IconOf(node);
}

std::optional<Image> QVUIController::GetNSImageByFildNode(IFileNode* node) {
  if (node == nullptr) return std::nullopt;
  const bridge::ThumbnailSources s = bridge::Sources();
  if (!s.haveFilter()) return std::nullopt;
  const unsigned category = s.category(node);
  if (category == kFilterMovie) return GetVideoThumb(node);
  std::string ext;
  if (!bridge::DotExtension(node, ext)) return bridge::IconOf(node);
  if (ext == ".rw2" || ext == ".sr2" || ext == ".cr2" || ext == ".dng" || ext == ".dcr") return GetRawPicThumb(node);
  if (ext == ".arw" || ext == ".psd") {
    // Only a real thumbnail ends the search here, not the icon.
    Image raw = RawThumbOnly(node);
    if (raw.usable()) return raw;
  }
  const long long size = node->GetFileSize();
  if (category == kFilterPicture && size >= 1 && static_cast<std::uint64_t>(size) <= bridge::kMaxPreviewBytes) {
    std::optional<Image> picture = bridge::PicturePreview(node, static_cast<std::uint64_t>(size));
    if (picture && picture->usable()) return picture;
  }
  return bridge::IconOf(node);
}

std::optional<Image> QVUIController::GetNSImageByFildNodeNSNumber(std::int64_t number) {
  return GetNSImageByFildNode(reinterpret_cast<IFileNode*>(static_cast<std::intptr_t>(number)));
}

std::optional<Image> QVUIController::GetNSImageByNode(const OpNodeData* item) {
  return GetNSImageByFildNode(item != nullptr ? item->fileNode() : nullptr);
}

bool QVUIController::GetFileHeadBytes(IFileNode* node, std::size_t limit, std::string& out) {
  out.clear();
  if (node == nullptr || node->IsDirectory() != 0) return false;
  const long long size = node->GetFileSize();
  if (size < 1 || limit == 0) return false;
  const std::size_t length = static_cast<std::size_t>(
      std::min<unsigned long long>({static_cast<unsigned long long>(size), limit, bridge::kMaxPreviewBytes}));
  const bridge::ThumbnailSources s = bridge::Sources();
  if (s.recoveryBusy()) return false;
  IDataRecovery* recovery = s.recovery(node);
  if (recovery == nullptr) return false;
  std::lock_guard g(bridge::g_engineLock);
  IFileReader* reader = recovery->SetRecoverNode(node);
  if (reader == nullptr) return false;
  out.resize(length);
  const int n = reader->ReadData(0, out.data(), static_cast<unsigned>(length), nullptr);
  reader->Release();
  out.resize(static_cast<std::size_t>(std::clamp<long long>(n, 0, static_cast<long long>(length))));
  return !out.empty();
}

Image QVUIController::getVideoThumbFromPath(const std::string& path) {
  return bridge::ThumbnailMaker().FromFile(path, bridge::kThumbnailSide);
}
