#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "apfs/APFSContainerReader.h"
#include "apfs/ApfsBTreeNode.h"
#include "apfs/ApfsFsRecords.h"
#include "apfs/ApfsLayout.h"

namespace {

constexpr std::uint32_t kMaxKeys = 1023;
constexpr std::int64_t kThreshold = 4096;
constexpr std::int64_t kThresholdSlack = 256;
// Plausible creation times: 1985-11-05 to 2200-01-01, in nanoseconds.
constexpr std::int64_t kEarliestTime = 500000000000000000LL;
constexpr std::int64_t kLatestTime = 7258118400LL * 1000000000LL;
constexpr std::size_t kMaxRenamed = 2000;
constexpr std::uint64_t kUniqueIdBase = 1ull << 62;
constexpr std::uint64_t kMaxSector = 1ull << 48;

std::int64_t Distance(std::int64_t a, std::int64_t b) {
  const auto d = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(a - b)));
  return d < 0 ? -static_cast<std::int64_t>(d) : d;
}

bool InWindow(std::int64_t t) { return t >= kEarliestTime && t < kLatestTime; }

std::string Plain(const std::string& stored) { return std::string(stored.c_str()); }

}  // namespace

// ---- names ----

std::string APFSContainerReader::DecodeName(const char* bytes, std::size_t length) {
  if (bytes == nullptr || length == 0) return {};
  if (!IsAcceptedName(bytes, length)) return {};
  if (length > 1 && bytes[0] == '.') {
    ++bytes;
    --length;
  }
  return std::string(bytes, length);
}

bool APFSContainerReader::IsAcceptedName(const char* bytes, std::size_t length) {
  return !(bytes != nullptr && length == 10 && strncasecmp(bytes, ".DS_Store", 9) == 0);
}

void APFSContainerReader::SetName(APFSFileNode* node, const char* bytes, std::size_t length) {
  node->m_name = DecodeName(bytes, length);
  if (node->m_name.size() == 8 && strncasecmp(node->m_name.c_str(), "Trashes", 7) == 0) {
    node->m_flags |= APFSFileNode::kDirectory | APFSFileNode::kDeleted | APFSFileNode::kKindFixed;
  }
}

// ---- tree-node walk ----

void APFSContainerReader::ParseFSTreeNode(std::int64_t position, const ByteView& data) {
  const apfs::NodeHeader h = apfs::DecodeNodeHeader(data);
  if (h.keyCount > kMaxKeys) return;
  for (std::uint32_t n = 0; n < h.keyCount; ++n) {
    if (!m_delegate->ContinueCheck()) return;
    const std::optional<apfs::EntrySpan> entry = apfs::VariableEntry(data, h, n);
    if (!entry) continue;
    switch (apfs::RecordKind(entry->key)) {
      case apfs::kRecordExtent:
        if (auto r = apfs::DecodeExtent(entry->key, entry->value)) OnExtent(*r, position);
        break;
      case apfs::kRecordInode:
        if (auto r = apfs::DecodeInode(entry->value)) OnInode(*r, position);
        break;
      case apfs::kRecordDirectory:
        if (auto r = apfs::DecodeDirectoryRecord(entry->key, entry->value)) OnDirectoryRecord(*r, position);
        break;
      case apfs::kRecordXattr:
        if (auto r = apfs::DecodeXattr(entry->key, entry->value)) OnXattr(*r, position);
        break;
      default:
        break;
    }
  }
}

void APFSContainerReader::Offer(APFSFileNode* node) {
  if (node == nullptr || node->HandedOver()) return;
  if (IsReady(node, false)) {
    m_pending.erase(node);
    m_delegate->OnFileNodeFound(node);
  } else {
    m_pending.insert(node);
  }
}

// ---- candidates ----

