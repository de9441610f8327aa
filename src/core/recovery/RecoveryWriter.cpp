#include "core/recovery/RecoveryWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>

#include "core/compress/CompressFileReader.h"
#include "core/device/StorageDevice.h"
#include "core/model/FileNode.h"
#include "core/recovery/DestinationPaths.h"
#include "core/recovery/FileTimeConversion.h"
#include "core/recovery/PartitionChoice.h"
#include "core/recovery/RunFileReader.h"
#include "core/recovery/SmallJpeg.h"
#include "core/util/Log.h"
#include "platform/FileTimes.h"
#include "platform/FileWriter.h"
#include "platform/HeldFolders.h"

namespace {

constexpr int kFirstAsk = 256;
constexpr int kMostPartitions = 65536;
// Without a sink nobody can free space or cancel: a failing write is given up after this many tries.
constexpr int kWriteTriesWithoutSink = 3;
constexpr unsigned kThumbnailHead = 65536;

RESULT Fail(std::uint32_t line, std::uint32_t code) { return result::Make(result::kModuleDataRecovery, line, code); }

// Converts a node's times and hands those it has to `set` (access,
// modification; null for a time the node lacks); a failure is logged.
template <typename Set>
void ApplyTimes(const std::string& path, long long accessTime, long long modificationTime, Set&& set) {
  const auto access = FileTimeToUnixStamp(accessTime);
  const auto modification = FileTimeToUnixStamp(modificationTime);
  if (!access && !modification) return;
  if (!set(access ? &*access : nullptr, modification ? &*modification : nullptr)) {
    CatchExeception::WriteLog("%s:%d times[%s] failed with %s\n", "RecoverTo", __LINE__, path.c_str(),
                              std::strerror(errno));
  }
}

// A folder's times, through its descriptor when `folders` holds it.
void StampFolderTimes(platform::HeldFolders* folders, const std::string& path, long long accessTime,
                      long long modificationTime) {
  ApplyTimes(path, accessTime, modificationTime,
             [&](const platform::UnixTimeStamp* a, const platform::UnixTimeStamp* m) {
               std::optional<bool> held;
               if (folders != nullptr) held = folders->SetFolderTimes(path, a, m);
               return held ? *held : platform::SetFileTimes(path, a, m);
             });
}

}  // namespace

IDataRecovery* CreateDataRecoveryObj() { return new CDataRecovery(); }

CDataRecovery::~CDataRecovery() {
  std::lock_guard lock(m_mutex);
  ReleaseReader();
  ClearPartitions();
}

void CDataRecovery::ClearPartitions() {
  for (CSearchedPartitionInfo* p : m_partitions) delete p;
  m_partitions.clear();
}

void CDataRecovery::ReleaseReader() {
  if (m_pReader != nullptr) m_pReader->Release();
  m_pReader = nullptr;
}

RESULT CDataRecovery::Initialize(IFileSystemSearchController* searcher, IStorageDevice* device) {
  if (searcher == nullptr || device == nullptr) return Fail(__LINE__, kRecBadArgument);
  std::lock_guard lock(m_mutex);

  std::vector<CSearchedPartitionInfo*> got(kFirstAsk, nullptr);
  int count = searcher->GetSearchedPartitionInfo(got.data(), kFirstAsk);
  if (count <= 0) return Fail(__LINE__, kRecNoPartition);
  if (count > kFirstAsk) {
    for (CSearchedPartitionInfo* p : got) delete p;
    got.assign(static_cast<std::size_t>(std::min(count, kMostPartitions)), nullptr);
    count = searcher->GetSearchedPartitionInfo(got.data(), static_cast<int>(got.size()));
    if (count <= 0) {
      for (CSearchedPartitionInfo* p : got) delete p;
      return Fail(__LINE__, kRecNoPartition);
    }
  }
  const std::size_t kept = std::min(static_cast<std::size_t>(count), got.size());
  for (std::size_t i = kept; i < got.size(); ++i) delete got[i];
  got.resize(kept);

  ClearPartitions();
  m_partitions = std::move(got);
  m_pDevice = device;
  if (m_partitions.size() > 1) {
    std::stable_sort(m_partitions.begin(), m_partitions.end(),
                     [](const CSearchedPartitionInfo* a, const CSearchedPartitionInfo* b) {
                       if (a == nullptr || b == nullptr) return a != nullptr;
                       return a->m_dScore > b->m_dScore;
                     });
  }
  return result::kSuccess;
}

