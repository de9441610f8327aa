#pragma once
// Reads a volume's master file table through its run list and hands every
// user record, deleted ones included, to the tree builder as a node.

#include "core/model/Contracts.h"
#include "ntfs/FindFileFromLogFile.h"
#include "ntfs/MftGeometry.h"

// Node ids are MFT record numbers. Partitions after the first found by a
// complete scan move theirs above bit 40 (the root folder 5 excepted), so
// that equal record numbers of two volumes stay two nodes in one tree.
inline constexpr int kPartitionIdShift = 40;
long long PartitionNodeId(long long recordNumber, int partitionIndex);

class CMftSweep {
 public:
  // MFT sectors read at once.
  static constexpr int kBatchSectors = 128;

  // `logFile` and `progress` may be null; nodes get `partitionIndex` unless it is negative.
  CMftSweep(IStorageDevice& device, const MftGeometry& geometry, IDirecotryTreeBuilder& builder,
            CFindFileFromLogFile* logFile, IProgress* progress, int partitionIndex);

  // Sweeps every run; false when cancelled. `totalSectors` is the $MFT's size.
  bool Run(long long& totalSectors);
  // One record at MFT position `number`, found at `place`.
  void BuildFileNodeFromRecord(const ByteView& bytes, long long number, const RecordPosition& place);

 private:
  void Report(std::uint64_t total, std::uint64_t done);

  IStorageDevice& m_device;
  MftGeometry m_geometry;
  IDirecotryTreeBuilder& m_builder;
  CFindFileFromLogFile* m_pLogFile;
  IProgress* m_pProgress;
  int m_iPartition;
};