APFSContainerReader::Candidates APFSContainerReader::FindCandidates(NodeMap& map, std::uint64_t key,
                                                                    std::uint64_t parent, const std::string* name,
                                                                    std::int64_t time, std::int64_t position) {
  Candidates c;
  std::int64_t threshold = kThreshold;
  const auto [first, end] = map.equal_range(key);
  for (auto it = first; it != end; ++it) {
    APFSFileNode* node = it->second.get();
    c.last = node;
    if (node->m_apfsParent == parent) {
      bool exact = (node->m_apfsKey & 0xFFFFFFFFull) < 5;
      if (!exact && name != nullptr && !name->empty()) {
        const std::string own = node->PlainName();
        exact = own.empty() || name->find(own) != std::string::npos;
      }
      if (exact) {
        node->m_position = position;
        c.exact = node;
        return c;
      }
    }
    const auto blocks = static_cast<std::int64_t>(node->m_size / 4096);
    if (threshold > kThresholdSlack && blocks > threshold - kThresholdSlack) threshold = blocks + kThresholdSlack;
    const std::int64_t distance = Distance(node->m_position, position);
    if ((time != 0 && node->m_created == time) || distance < threshold) {
      c.nearest = node;
      threshold = distance;
    }
  }
  return c;
}

APFSFileNode* APFSContainerReader::NewNode(NodeMap& map, bool folder, std::uint64_t key, bool candidateExisted,
                                           std::uint64_t parent, std::int64_t position) {
  auto owned = std::make_unique<APFSFileNode>();
  APFSFileNode* node = owned.get();
  node->SetKind(folder);
  node->SetNodeId(candidateExisted ? static_cast<long long>(kUniqueIdBase +
                                                            (static_cast<std::uint64_t>(m_index) << 40) + ++m_uniqueIds)
                                   : static_cast<long long>(key));
  node->SetParentNodeID(static_cast<long long>(parent));
  node->m_position = position;
  node->m_apfsKey = key;
  node->m_apfsParent = parent;
  node->SetBelongedPartition(static_cast<unsigned short>(m_index));
  map.emplace(key, std::move(owned));
  return node;
}

APFSFileNode* APFSContainerReader::NodeForNamedRecord(NodeMap& map, bool folder, std::uint64_t key,
                                                      std::uint64_t parent, const std::string& name, std::int64_t time,
                                                      std::int64_t position) {
  const std::string plain = Plain(name);
  const Candidates c = FindCandidates(map, key, parent, &plain, time, position);
  if (c.exact != nullptr) return c.exact;
  APFSFileNode* near = c.nearest;
  if (near != nullptr && !folder && near->m_apfsParent == static_cast<std::uint64_t>(-1)) {
    near->m_apfsParent = parent;
    near->SetParentNodeID(static_cast<long long>(parent));
    near->m_position = position;
    return near;
  }
  std::string stored = name;
  if (near != nullptr && plain.size() > 2 && plain.compare(0, 2, "0x") == 0) {
    char* end = nullptr;
    const long long number = std::strtoll(plain.c_str() + 2, &end, 10);
    if (end != plain.c_str() + 2) {
      std::string renamed = near->PlainName() + "-" + std::to_string(number);
      if (renamed.size() > kMaxRenamed) renamed.resize(kMaxRenamed);
      stored = renamed + '\0';
    }
  }
  APFSFileNode* node = NewNode(map, folder, key, c.last != nullptr, parent, position);
  SetName(node, stored.data(), stored.size());
  if (DeletedRule()) node->MarkDeleted();
  if (c.last != nullptr && c.last->GetDataRunList() != nullptr) node->SetDataRunList(c.last->GetDataRunList()->Clone());
  return node;
}

// ---- parents ----