RESULT CDataRecovery::Initialize(const std::vector<CSearchedPartitionInfo*>& partitions, IStorageDevice* device) {
  if (device == nullptr) return Fail(__LINE__, kRecBadArgument);
  std::lock_guard lock(m_mutex);
  ClearPartitions();
  for (const CSearchedPartitionInfo* p : partitions) {
    if (p != nullptr) m_partitions.push_back(new CSearchedPartitionInfo(*p));
  }
  m_pDevice = device;
  return result::kSuccess;
}

void CDataRecovery::SetRecoveryRoot(const char* root) {
  std::lock_guard lock(m_mutex);
  m_strRoot = root == nullptr ? std::string() : std::string(root);
}

void CDataRecovery::SetHeldFolders(platform::HeldFolders* folders) {
  std::lock_guard lock(m_mutex);
  m_pFolders = folders;
}

IFileReader* CDataRecovery::SetRecoverNode(IFileNode* node) {
  std::lock_guard lock(m_mutex);
  auto* fileNode = dynamic_cast<CFileNode*>(node);
  if (fileNode == nullptr || fileNode->IsDirectory()) {
    CatchExeception::WriteLog("%s %d\r\n", "SetRecoverNode", __LINE__);
    return nullptr;
  }
  m_iNtfsCompressed = 0;
  if (m_partitions.empty()) {
    CatchExeception::WriteLog("%s %d\r\n", "SetRecoverNode", __LINE__);
    return nullptr;
  }
  CSearchedPartitionInfo* partition = GetNodePartition(m_partitions, fileNode);
  if (partition == nullptr) {
    CatchExeception::WriteLog("%s %d\r\n", "SetRecoverNode", __LINE__);
    return nullptr;
  }

  IFileReader* reader = nullptr;
  if (fileNode->IsCompressed()) {
    reader = fileNode->CreateCompressFileReader(m_pDevice);
    if (reader != nullptr && partition->m_iFileSystem == kFsNtfs) {
      auto* runReader = dynamic_cast<CFileReader*>(reader);
      if (runReader == nullptr || runReader->Open(m_pDevice, fileNode, partition) == 0) {
        reader->Release();
        reader = nullptr;
      } else {
        m_iNtfsCompressed = 1;
      }
    }
  } else {
    auto* runReader = new CFileReader();
    if (runReader->Open(m_pDevice, fileNode, partition) == 0) {
      runReader->Release();
    } else {
      reader = runReader;
    }
  }

  ReleaseReader();
  m_pNode = nullptr;
  m_llCreationTime = m_llModificationTime = m_llAccessTime = 0;
  if (reader == nullptr) {
    m_iNtfsCompressed = 0;
    CatchExeception::WriteLog("%s %d\r\n", "SetRecoverNode", __LINE__);
    return nullptr;
  }
  m_pReader = reader;
  m_pNode = fileNode;
  m_llCreationTime = fileNode->GetCreationTime();
  m_llModificationTime = fileNode->GetModificationTime();
  m_llAccessTime = fileNode->GetLastAccessTime();
  return reader->Clone();
}

int CDataRecovery::ReadFromReader(long long pos, char* buf, unsigned len, int* err) {
  if (m_iNtfsCompressed != 0) {
    if (auto* compressed = dynamic_cast<CCompressFileReader*>(m_pReader)) {
      return compressed->ReadDecompressed(pos, buf, len, err);
    }
  }
  return m_pReader->ReadData(pos, buf, len, err);
}

