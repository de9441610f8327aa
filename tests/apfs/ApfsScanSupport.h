#pragma once
// Runs the APFS deep scan over a device the way the complete controller does
// and collects what it hands to the tree builder.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apfs/APFSDeepScan.h"
#include "core/device/StorageDevice.h"
#include "core/model/Contracts.h"
#include "support/Files.h"
#include "support/TempDir.h"
#include "support/FakeSinks.h"

namespace apfstest {

class CollectingBuilder : public testsupport::NodeSink {
 public:
  int AddNode(IFileNode* node, _tagSearcherType type) override {
    nodes.push_back(node);
    types.push_back(type);
    return 1;
  }
  int AddSearcherInfo(_tagSearcherType type, long long rootId) override {
    infos.emplace_back(type, rootId);
    return 1;
  }
  void FlashBuild(_tagSearcherType) override { ++flashBuilds; }
  void SetPartitonDevice(CSearchedPartitionInfo*, IStorageDevice* device) override { partitionDevice = device; }

  // "dir/name" paths resolved through parent ids among the nodes.
  std::map<std::string, IFileNode*> ByPath() const;

  std::vector<IFileNode*> nodes;
  std::vector<_tagSearcherType> types;
  std::vector<std::pair<_tagSearcherType, long long>> infos;
  int flashBuilds = 0;
  IStorageDevice* partitionDevice = nullptr;
};

struct SweepOptions {
  bool end = true;
  IProgress* progress = nullptr;
};

std::unique_ptr<APFSDeepScan> Sweep(IStorageDevice* device, CollectingBuilder& builder, SweepOptions options = {});

// The node's content as the recovery writer copies it out; false on failure.
bool RecoverNode(IFileSystemSearchController* searcher, IStorageDevice* device, IFileNode* node,
                 const testsupport::TempDir& tmp, const std::string& name, std::string& content);

using testsupport::ReadFileText;
// `icat -B apsb image inode` output, or "" when it cannot be run.
std::string Icat(const std::string& image, int apsbBlock, int inode, const testsupport::TempDir& tmp);

}  // namespace apfstest
