#include "bridge/ScanResultFile.h"

#include <sys/stat.h>

#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <unordered_set>
#include <algorithm>

#include "core/archive/RSData.h"
#include "core/archive/RSException.h"
#include "core/model/FileNode.h"

const tagGUIDSIGN _frFileSystemSearchControllerList{
    0x409B6394, 0xF681, 0x4E88, {0xA2, 0x0F, 0x5D, 0x63, 0x57, 0x82, 0xED, 0x75}};
const tagGUIDSIGN _frDiskDevice{0xB072A676, 0x0548, 0x468B, {0xBA, 0x9E, 0x91, 0x09, 0x3A, 0x63, 0xB5, 0x17}};
const tagGUIDSIGN _frFileSystemNode{0xD208F26C, 0x078C, 0x4E34, {0x9D, 0x71, 0xD9, 0x1F, 0x53, 0x5F, 0x7B, 0x57}};
const tagGUIDSIGN _frImageSource{0x6A1F3C52, 0x9B7E, 0x4D21, {0x8C, 0x44, 0x0E, 0x51, 0xA3, 0x97, 0x2B, 0x6D}};

namespace scan_result_file {
namespace {

template <typename T>
void Put(std::vector<std::uint8_t>& out, T value) {
  using U = std::make_unsigned_t<T>;
  U v = static_cast<U>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    v = static_cast<U>(v >> 8);
  }
}

void PutBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  out.insert(out.end(), p, p + size);
}

void Flush(IRSData& file, std::vector<std::uint8_t>& buffer) {
  if (buffer.empty()) return;
  file.WriteCurFrame(buffer.data(), static_cast<unsigned int>(buffer.size()));
  buffer.clear();
}

// Cuts `text` to at most `limit` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

// Bounded little-endian reader over a frame's bytes.
class Cursor {
 public:
  explicit Cursor(const std::vector<std::uint8_t>& bytes) : m_p(bytes.data()), m_left(bytes.size()) {}

  template <typename T>
  bool Get(T& value) {
    if (m_left < sizeof(T)) return false;
    std::make_unsigned_t<T> v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
      v |= static_cast<std::make_unsigned_t<T>>(std::make_unsigned_t<T>(m_p[i]) << (8 * i));
    value = static_cast<T>(v);
    m_p += sizeof(T);
    m_left -= sizeof(T);
    return true;
  }
  bool GetBytes(void* out, std::size_t size) {
    if (m_left < size) return false;
    std::memcpy(out, m_p, size);
    m_p += size;
    m_left -= size;
    return true;
  }
  bool GetString(std::string& out, std::size_t size) {
    if (m_left < size) return false;
    out.assign(reinterpret_cast<const char*>(m_p), size);
    m_p += size;
    m_left -= size;
    return true;
  }
  std::size_t Left() const { return m_left; }

 private:
  const std::uint8_t* m_p;
  std::size_t m_left;
};

bool ReadNodeRecord(Cursor& in, SavedNodeRecord& r) {
  std::uint32_t runs = 0;
  std::uint32_t nameLength = 0;
  if (!in.Get(r.id) || !in.Get(r.parentId) || !in.Get(r.size) || !in.Get(r.attribute) || !in.Get(r.creationTime) ||
      !in.Get(r.modificationTime) || !in.Get(r.accessTime) || !in.Get(r.directory) || !in.Get(r.deleted) ||
      !in.Get(runs) || !in.Get(r.resident)) {
    return false;
  }
  if (runs > in.Left() / 16) return false;
  r.runs.resize(runs);
  for (DataRun& run : r.runs) {
    if (!in.Get(run.start) || !in.Get(run.length)) return false;
  }
  if (!in.Get(nameLength) || nameLength > in.Left() || !in.GetString(r.name, nameLength)) return false;
  return in.Get(r.shown) && in.Get(r.partition) && in.Get(r.metadataSector) && in.Get(r.compressed);
}

// The whole payload of the frame `tag`, refusing a length past the file.
std::vector<std::uint8_t> ReadFrame(IRSData& file, const tagGUIDSIGN& tag, std::uint64_t fileSize) {
  file.OpenFrame(tag);
  const unsigned int size = file.GetFrameSize();
  if (size > fileSize) throw CRSException(CRSException::kShortRead);
  std::vector<std::uint8_t> bytes(size);
  if (size > 0) file.ReadCurFrame(bytes.data(), size);
  file.CloseFrame();
  return bytes;
}

}  // namespace