std::uint8_t* CDataRecovery::BlockBuffer() {
  if (!m_blockBuffer) m_blockBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(kBlockSize);
  return m_blockBuffer.get();
}

void CDataRecovery::ReadBlock(long long pos, std::size_t len, long long& unreadable) {
  char* buf = reinterpret_cast<char*>(BlockBuffer());
  int err = 0;
  int got = ReadFromReader(pos, buf, static_cast<unsigned>(len), &err);
  if (got < 0 || static_cast<std::size_t>(got) > len) got = 0;
  if (got > 0 && err > 0) unreadable += err;
  auto filled = static_cast<std::size_t>(got);
  if (filled == len) return;

  // The rest again in sector-sized pieces, so that only what cannot be read is lost.
  const int deviceSector = m_pDevice == nullptr ? 0 : m_pDevice->GetSectorSize();
  const std::size_t piece = deviceSector > 0 ? static_cast<std::size_t>(deviceSector) : 512;
  while (filled < len) {
    const std::size_t want = std::min(piece - (static_cast<std::size_t>(pos) + filled) % piece, len - filled);
    int pieceErr = 0;
    int n = ReadFromReader(pos + static_cast<long long>(filled), buf + filled, static_cast<unsigned>(want), &pieceErr);
    if (n < 0 || static_cast<std::size_t>(n) > want) n = 0;
    if (static_cast<std::size_t>(n) < want || pieceErr != 0) {
      std::memset(buf + filled + n, 0, want - static_cast<std::size_t>(n));
      ++unreadable;
    }
    filled += want;
  }
}

RESULT CDataRecovery::RecoverTo(const char* path, IProgress* sink, int sizeLimit) {
  std::lock_guard lock(m_mutex);
  _PROGRESS_INFO info{};
  info.state = kProgressRunning;
  if (sink != nullptr) sink->UpdateProgress(&info);
  m_llLastUnreadable = 0;
  if (path == nullptr) return Fail(__LINE__, kRecBadArgument);

  platform::FileWriter out;
  if (m_pReader == nullptr) {
    const bool created = OpenDestination(out, path);
    CatchExeception::WriteLog("%s %d\r\n", "RecoverTo", __LINE__);
    return created ? Fail(__LINE__, kRecNoReader) : Fail(__LINE__, kRecDestination);
  }
  if (m_iNtfsCompressed != 0 && m_pReader->IsCompressFile() != 0 && sizeLimit != 0) {
    CatchExeception::WriteLog("%s %d\r\n", "RecoverTo", __LINE__);
    return Fail(__LINE__, kRecDestination);
  }

  if (!OpenDestination(out, path)) {
    CatchExeception::WriteLog("%s:%d open[%s] failed with %s\n", "RecoverTo", __LINE__, path,
                              out.LastErrorText().c_str());
    return Fail(__LINE__, kRecDestination);
  }

  long long total = m_pReader->GetDataSize();
  if (sizeLimit > 0 && sizeLimit < total) total = sizeLimit;
  info.total = static_cast<std::uint64_t>(total);
  info.done = 0;

  RESULT rc = result::kSuccess;
  long long done = 0;
  long long unreadable = 0;
  int failedWrites = 0;
  while (done < total) {
    if (sink != nullptr && sink->Continued() == 0) break;
    std::size_t len = static_cast<std::size_t>(std::min<long long>(total - done, kBlockSize));
    info.result = 0;

    const long long before = unreadable;
    ReadBlock(done, len, unreadable);
    if (unreadable != before) {
      CatchExeception::WriteLog("%s:%d read[%s] failed with %s\n", "RecoverTo", __LINE__, path, std::strerror(EIO));
    }
    if (!out.WriteAt(done, m_blockBuffer.get(), len)) {
      CatchExeception::WriteLog("%s:%d write[%s] failed with %s\n", "RecoverTo", __LINE__, path,
                                out.LastErrorText().c_str());
      info.result = kRecWriteFailed;
      out.Close();
      OpenFile(out, path, false);
      len = 0;  // the same block again in the next pass
      if (sink == nullptr && ++failedWrites >= kWriteTriesWithoutSink) {
        rc = Fail(__LINE__, kRecWriteFailed);
        break;
      }
    } else {
      failedWrites = 0;
    }
    done += static_cast<long long>(len);
    info.done = static_cast<std::uint64_t>(done);
    if (sink != nullptr) sink->UpdateProgress(&info);
    if (info.result != 0 && !out.IsOpen()) {
      CatchExeception::WriteLog("%s:%d reopen[%s] failed with %s\n", "RecoverTo", __LINE__, path,
                                out.LastErrorText().c_str());
      rc = Fail(__LINE__, kRecDestination);
      break;
    }
  }
  m_llLastUnreadable = unreadable;
  if (unreadable > 0) {
    CatchExeception::WriteLog("%s:%d file[%s] is incomplete: %lld unreadable sectors written as zeros\n", "RecoverTo",
                              __LINE__, path, unreadable);
  }
  // Every byte is written: the times are set through the open file, and
  // closing it changes none of them.
  SetTimes(path, out);
  out.Close();
  return rc;
}

