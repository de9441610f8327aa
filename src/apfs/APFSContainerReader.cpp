#include "apfs/APFSContainerReader.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <set>

#include "apfs/ApfsBTreeNode.h"
#include "apfs/ApfsLayout.h"
#include "apfs/ApfsObject.h"

namespace {

constexpr std::size_t kReaderBuffer = 0x20000;
constexpr int kMaxSuperblockCopies = 32;
// Checkpoint-area blocks read for a container whose block 0 is lost.
constexpr std::uint32_t kMaxCheckpointBlocks = 4096;
// Tree and object-map blocks one reader walks at most.
constexpr std::uint64_t kMaxWalkedBlocks = 4u << 20;

std::uint64_t MulClamp(std::uint64_t a, std::uint64_t b) {
  std::uint64_t r = 0;
  return __builtin_mul_overflow(a, b, &r) ? UINT64_MAX : r;
}

// A superblock copy of the same container.
bool IsCopyOf(const ByteView& block, const apfs::ContainerSuperblock& first) {
  if (!apfs::HasContainerMagic(block) || apfs::DecodeObjectHeader(block).type != apfs::kTypeContainerSuperblock) {
    return false;
  }
  return apfs::DecodeContainerSuperblock(block).uuid == first.uuid;
}

bool IsUsableSuperblock(const ByteView& block) {
  const apfs::ObjectHeader h = apfs::DecodeObjectHeader(block);
  return apfs::IsObjectHeader(block) && h.type == apfs::kTypeContainerSuperblock && apfs::HasContainerMagic(block) &&
         apfs::DecodeContainerSuperblock(block).blockSize == apfs::kBlockSize && apfs::ChecksumOk(block);
}

}  // namespace

APFSContainerReader::APFSContainerReader(APFSDelegate* delegate, int index, std::uint64_t startSector)
    : m_delegate(delegate), m_index(index), m_buffer(kReaderBuffer, 0), m_startSector(startSector) {}

APFSContainerReader::~APFSContainerReader() {
  m_pending.clear();
  m_visited.clear();
  m_files.clear();
  m_folders.clear();
}

std::vector<APFSFileNode*> APFSContainerReader::Nodes() const {
  std::vector<APFSFileNode*> out;
  for (const auto& [key, node] : m_files) out.push_back(node.get());
  for (const auto& [key, node] : m_folders) out.push_back(node.get());
  return out;
}

bool APFSContainerReader::ReadBlock(std::uint64_t block) {
  return m_delegate != nullptr && m_delegate->ReadBlocks(this, block, m_blockSize, m_buffer.data()) != 0;
}

bool APFSContainerReader::BlockInRange(std::uint64_t block) const {
  if (block == 0) return false;
  if (m_blockCount != 0) return block < m_blockCount;
  return MulClamp(block, m_blockSize) / m_sectorSize < m_totalSectors;
}

// A readable block in range that passes the header test and its checksum.
bool APFSContainerReader::ReadObject(std::uint64_t block) {
  if (!BlockInRange(block) || !ReadBlock(block)) return false;
  const ByteView view = Block();
  return apfs::IsObjectHeader(view) && apfs::ChecksumOk(view);
}

void APFSContainerReader::TakeVolumeName(const ByteView& volumeSuperblock) {
  if (!m_name.empty()) return;
  m_name = apfs::VolumeName(volumeSuperblock) + "_" + std::to_string(m_index);
}

std::vector<std::uint8_t> APFSContainerReader::OpeningSuperblock(const ByteView* found, int& failure) {
  const bool read = ReadBlock(0);
  if (read && IsUsableSuperblock(Block()))
    return std::vector<std::uint8_t>(m_buffer.begin(), m_buffer.begin() + apfs::kBlockSize);
  failure = read ? -2 : -1;
  if (found == nullptr || !IsUsableSuperblock(*found)) return {};
  const apfs::ContainerSuperblock hint = apfs::DecodeContainerSuperblock(*found);
  std::vector<std::uint8_t> best(found->Data(), found->Data() + apfs::kBlockSize);
  std::uint64_t bestXid = hint.xid;
  m_blockCount = hint.blockCount;  // lets ReadObject accept the area's blocks
  for (const std::uint64_t block : apfs::CheckpointAreaBlocks(hint, kMaxCheckpointBlocks)) {
    if (!m_delegate->ContinueCheck()) break;
    if (!ReadObject(block) || !IsUsableSuperblock(Block()) || !IsCopyOf(Block(), hint)) continue;
    const std::uint64_t xid = apfs::DecodeContainerSuperblock(Block()).xid;
    if (xid > bestXid) {
      bestXid = xid;
      best.assign(m_buffer.begin(), m_buffer.begin() + apfs::kBlockSize);
    }
  }
  m_blockCount = 0;
  std::printf(
      "APFS: block 0 of the container at sector %llu is lost; opened from the checkpoint superblock of "
      "transaction %llu\n",
      static_cast<unsigned long long>(m_startSector), static_cast<unsigned long long>(bestXid));
  return best;
}