void AppendNodeRecord(std::vector<std::uint8_t>& out, const SavedNodeRecord& r) {
  Put(out, r.id);
  Put(out, r.parentId);
  Put(out, r.size);
  Put(out, r.attribute);
  Put(out, r.creationTime);
  Put(out, r.modificationTime);
  Put(out, r.accessTime);
  Put(out, r.directory);
  Put(out, r.deleted);
  Put(out, static_cast<std::uint32_t>(r.runs.size()));
  Put(out, r.resident);
  for (const DataRun& run : r.runs) {
    Put(out, static_cast<std::int64_t>(run.start));
    Put(out, static_cast<std::int64_t>(run.length));
  }
  const std::string name = CutUtf8(r.name, kMaxNodeNameLength);
  Put(out, static_cast<std::uint32_t>(name.size()));
  PutBytes(out, name.data(), name.size());
  Put(out, r.shown);
  Put(out, r.partition);
  Put(out, r.metadataSector);
  Put(out, r.compressed);
}

SavedNodeRecord RecordOfNode(IFileNode* node) {
  SavedNodeRecord r;
  r.id = node->GetCurrentNodeID();
  r.parentId = node->GetParentNodeID();
  r.size = static_cast<std::uint64_t>(node->GetFileSize());
  r.attribute = static_cast<std::uint16_t>(node->GetAttribute());
  r.creationTime = node->GetCreationTime();
  r.modificationTime = node->GetModificationTime();
  r.accessTime = node->GetLastAccessTime();
  r.directory = node->IsDirectory();
  r.deleted = node->IsDeleted();
  if (const char* name = node->GetFileName()) r.name = name;
  r.shown = node->IsNodeShow();
  r.compressed = node->IsCompressed();
  if (auto* file = dynamic_cast<CFileNode*>(node)) {
    if (IDataRunList* list = file->GetDataRunList()) {
      r.resident = list->IsResident();
      for (const DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext()) r.runs.push_back(*run);
    }
    r.partition = static_cast<std::uint16_t>(file->GetBelongedPartition());
    r.metadataSector = file->GetMetadataStartPosition();
  }
  return r;
}

void WriteScanKind(IRSData& file, std::int32_t controllerType, std::int32_t deep) {
  std::vector<std::uint8_t> out;
  Put(out, kScanKindLength);
  Put(out, controllerType);
  Put(out, deep);
  file.OpenFrame(_frFileSystemSearchControllerList);
  Flush(file, out);
  file.CloseFrame();
}

void WriteDevice(IRSData& file, const SavedDevice& device) {
  const _DiskVolumeData& row = device.row;
  const std::string name = CutUtf8(row.name, kMaxDeviceNameLength);
  std::vector<std::uint8_t> out;
  Put(out, static_cast<std::uint64_t>(row.capacity));
  Put(out, static_cast<std::int32_t>(row.diskIndex));
  Put(out, static_cast<std::int32_t>(row.volumeIndex));
  Put(out, static_cast<std::int32_t>(row.fileSystem));
  Put(out, static_cast<std::uint32_t>(name.size()));
  PutBytes(out, name.data(), name.size());
  const bool dmg = device.dmgInfo.size() == kDmgInfoSize;
  Put(out, std::int32_t{dmg ? 1 : 0});
  Put(out, std::int32_t{dmg ? static_cast<std::int32_t>(kDmgInfoSize) : -1});
  if (dmg) PutBytes(out, device.dmgInfo.data(), kDmgInfoSize);
  const bool qdi = device.qdiInfo.size() == kQdiInfoSize;
  Put(out, std::int32_t{qdi ? 1 : 0});
  Put(out, std::int32_t{qdi ? static_cast<std::int32_t>(kQdiInfoSize) : -1});
  if (qdi) PutBytes(out, device.qdiInfo.data(), kQdiInfoSize);
  file.OpenFrame(_frDiskDevice);
  Flush(file, out);
  file.CloseFrame();
}

