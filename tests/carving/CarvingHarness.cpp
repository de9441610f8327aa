#include "carving/CarvingHarness.h"

#include <algorithm>
#include <memory>

#include "carving/RawSearchController.h"
#include "core/device/StorageDevice.h"

namespace carvingtest {

RecordingBuilder::~RecordingBuilder() {
  for (IFileNode* n : m_nodes) n->Release();
}

int RecordingBuilder::AddNode(IFileNode* node, _tagSearcherType type) {
  auto* file = dynamic_cast<CFileNode*>(node);
  long long start = -1;
  if (file != nullptr && file->GetDataRunList() != nullptr) {
    if (const DataRun* r = file->GetDataRunList()->GetFirst()) start = r->start;
  }
  m_found.push_back({type, node->GetCurrentNodeID(), node->GetParentNodeID(), node->GetFileName(), node->GetFileSize(),
                     start, node->IsDirectory() != 0});
  m_nodes.push_back(node);
  return 1;
}

int RecordingBuilder::AddSearcherInfo(_tagSearcherType type, long long rootId) {
  m_roots.emplace_back(type, rootId);
  return 1;
}

std::vector<std::uint8_t> DamagedCopy(std::vector<std::uint8_t> copy, int round, int rounds, std::mt19937& rng,
                                      int flips, std::size_t from, std::size_t window) {
  if (round % 2 == 0) {
    copy.resize(copy.size() * static_cast<std::size_t>(round + 1) / static_cast<std::size_t>(rounds + 1) + 8);
  } else {
    for (int k = 0; k < flips; ++k)
      copy[from + rng() % std::min<std::size_t>(copy.size() - from, window)] = static_cast<std::uint8_t>(rng());
  }
  return copy;
}

std::vector<Found> Files(const std::vector<Found>& all) {
  std::vector<Found> out;
  std::copy_if(all.begin(), all.end(), std::back_inserter(out), [](const Found& f) { return !f.folder; });
  return out;
}

std::vector<Found> Carve(IStorageDevice* device, long long blockSectors, TBitmap* bitmap, Handover handover) {
  RecordingBuilder builder;
  std::unique_ptr<ICompleteFileSystemSearchController> searcher(CreateRAWSearcher());
  searcher->SetDevice(device);
  searcher->SetBlockSize(static_cast<int>(blockSectors));
  searcher->SetDirecotryTreeBuilder(&builder);
  searcher->SetBitmap(bitmap);
  if (searcher->PreparetoSearch() == 0) return {};
  const long long total = device->GetTotalSectors();
  const auto count = [&](long long start) { return std::min(blockSectors, total - start); };
  for (long long start = 0; start < total; start += blockSectors) {
    if (handover == Handover::kPrepareFirst) searcher->PrepareBlock(start, count(start));
    if (handover == Handover::kPrepareAnother && start + blockSectors < total) {
      searcher->PrepareBlock(start + blockSectors, count(start + blockSectors));
    }
    searcher->AnalyzeBlock(start, count(start));
  }
  searcher->EndSearch(1);
  return builder.m_found;
}

}  // namespace carvingtest