int APFSContainerReader::ParseContainer(const ByteView* metCopy) {
  int failure = 0;
  const std::vector<std::uint8_t> head = OpeningSuperblock(metCopy, failure);
  if (head.empty()) return failure;
  const ByteView first(head.data(), head.size());
  const apfs::ContainerSuperblock sb = apfs::DecodeContainerSuperblock(first);
  m_blockSize = sb.blockSize;
  m_blockCount = sb.blockCount;
  m_uuid = sb.uuid;
  m_startBlock = MulClamp(m_startSector, m_sectorSize) / m_blockSize;
  m_totalSectors = MulClamp(m_blockSize, m_blockCount) / m_sectorSize;

  // Object maps of the superblock and of its checkpoint copies: the chain of
  // copies, then the checkpoint-descriptor area; the newest walked first.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> found;  // (xid, omap)
  std::set<std::uint64_t> seen{0};
  apfs::ContainerSuperblock current = sb;
  for (int copy = 0; copy < kMaxSuperblockCopies; ++copy) {
    found.emplace_back(current.xid, current.omapOid);
    const std::uint64_t next = current.nextCopy;
    if (!seen.insert(next).second) break;
    // A copy that cannot be read or fails its checks ends the chain.
    if (!ReadObject(next) || !IsCopyOf(Block(), sb)) break;
    current = apfs::DecodeContainerSuperblock(Block());
  }
  for (const std::uint64_t block : apfs::CheckpointAreaBlocks(sb, kMaxSuperblockCopies)) {
    if (seen.count(block) != 0 || !ReadObject(block) || !IsCopyOf(Block(), sb)) continue;
    const apfs::ContainerSuperblock copy = apfs::DecodeContainerSuperblock(Block());
    found.emplace_back(copy.xid, copy.omapOid);
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::uint64_t> omaps;
  for (const auto& [xid, omap] : found) {
    if (std::find(omaps.begin(), omaps.end(), omap) == omaps.end()) omaps.push_back(omap);
  }

  for (const std::uint64_t omap : omaps) {
    if (!m_delegate->ContinueCheck()) break;
    if (!ReadObject(omap)) continue;
    const std::uint64_t root = Block().U64Le(apfs::kOmapTreeOid);
    if (!ReadObject(root) || apfs::DecodeObjectHeader(Block()).subtype != apfs::kSubtypeObjectMap) continue;
    const std::vector<std::uint64_t> volumes = apfs::ListOmapRootValues(Block());
    for (const std::uint64_t volume : volumes) {
      if (!m_delegate->ContinueCheck()) break;
      if (!ReadObject(volume) || !apfs::HasVolumeMagic(Block())) continue;
      std::vector<std::uint8_t> copy(m_buffer.begin(), m_buffer.begin() + m_blockSize);
      WalkVolume(ByteView(copy.data(), copy.size()));
    }
    m_parsed = true;
  }
  return 0;
}

int APFSContainerReader::ParseVolume(std::uint64_t block) {
  if (!ReadBlock(block)) return -1;
  const ByteView view = Block();
  if (!apfs::IsObjectHeader(view) || !apfs::ChecksumOk(view) || !apfs::HasVolumeMagic(view)) return -2;
  std::vector<std::uint8_t> copy(m_buffer.begin(), m_buffer.begin() + m_blockSize);
  const ByteView volume(copy.data(), copy.size());
  // The volume's object map is a physical object: its id is its block number,
  // so a lone volume is walked only when the device starts at its container.
  const std::uint64_t omap = apfs::VolumeOmapOid(volume);
  if (!ReadObject(omap) || apfs::DecodeObjectHeader(Block()).oid != omap) {
    TakeVolumeName(volume);
    return -2;
  }
  WalkVolume(volume);
  return 0;
}

void APFSContainerReader::WalkVolume(const ByteView& volumeSuperblock) {
  TakeVolumeName(volumeSuperblock);
  const std::uint64_t omap = apfs::VolumeOmapOid(volumeSuperblock);
  if (!ReadObject(omap) || apfs::DecodeObjectHeader(Block()).type != apfs::kTypeObjectMap) return;
  WalkObjectMap(Block().U64Le(apfs::kOmapTreeOid));
}

void APFSContainerReader::WalkObjectMap(std::uint64_t root) {
  std::deque<std::uint64_t> queue{root};
  while (!queue.empty()) {
    if (!m_delegate->ContinueCheck()) return;
    const std::uint64_t t = queue.front();
    queue.pop_front();
    if (!m_visited.insert(t).second) continue;
    if (++m_walked > kMaxWalkedBlocks) {
      std::printf("APFS reader %d: walk limit of %llu blocks reached\n", m_index,
                  static_cast<unsigned long long>(kMaxWalkedBlocks));
      return;
    }
    if (!ReadObject(t)) continue;
    const ByteView node = Block();
    const std::uint16_t subtype = apfs::DecodeObjectHeader(node).subtype;
    if (subtype == apfs::kSubtypeFsTree) {
      std::vector<std::uint8_t> copy(m_buffer.begin(), m_buffer.begin() + m_blockSize);
      ParseFSTreeNode(static_cast<std::int64_t>(t), ByteView(copy.data(), copy.size()));
    } else if (subtype == apfs::kSubtypeObjectMap) {
      const apfs::OmapChildren children = apfs::ListOmapNode(node);
      if (children.unknownFlags) std::printf("!!!!Please notify to Watch this%d.!!!!\n", 225);
      for (const std::uint64_t child : children.blocks) {
        if (BlockInRange(child) && m_visited.count(child) == 0) queue.push_back(child);
      }
    }
  }
}

void APFSContainerReader::AnalyzeStrayNode(std::uint64_t sector, std::uint64_t deviceBlock, const ByteView& data) {
  // Only nodes inside this container's range.
  if (!Covers(sector) || deviceBlock < m_startBlock) return;
  const apfs::ObjectHeader h = apfs::DecodeObjectHeader(data);
  const std::uint64_t relative = deviceBlock - m_startBlock;
  if (h.flags == apfs::kObjPhysical && h.oid != relative) return;
  if (h.oid >= m_blockCount || h.oid == 0) return;
  if ((h.type != apfs::kTypeBTreeNode && h.type != apfs::kTypeBTreeRoot) || h.subtype != apfs::kSubtypeFsTree) return;
  if (m_visited.count(relative) != 0) return;
  if (!apfs::ChecksumOk(data)) return;
  ParseFSTreeNode(static_cast<std::int64_t>(relative), data);
}
