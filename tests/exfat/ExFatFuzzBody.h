#pragma once
// One fuzz input run through the exFAT decoders, the quick scan and the
// complete scan. Shared by the libFuzzer harness and the regression test.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/device/StorageDevice.h"
#include "core/model/Contracts.h"
#include "exfat/ExFatCompleteSearch.h"
#include "exfat/ExFatDirAnalyze.h"
#include "exfat/ExFatFileNode.h"
#include "exfat/ExFatPartition.h"
#include "exfat/ExFatPreAnalyze.h"
#include "exfat/ExFatQuickSearch.h"
#include "support/MemoryDevice.h"
#include "support/FakeSinks.h"

namespace exfatfuzz {

inline constexpr std::size_t kSectorBytes = 512;
inline constexpr std::size_t kDeviceBytes = 1 << 20;

// Takes every node, looks at it and frees it.
class DiscardingBuilder : public testsupport::NodeSink {
 public:
  int AddNode(IFileNode* node, _tagSearcherType) override {
    if (node == nullptr) return 0;
    m_sum += std::strlen(node->GetFileName()) + static_cast<std::size_t>(node->GetFileSize() & 0xFF);
    if (auto* n = dynamic_cast<CFileNode*>(node); n != nullptr && n->GetDataRunList() != nullptr) {
      IDataRunList* runs = n->GetDataRunList();
      for (const DataRun* r = runs->GetFirst(); r != nullptr; r = runs->GetNext())
        m_sum += static_cast<std::size_t>(r->length);
    }
    IFileNode* copy = node->Clone();
    copy->Release();
    node->Release();
    return 1;
  }
  std::size_t m_sum = 0;
};

inline void FreeRecords(CSearchedPartitionInfo** records, int n, int capacity) {
  for (int i = 0; i < std::min(n, capacity); ++i) delete records[i];
}

inline void Run(const std::uint8_t* data, std::size_t size) {
  if (size > kDeviceBytes) return;
  const ByteView input(data, size);

  // The folder decoder over the bytes as one cluster, then the sector decoder.
  CEFDTAnalyze quick;
  quick.PrepareAnayze(9, 12, kDeviceBytes / kSectorBytes, ExFatHeapLimits{300, 4096});
  quick.Analyze(input, 0);
  quick.KeepCutHead();
  CExFatPartition partition;
  partition.m_clusterLimit = 300;
  partition.m_bytesPerCluster = 4096;
  partition.m_sectorsPerCluster = 8;
  for (const _tagFileBaseInfo& info : quick.Completed()) {
    CExFatFileNode* node = partition.BuildFile(info);
    node->Release();
  }
  CFDTPreAnaylze pre;
  pre.PrepareAnayze(9, 25, kDeviceBytes / kSectorBytes);
  std::vector<std::uint8_t> padded(input.Data(), input.Data() + size);
  padded.resize(size + 3 * kSectorBytes, 0);
  for (std::size_t off = 0; off < size; off += kSectorBytes) {
    if (pre.Analyze(static_cast<std::int64_t>(off / kSectorBytes), ByteView(padded.data() + off, 3 * kSectorBytes))) {
      const std::unique_ptr<CFileSet> set = pre.GetFileSet();
    }
  }

  // The bytes as the start of a 1 MiB volume.
  std::vector<std::uint8_t> volume(data, data + size);
  volume.resize(kDeviceBytes, 0);
  testsupport::MemoryDevice device(volume, static_cast<int>(kSectorBytes), kDeviceVolume);
  testsupport::QuietProgress progress;
  {
    DiscardingBuilder builder;
    CExFatQuickSearch search;
    search.SetDirecotryTreeBuilder(&builder);
    // A fuzz input may fail to scan; only a crash or a leak counts.
    static_cast<void>(search.QuickSearchFiles(&device, &progress));
    CSearchedPartitionInfo* records[1] = {};
    FreeRecords(records, search.GetSearchedPartitionInfo(records, 1), 1);
  }
  {
    DiscardingBuilder builder;
    CExFatCompleteSearch search;
    search.SetDevice(&device);
    search.SetBlockSize(512);
    search.SetDirecotryTreeBuilder(&builder);
    search.PreparetoSearch();
    for (long long s = 0; s < device.GetTotalSectors(); s += 512) {
      search.AnalyzeBlock(s, std::min<long long>(512, device.GetTotalSectors() - s));
    }
    search.EndSearch(1);
    CSearchedPartitionInfo* records[4] = {};
    FreeRecords(records, search.GetSearchedPartitionInfo(records, 4), 4);
  }
}

}  // namespace exfatfuzz
