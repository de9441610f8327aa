#pragma once
// One APFS container (or one lone volume) found by the deep scan: walks what
// its superblocks and object maps still describe, then decodes stray
// file-system tree nodes of the sweep, and owns every node it makes.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "apfs/APFSDelegate.h"
#include "apfs/APFSFileNode.h"
#include "core/util/ByteView.h"

namespace apfs {
struct InodeRecord;
struct DirectoryRecord;
struct ExtentRecord;
struct XattrRecord;
}  // namespace apfs

class APFSContainerReader {
 public:
  static constexpr std::int64_t kFinalFlush = -1;

  APFSContainerReader(APFSDelegate* delegate, int index, std::uint64_t startSector);
  ~APFSContainerReader();
  APFSContainerReader(const APFSContainerReader&) = delete;
  APFSContainerReader& operator=(const APFSContainerReader&) = delete;

  void SetSectorSize(std::uint32_t n) {
    if (n >= 512) m_sectorSize = n;
  }
  // 0 done, -1 block 0 unreadable, -2 block 0 is not a usable container
  // superblock. When block 0 is lost and the scan met a checkpoint copy of
  // the superblock (`found`), the newest valid copy in the checkpoint area
  // that copy describes opens the container instead.
  int ParseContainer(const ByteView* found = nullptr);
  // Walk of a lone volume whose superblock is at device block `block`.
  int ParseVolume(std::uint64_t block);
  void SetParsed() { m_parsed = true; }
  // Lone-volume reader over the whole device.
  void SetTotalSectors(std::uint64_t n) { m_totalSectors = n; }

  // Decodes the sweep block when it is a file-system tree node of this container.
  void AnalyzeStrayNode(std::uint64_t sector, std::uint64_t deviceBlock, const ByteView& data);
  // Decodes one file-system tree node seen at container-relative block `position`.
  void ParseFSTreeNode(std::int64_t position, const ByteView& data);
  // Hands over pending nodes that became ready; kFinalFlush at the end.
  void FlushPending(std::int64_t position);

  int Index() const { return m_index; }
  std::uint64_t StartSector() const { return m_startSector; }
  std::uint64_t StartBlock() const { return m_startBlock; }
  std::uint64_t BlockCount() const { return m_blockCount; }
  std::uint64_t TotalSectors() const { return m_totalSectors; }
  const std::string& Name() const { return m_name; }
  const std::array<std::uint8_t, 16>& Uuid() const { return m_uuid; }
  bool Covers(std::uint64_t sector) const { return sector - m_startSector < m_totalSectors; }

  std::uint32_t SectorSize() const { return m_sectorSize; }
  // The runs (sectors of the reader) of the stream whose extents are kept
  // under `key`; empty when none were found.
  std::vector<DataRun> StreamRuns(std::uint64_t key) const;

  // Every node made, files then folders (tests and enumeration).
  std::vector<APFSFileNode*> Nodes() const;

  // Node assembly helpers, public for their tests.
  static std::string DecodeName(const char* bytes, std::size_t length);
  static bool IsAcceptedName(const char* bytes, std::size_t length);
  static void SetName(APFSFileNode* node, const char* bytes, std::size_t length);
  void AttachChild(APFSFileNode* folder, APFSFileNode* child);
  // True when the node's extents cover its size.
  bool AddExtent(APFSFileNode* node, long long startSector, long long sectorCount, std::uint32_t sectorSize,
                 std::uint64_t logical);
  bool IsReady(APFSFileNode* node, bool final);

 private:
  // The superblock that opens the container: block 0 when it is usable, else
  // the newest valid copy of the checkpoint area. Empty when there is none.
  std::vector<std::uint8_t> OpeningSuperblock(const ByteView* found, int& failure);
  using NodeMap = std::multimap<std::uint64_t, std::unique_ptr<APFSFileNode>>;
  struct Candidates {
    APFSFileNode* exact = nullptr;
    APFSFileNode* nearest = nullptr;
    APFSFileNode* last = nullptr;
  };

  [[nodiscard]] bool ReadBlock(std::uint64_t block);
  ByteView Block() const { return ByteView(m_buffer.data(), 4096); }
  [[nodiscard]] bool BlockInRange(std::uint64_t block) const;
  [[nodiscard]] bool ReadObject(std::uint64_t block);
  void WalkVolume(const ByteView& volumeSuperblock);
  void WalkObjectMap(std::uint64_t root);
  void TakeVolumeName(const ByteView& volumeSuperblock);

  Candidates FindCandidates(NodeMap& map, std::uint64_t key, std::uint64_t parent, const std::string* name,
                            std::int64_t time, std::int64_t position);
  APFSFileNode* NewNode(NodeMap& map, bool folder, std::uint64_t key, bool candidateExisted, std::uint64_t parent,
                        std::int64_t position);
  APFSFileNode* NodeForNamedRecord(NodeMap& map, bool folder, std::uint64_t key, std::uint64_t parent,
                                   const std::string& name, std::int64_t time, std::int64_t position);
  void AttachToNearestFolder(APFSFileNode* node, std::uint64_t parent, std::int64_t position);
  void OnInode(const apfs::InodeRecord& r, std::int64_t position);
  void OnDirectoryRecord(const apfs::DirectoryRecord& r, std::int64_t position);
  void OnExtent(const apfs::ExtentRecord& r, std::int64_t position);
  void OnXattr(const apfs::XattrRecord& r, std::int64_t position);
  // The file node a record keyed by `key` belongs to, or a placeholder.
  APFSFileNode* NodeForKeyedRecord(std::uint64_t key, std::int64_t position);
  void Offer(APFSFileNode* node);
  bool DeletedRule() const { return m_index != 0 || m_parsed; }
  std::uint64_t Key(std::uint64_t oid) const { return (static_cast<std::uint64_t>(m_index) << 32) | oid; }

  APFSDelegate* m_delegate;
  std::uint32_t m_blockSize = 4096;
  std::uint32_t m_sectorSize = 512;
  int m_index;
  std::vector<std::uint8_t> m_buffer;
  std::uint64_t m_startSector;
  std::uint64_t m_startBlock = 0;
  std::uint64_t m_blockCount = 0;
  std::uint64_t m_totalSectors = 0;
  std::string m_name;
  bool m_parsed = false;
  std::array<std::uint8_t, 16> m_uuid{};
  NodeMap m_files;
  NodeMap m_folders;
  std::set<APFSFileNode*> m_pending;
  std::set<std::uint64_t> m_visited;
  std::uint64_t m_uniqueIds = 0;
  std::uint64_t m_walked = 0;
};