void WriteTrees(IRSData& file, const std::vector<TreeToSave>& trees, const std::function<void()>& step) {
  constexpr std::size_t kFlushAt = 256 * 1024;
  std::vector<std::uint8_t> out;
  file.OpenFrame(_frFileSystemNode);
  Put(out, static_cast<std::uint64_t>(trees.size()));
  for (const TreeToSave& tree : trees) {
    IFileNode* root = tree.root;
    Put(out, kTreeMarker);
    AppendNodeRecord(out, RecordOfNode(root));
    Put(out, static_cast<std::uint32_t>(root->GetSearcheType()));
    const std::string volume =
        CutUtf8(root->GetVolumeName() != nullptr ? root->GetVolumeName() : "", kMaxVolumeNameLength);
    Put(out, static_cast<std::uint32_t>(volume.size()));
    PutBytes(out, volume.data(), volume.size());
    if (step) step();
    const std::size_t count = std::min<std::size_t>(tree.partitions.size(), kMaxPartitionsPerTree);
    Put(out, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
      CSearchedPartitionInfo* p = tree.partitions[i];
      Put(out, static_cast<std::uint32_t>(p->GetType()));
      const auto image = p->ToStoredImage();
      PutBytes(out, image.data(), image.size());
    }
    // Breadth first, parents before children; a visited set guards loops.
    std::deque<IFileNode*> queue{root};
    std::unordered_set<IFileNode*> seen{root};
    while (!queue.empty()) {
      IFileNode* node = queue.front();
      queue.pop_front();
      for (IFileNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextNode()) {
        if (child->IsDirectory()) {
          if (seen.insert(child).second) queue.push_back(child);
        }
        Put(out, kNodeMarker);
        AppendNodeRecord(out, RecordOfNode(child));
        if (out.size() >= kFlushAt) Flush(file, out);
        if (step) step();
      }
    }
    Put(out, kTreeEndMarker);
    if (step) step();
  }
  Flush(file, out);
  file.CloseFrame();
}

void WriteImageSource(IRSData& file, const std::string& path) {
  std::vector<std::uint8_t> out;
  Put(out, static_cast<std::uint32_t>(path.size()));
  PutBytes(out, path.data(), path.size());
  file.OpenFrame(_frImageSource);
  Flush(file, out);
  file.CloseFrame();
}

bool ParseScanKind(const std::vector<std::uint8_t>& bytes, SavedScan& out, std::string& error) {
  Cursor in(bytes);
  std::uint32_t length = 0;
  if (!in.Get(length) || length != kScanKindLength || !in.Get(out.controllerType) || !in.Get(out.deep)) {
    error = "the scan-kind frame is damaged";
    return false;
  }
  return true;
}

bool ParseDevice(const std::vector<std::uint8_t>& bytes, SavedDevice& out, std::string& error) {
  Cursor in(bytes);
  std::uint64_t capacity = 0;
  std::int32_t disk = -1;
  std::int32_t volume = -1;
  std::int32_t fs = -1;
  std::uint32_t nameLength = 0;
  error = "the device frame is damaged";
  if (!in.Get(capacity) || !in.Get(disk) || !in.Get(volume) || !in.Get(fs) || !in.Get(nameLength)) return false;
  if (nameLength > kMaxDeviceNameLength || !in.GetString(out.row.name, nameLength)) return false;
  if (capacity > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) return false;
  out.row.capacity = static_cast<long long>(capacity);
  out.row.diskIndex = disk;
  out.row.volumeIndex = volume;
  out.row.fileSystem = fs;
  std::int32_t isDmg = 0;
  std::int32_t dmgSize = -1;
  if (!in.Get(isDmg) || !in.Get(dmgSize)) return false;
  if (dmgSize != -1) {
    if (dmgSize != static_cast<std::int32_t>(kDmgInfoSize)) return false;
    out.dmgInfo.resize(kDmgInfoSize);
    if (!in.GetBytes(out.dmgInfo.data(), kDmgInfoSize)) return false;
    if (isDmg == 0) out.dmgInfo.clear();
  }
  out.row.isAppleDmg = out.dmgInfo.empty() ? 0 : 1;
  out.row.dmgInfoSize = out.dmgInfo.empty() ? -1 : static_cast<int>(kDmgInfoSize);
  std::int32_t isQdi = 0;
  std::int32_t qdiSize = -1;
  if (!in.Get(isQdi) || !in.Get(qdiSize)) return false;
  if (qdiSize != -1) {
    if (qdiSize != static_cast<std::int32_t>(kQdiInfoSize)) return false;
    out.qdiInfo.resize(kQdiInfoSize);
    if (!in.GetBytes(out.qdiInfo.data(), kQdiInfoSize)) return false;
    if (isQdi == 0) out.qdiInfo.clear();
  }
  out.row.isQdi = out.qdiInfo.empty() ? 0 : 1;
  out.row.qdiInfoSize = out.qdiInfo.empty() ? -1 : static_cast<int>(kQdiInfoSize);
  error.clear();
  return true;
}

