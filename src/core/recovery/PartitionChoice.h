#pragma once
// Which searched partition describes a node's clusters.

#include <vector>

class CFileNode;
class CSearchedPartitionInfo;

// The first rule that answers: a single partition; the partition whose index
// is the node's; the first whose range holds the node's metadata sector and
// all its runs and whose cluster size fits the file; else the first one.
// Null without a node or partitions.
[[nodiscard]] CSearchedPartitionInfo* GetNodePartition(const std::vector<CSearchedPartitionInfo*>& partitions,
                                                       CFileNode* node);