bool CDataRecovery::OpenDestination(platform::FileWriter& out, const char* path) const {
  if (OpenFile(out, path, true)) return true;
  if (out.LastError() != ENOENT) return false;
  MakeParentFolders(path);
  return out.Open(path, true);
}

bool CDataRecovery::OpenFile(platform::FileWriter& out, const char* path, bool truncate) const {
  return m_pFolders != nullptr ? out.OpenIn(*m_pFolders, path, truncate) : out.Open(path, truncate);
}

void CDataRecovery::MakeParentFolders(const std::string& path) const {
  const std::filesystem::path dir = destination_paths::Parent(path);
  if (dir.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
}

void CDataRecovery::SetTimes(const std::string& path, platform::FileWriter& out) const {
  if (m_pNode == nullptr) return;
  ApplyTimes(path, m_llAccessTime, m_llModificationTime,
             [&](const platform::UnixTimeStamp* a, const platform::UnixTimeStamp* m) {
               return out.IsOpen() ? out.SetTimes(a, m) : platform::SetFileTimes(path, a, m);
             });
  if (m_strRoot.empty()) return;
  const destination_paths::Root root(m_strRoot);
  std::string dir = destination_paths::Parent(path);
  for (IFileNode* folder = m_pNode->GetParent(); folder != nullptr && root.IsBelow(dir);
       folder = folder->GetParent(), dir = destination_paths::Parent(dir)) {
    StampFolderTimes(m_pFolders, dir, folder->GetLastAccessTime(), folder->GetModificationTime());
  }
}

int CDataRecovery::ReadSmallJPG(char* buf, unsigned len) {
  std::lock_guard lock(m_mutex);
  if (buf == nullptr || len < kThumbnailHead || m_pReader == nullptr) return 0;
  if (m_pReader->GetDataSize() < static_cast<long long>(kThumbnailHead)) return 0;
  char* head = reinterpret_cast<char*>(BlockBuffer());
  std::memset(head, 0, kThumbnailHead);
  auto* compressed = m_iNtfsCompressed != 0 ? dynamic_cast<CCompressFileReader*>(m_pReader) : nullptr;
  if (compressed != nullptr) {
    if (!compressed->Recovery(head, kThumbnailHead, nullptr)) return 0;
  } else {
    int err = 0;
    if (m_pReader->ReadData(0, head, kThumbnailHead, &err) != static_cast<int>(kThumbnailHead)) return 0;
  }
  const EmbeddedJpeg jpeg = FindEmbeddedJpeg(std::span<const std::uint8_t>(m_blockBuffer.get(), kThumbnailHead));
  if (jpeg.length == 0) return 0;
  std::memcpy(buf, head + jpeg.start, jpeg.length);
  return static_cast<int>(jpeg.length);
}