bool ParseTrees(const std::vector<std::uint8_t>& bytes, std::vector<SavedTree>& out, std::string& error) {
  Cursor in(bytes);
  std::uint64_t count = 0;
  if (!in.Get(count)) {
    error = "the tree frame is empty";
    return false;
  }
  for (std::uint64_t t = 0; t < count; ++t) {
    std::uint32_t marker = 0;
    if (!in.Get(marker) || marker != kTreeMarker) {
      error = "a tree of the tree frame is damaged";
      return false;
    }
    SavedTree tree;
    std::uint32_t volumeLength = 0;
    if (!ReadNodeRecord(in, tree.root) || !in.Get(tree.searcherType) || !in.Get(volumeLength) ||
        volumeLength > in.Left() || !in.GetString(tree.volumeName, volumeLength)) {
      error = "a tree's root record is damaged";
      return false;
    }
    if (tree.searcherType < 31 || tree.searcherType > 37) {
      error = "a tree has an unknown searcher type";
      return false;
    }
    std::uint32_t partitions = 0;
    if (!in.Get(partitions) || partitions > kMaxPartitionsPerTree || partitions > in.Left() / 108) {
      error = "a tree's partition count is damaged";
      return false;
    }
    for (std::uint32_t i = 0; i < partitions; ++i) {
      SavedPartition p;
      if (!in.Get(p.type) || p.type > 4 || !in.GetBytes(p.block.data(), p.block.size())) {
        error = "a partition record is damaged";
        return false;
      }
      tree.partitions.push_back(p);
    }
    // The tree keeps the nodes read before any damage.
    for (;;) {
      if (!in.Get(marker)) {
        out.push_back(std::move(tree));
        error = "the tree frame ends inside a tree";
        return false;
      }
      if (marker == kTreeEndMarker) break;
      SavedNodeRecord node;
      if (marker != kNodeMarker || !ReadNodeRecord(in, node)) {
        out.push_back(std::move(tree));
        error = "a node record is damaged";
        return false;
      }
      tree.nodes.push_back(std::move(node));
    }
    out.push_back(std::move(tree));
  }
  return true;
}

int ReadScanResult(const std::string& path, SavedScan& out, std::string& error) {
  out = SavedScan{};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "the scan-result file cannot be opened";
    return kLoadCannotOpen;
  }
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  auto file = std::make_unique<CRSData>(RSModeRead);
  int stage = kLoadCannotOpen;
  try {
    if (file->StartRS(path.c_str(), 0) == 0) {
      error = "the scan-result file cannot be opened";
      return kLoadCannotOpen;
    }
    stage = kLoadBadHeader;
    FILEHEADER header;
    if (file->ReadFileHeader(header) == 0 || file->GetStatus() == 0) {
      error = "not a scan-result file, or it was not completely written";
      file->EndRS();
      return kLoadBadHeader;
    }
    stage = kLoadNoScanKind;
    if (!ParseScanKind(ReadFrame(*file, _frFileSystemSearchControllerList, fileSize), out, error)) {
      file->EndRS();
      return kLoadBadScanKind;
    }
    stage = kLoadBadDevice;
    if (!ParseDevice(ReadFrame(*file, _frDiskDevice, fileSize), out.device, error)) {
      file->EndRS();
      return kLoadBadDevice;
    }
    stage = kLoadOk;
    std::vector<std::uint8_t> trees;
    try {
      trees = ReadFrame(*file, _frFileSystemNode, fileSize);
    } catch (const CRSException& e) {
      out.treesDamaged = true;
      out.damage = std::string("the tree frame cannot be read (") + e.what() + ")";
    }
    if (!out.treesDamaged && !ParseTrees(trees, out.trees, out.damage)) out.treesDamaged = true;
    try {
      const std::vector<std::uint8_t> source = ReadFrame(*file, _frImageSource, fileSize);
      Cursor in(source);
      std::uint32_t length = 0;
      std::string path;
      if (in.Get(length) && length <= 4096 && in.GetString(path, length) && path.find('\0') == std::string::npos) {
        out.imageSource = path;
      }
    } catch (const CRSException&) {
      // Files written without it, or with it damaged: the device is looked up by its row.
    }
    file->EndRS();
  } catch (const CRSException& e) {
    if (stage == kLoadBadHeader)
      error = "not a scan-result file";
    else if (stage == kLoadNoScanKind)
      error = "the file has no readable scan-kind frame";
    else if (stage == kLoadBadDevice)
      error = "the file has no readable device frame";
    else
      error = e.what();
    return stage == kLoadOk ? kLoadBadDevice : stage;
  }
  return kLoadOk;
}

}  // namespace scan_result_file