void APFSContainerReader::AttachToNearestFolder(APFSFileNode* node, std::uint64_t parent, std::int64_t position) {
  APFSFileNode* best = nullptr;
  std::int64_t bestDistance = 0;
  const auto [first, end] = m_folders.equal_range(parent);
  for (auto it = first; it != end; ++it) {
    APFSFileNode* folder = it->second.get();
    if (folder == node) continue;
    const std::int64_t d = Distance(folder->m_position, position);
    if (best == nullptr || d < bestDistance) {
      best = folder;
      bestDistance = d;
    }
  }
  node->m_apfsParent = parent;
  if (best != nullptr) {
    AttachChild(best, node);
  } else {
    node->SetParentNodeID(static_cast<long long>(parent));
  }
}

void APFSContainerReader::AttachChild(APFSFileNode* folder, APFSFileNode* child) {
  if ((folder->m_flags & APFSFileNode::kMerged) != 0 && folder->m_mergeTarget != nullptr)
    folder = folder->m_mergeTarget;
  if (folder == child) return;
  child->m_parentNode = folder;
  child->SetParentNodeID(folder->GetCurrentNodeID());
  if (child->IsFolder()) {
    for (APFSFileNode* c = folder->m_firstChild; c != nullptr; c = c->m_nextSibling) {
      if (c->IsFolder() && c->m_name == child->m_name) {
        child->m_mergeTarget = c;
        child->m_flags |= APFSFileNode::kMerged;
        return;
      }
    }
  }
  child->m_nextSibling = folder->m_firstChild;
  folder->m_firstChild = child;
}

bool APFSContainerReader::IsReady(APFSFileNode* node, bool final) {
  if (node->HandedOver()) return false;
  if ((node->m_flags & APFSFileNode::kMerged) != 0 && node->m_mergeTarget != nullptr) return false;
  if (node->m_name.empty()) return false;
  if (!node->IsFolder() && node->m_created == 0) return false;
  if (final) {
    if (node->GetParentNodeID() == -1) {
      const auto partition = static_cast<long long>(node->GetBelongedPartition());
      node->SetParentNodeID((partition << 32) + 3);
    }
    return true;
  }
  const long long parent = node->GetParentNodeID();
  return parent == 1 || parent == 2 || node->m_parentNode != nullptr;
}

// ---- records ----

void APFSContainerReader::OnInode(const apfs::InodeRecord& r, std::int64_t position) {
  if (!IsAcceptedName(r.rawName.data(), r.rawName.size())) return;
  const std::string name = DecodeName(r.rawName.data(), r.rawName.size());
  if (name.empty() || Plain(name).empty()) return;
  const bool folder = r.IsDirectory();
  const std::uint64_t key = Key(r.privateId);
  const std::uint64_t parent = Key(r.parentId);
  NodeMap& map = folder ? m_folders : m_files;
  APFSFileNode* node = NodeForNamedRecord(map, folder, key, parent, name, r.created, position);

  if ((folder || !m_parsed) && !node->HandedOver() && node->m_parentNode == nullptr) {
    AttachToNearestFolder(node, parent, position);
  }
  if (r.IsCompressed() && !folder) {
    node->SetCompressed(1);
    node->m_reader = this;
    if (r.uncompressedSize != 0) node->SetSizeIfUnset(r.uncompressedSize);
  }
  if (r.dataSize != 0 && (node->m_size == 0 || (node->PlainName() == Plain(name) && node->m_created == r.created &&
                                                node->m_size < r.dataSize))) {
    node->SetSizeIfUnset(r.dataSize);
  }
  if (node->m_name.empty()) SetName(node, name.data(), name.size());
  if (node->m_created == 0) {
    std::int64_t created = 0;
    for (const std::int64_t t : {r.created, r.modified, r.changed}) {
      if (InWindow(t)) {
        created = t;
        break;
      }
    }
    node->m_created = created;
    node->m_modified = r.modified;
    node->m_accessed = r.accessed;
  }
  Offer(node);
}

