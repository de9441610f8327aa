#pragma once
// The scan-result file: a frame container with three frames, the scan kind,
// the scanned device's row and the found trees. Writing streams the live
// nodes; reading parses every frame into plain records first, each count
// and length bounded by the bytes left in its frame.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bridge/QVUIDeviceData.h"
#include "core/archive/GuidSign.h"
#include "core/model/DataRun.h"
#include "core/model/SearchedPartitionInfo.h"

class IFileNode;
class IRSData;

inline constexpr std::uint32_t kScanKindLength = 8;
inline constexpr std::uint32_t kMaxDeviceNameLength = 4096;
inline constexpr std::uint32_t kMaxPartitionsPerTree = 512;
inline constexpr std::uint32_t kMaxVolumeNameLength = 511;
inline constexpr std::uint32_t kMaxNodeNameLength = 65535;
inline constexpr std::uint32_t kTreeMarker = 1;
inline constexpr std::uint32_t kNodeMarker = 0;
inline constexpr std::uint32_t kTreeEndMarker = 0xFFFFFFFF;

extern const tagGUIDSIGN _frFileSystemSearchControllerList;
extern const tagGUIDSIGN _frDiskDevice;
extern const tagGUIDSIGN _frFileSystemNode;
// Optional: the path of the image file that was scanned (u32 length, bytes),
// so that a raw image is found again whatever its number in the list.
extern const tagGUIDSIGN _frImageSource;

// One file-node record as stored.
struct SavedNodeRecord {
  std::int64_t id = -1;
  std::int64_t parentId = -1;
  std::uint64_t size = 0;
  std::uint16_t attribute = 0;
  std::int64_t creationTime = 0;
  std::int64_t modificationTime = 0;
  std::int64_t accessTime = 0;
  std::int32_t directory = 0;
  std::int32_t deleted = 0;
  std::int32_t resident = 0;
  std::vector<DataRun> runs;  // empty: the node has no run list
  std::string name;
  std::int32_t shown = 1;
  std::uint16_t partition = 0xFFFF;
  std::int64_t metadataSector = -1;
  std::int32_t compressed = 0;
};

struct SavedPartition {
  std::uint32_t type = 4;
  std::array<std::uint8_t, CSearchedPartitionInfo::kStoredSize> block{};
};

struct SavedTree {
  SavedNodeRecord root;
  std::uint32_t searcherType = 0;
  std::string volumeName;
  std::vector<SavedPartition> partitions;
  std::vector<SavedNodeRecord> nodes;
};

struct SavedDevice {
  _DiskVolumeData row;
  std::vector<std::uint8_t> dmgInfo;  // 2088 bytes when present
  std::vector<std::uint8_t> qdiInfo;  // 1192 bytes when present
};

struct SavedScan {
  std::int32_t controllerType = 3;
  std::int32_t deep = 0;
  SavedDevice device;
  std::vector<SavedTree> trees;
  // The tree frame is missing or ended early: `trees` holds what came
  // before the damage.
  bool treesDamaged = false;
  std::string damage;
  std::string imageSource;  // empty when the file has none
};

// One tree to write: its root and the partitions of its recovery object.
struct TreeToSave {
  IFileNode* root = nullptr;
  std::vector<CSearchedPartitionInfo*> partitions;
};

namespace scan_result_file {

// Load codes decided by the file.
enum LoadCode : int {
  kLoadOk = 0,
  kLoadNoContainer = 1,
  kLoadCannotOpen = 2,
  kLoadBadHeader = 3,
  kLoadNoScanKind = 4,
  kLoadBadDevice = 5,
  kLoadBadScanKind = 8,
};

// Writes the three frames to an open container in write mode. `step` is
// called after each record written. Throws CRSException on a failed write;
// false when a node's fields do not fit the format.
void WriteScanKind(IRSData& file, std::int32_t controllerType, std::int32_t deep);
void WriteDevice(IRSData& file, const SavedDevice& device);
void WriteTrees(IRSData& file, const std::vector<TreeToSave>& trees, const std::function<void()>& step);
void WriteImageSource(IRSData& file, const std::string& path);

// The record of one node as it would be stored.
SavedNodeRecord RecordOfNode(IFileNode* node);
void AppendNodeRecord(std::vector<std::uint8_t>& out, const SavedNodeRecord& record);

// Reads and checks the whole file; a load code, with `error` set on failure.
int ReadScanResult(const std::string& path, SavedScan& out, std::string& error);

// The parsers of the frames' bytes; false (with `error`) when the bytes are
// damaged. ParseTrees keeps the trees before the damage.
bool ParseScanKind(const std::vector<std::uint8_t>& bytes, SavedScan& out, std::string& error);
bool ParseDevice(const std::vector<std::uint8_t>& bytes, SavedDevice& out, std::string& error);
bool ParseTrees(const std::vector<std::uint8_t>& bytes, std::vector<SavedTree>& out, std::string& error);

}  // namespace scan_result_file