void APFSContainerReader::OnDirectoryRecord(const apfs::DirectoryRecord& r, std::int64_t position) {
  if (!IsAcceptedName(r.rawName.data(), r.rawName.size())) return;
  const std::string name = DecodeName(r.rawName.data(), r.rawName.size());
  if (name.empty() || Plain(name).empty()) return;
  const bool folder = r.flags == apfs::kDrecFolder;
  const std::uint64_t key = Key(r.fileId);
  const std::uint64_t parent = (static_cast<std::uint64_t>(m_index) << 32) + (r.parentOid & 0xFFFFFFFFull);
  NodeMap& map = folder ? m_folders : m_files;
  APFSFileNode* node = NodeForNamedRecord(map, folder, key, parent, name, r.dateAdded, position);

  if (folder && !node->HandedOver() && node->m_parentNode == nullptr) AttachToNearestFolder(node, parent, position);
  if (m_index != 0 && r.fileId == 2) {
    node->SetParentNodeID(2);
    if (!m_name.empty()) {
      const std::string stored = m_name + '\0';
      SetName(node, stored.data(), stored.size());
    }
  } else if (node->m_name.empty()) {
    node->SetKind(folder);
    SetName(node, name.data(), name.size());
    node->m_created = r.dateAdded;
    node->m_modified = r.dateAdded;
  }
  Offer(node);
}

void APFSContainerReader::OnExtent(const apfs::ExtentRecord& r, std::int64_t position) {
  if (r.length == 0) return;
  // Extents outside the container would copy out other data.
  if (r.physical != 0 && (m_blockCount == 0 ? !BlockInRange(r.physical) : r.physical >= m_blockCount)) return;
  APFSFileNode* node = NodeForKeyedRecord(Key(r.ownerOid), position);
  const std::uint64_t sectorsPerBlock = m_blockSize / m_sectorSize;
  if (sectorsPerBlock == 0 || r.physical > kMaxSector / sectorsPerBlock) return;
  const long long start = r.physical == 0 ? -1 : static_cast<long long>(r.physical * sectorsPerBlock);
  std::uint64_t count = r.length / m_sectorSize + (r.length % m_sectorSize != 0 ? 1 : 0);
  if (m_totalSectors != 0 && count > m_totalSectors) count = m_totalSectors;
  AddExtent(node, start, static_cast<long long>(count), m_sectorSize, r.logical);
  Offer(node);
}

APFSFileNode* APFSContainerReader::NodeForKeyedRecord(std::uint64_t key, std::int64_t position) {
  const Candidates c = FindCandidates(m_files, key, static_cast<std::uint64_t>(-1), nullptr, 0, position);
  APFSFileNode* node = c.exact;
  if (node == nullptr && c.nearest != nullptr) {
    node = c.nearest;
    node->m_position = position;
  }
  if (node == nullptr) {
    node = NewNode(m_files, false, key, c.last != nullptr, static_cast<std::uint64_t>(-1), position);
    // The constructor's parent rule does not apply to a placeholder.
    node->CFileNode::SetParentNodeID(-1);
    if (DeletedRule()) node->MarkDeleted();
    if (c.last != nullptr && c.last->GetDataRunList() != nullptr) {
      node->SetDataRunList(c.last->GetDataRunList()->Clone());
    }
  }
  return node;
}

// A compressed file keeps its content in two attributes: the decmpfs header
// (with small data inline) and the resource fork with the chunks.
void APFSContainerReader::OnXattr(const apfs::XattrRecord& r, std::int64_t position) {
  const bool decmpfs = r.name == "com.apple.decmpfs";
  if (!decmpfs && r.name != "com.apple.ResourceFork") return;
  if (decmpfs && !r.embedded) return;
  APFSFileNode* node = NodeForKeyedRecord(Key(r.ownerOid), position);
  node->m_reader = this;
  if (decmpfs) {
    node->m_decmpfs = r.data;
    node->SetCompressed(1);
    const ByteView header(reinterpret_cast<const std::uint8_t*>(r.data.data()), r.data.size());
    if (header.Has(0, 16)) node->SetSizeIfUnset(header.U64Le(8));
  } else if (r.embedded) {
    node->m_resourceInline = r.data;
    node->m_resourceSize = r.data.size();
  } else {
    node->m_resourceKey = Key(r.streamOid);
    node->m_resourceSize = r.streamSize;
  }
  Offer(node);
}

std::vector<DataRun> APFSContainerReader::StreamRuns(std::uint64_t key) const {
  std::vector<DataRun> runs;
  const auto [first, end] = m_files.equal_range(key);
  for (auto it = first; it != end && runs.empty(); ++it) {
    IDataRunList* list = it->second->GetDataRunList();
    if (list == nullptr) continue;
    IDataRunList* copy = list->Clone();  // the node's list keeps a shared cursor
    if (copy == nullptr) continue;
    for (const DataRun* run = copy->GetFirst(); run != nullptr; run = copy->GetNext()) runs.push_back(*run);
    copy->Release();
  }
  return runs;
}

// ---- extents ----

bool APFSContainerReader::AddExtent(APFSFileNode* node, long long startSector, long long sectorCount,
                                    std::uint32_t sectorSize, std::uint64_t logical) {
  auto total = [&]() {
    std::uint64_t sectors = 0;
    for (const auto& [at, run] : node->m_extents) sectors += static_cast<std::uint64_t>(run.length);
    return sectors * sectorSize;
  };
  auto sizeRule = [&]() {
    const std::uint64_t t = total();
    if (node->m_size != 0 && ((node->m_size + 4095) & ~4095ull) < t) node->m_size = t;
    return node->m_size != 0 && t >= node->m_size;
  };
  if (node->m_size != 0 && sizeRule()) return true;
  if (logical == 0 && !node->m_extents.empty()) node->m_extents.clear();
  auto it = node->m_extents.find(logical);
  if (it == node->m_extents.end()) {
    node->m_extents.emplace(logical, DataRun{startSector, sectorCount});
  } else if (it->second.start == startSector && it->second.length < sectorCount) {
    it->second.length = sectorCount;
  } else {
    return sizeRule();
  }
  // Rebuild the run list; holes between extents become sparse runs.
  auto* list = new CDataRunList();
  std::uint64_t expected = 0;
  for (const auto& [at, run] : node->m_extents) {
    if (at > expected) {
      std::uint64_t holeSectors = (at - expected) / sectorSize + ((at - expected) % sectorSize != 0 ? 1 : 0);
      if (holeSectors > kMaxSector) holeSectors = kMaxSector;
      const DataRun hole{-1, static_cast<long long>(holeSectors)};
      list->AddDataRun(&hole);
    }
    list->AddDataRun(&run);
    expected = at + static_cast<std::uint64_t>(run.length) * sectorSize;
  }
  node->SetDataRunList(list);
  return sizeRule();
}

// ---- flush ----

void APFSContainerReader::FlushPending(std::int64_t position) {
  const bool final = position == kFinalFlush;
  const std::vector<APFSFileNode*> pending(m_pending.begin(), m_pending.end());
  for (APFSFileNode* node : pending) {
    if (!node->HandedOver() && node->m_parentNode == nullptr && node->GetParentNodeID() != -1) {
      AttachToNearestFolder(node, static_cast<std::uint64_t>(node->GetParentNodeID()), position);
    }
    if (!IsReady(node, final)) continue;
    if (!node->IsFolder() && node->GetDataRunList() == nullptr) {
      const auto [first, end] = m_files.equal_range(node->m_apfsKey);
      for (auto it = first; it != end; ++it) {
        APFSFileNode* other = it->second.get();
        if (other != node && other->m_created == node->m_created && other->GetDataRunList() != nullptr) {
          node->SetDataRunList(other->GetDataRunList()->Clone());
          break;
        }
      }
    }
    m_pending.erase(node);
    m_delegate->OnFileNodeFound(node);
  }
}
