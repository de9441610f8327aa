#pragma once
// Runs the carving searcher over a device and records what reaches the
// trees.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/model/Contracts.h"
#include "support/FakeSinks.h"

class TBitmap;

namespace carvingtest {

struct Found {
  _tagSearcherType tree;
  long long id;
  long long parent;
  std::string name;
  long long size;
  long long start;  // first sector of the extent (-1 for folders)
  bool folder;
};

// Takes every node and keeps a record of it.
class RecordingBuilder : public testsupport::NodeSink {
 public:
  ~RecordingBuilder() override;
  int AddNode(IFileNode* node, _tagSearcherType type) override;
  int AddSearcherInfo(_tagSearcherType type, long long rootId) override;
  void FlashBuild(_tagSearcherType type) override { m_flushed.push_back(type); }

  std::vector<Found> m_found;
  std::vector<std::pair<_tagSearcherType, long long>> m_roots;
  std::vector<_tagSearcherType> m_flushed;

 private:
  std::vector<IFileNode*> m_nodes;
};

// Files (not folders) found, in the order they reached the trees.
std::vector<Found> Files(const std::vector<Found>& all);

// How the sweep hands each block to the searcher: AnalyzeBlock alone;
// PrepareBlock of the block first, as the crew does while the searchers the
// carving waits for are still at the block; or PrepareBlock of the block
// after it first (a block read in is not the one analysed).
enum class Handover { kAnalyseOnly, kPrepareFirst, kPrepareAnother };

// PreparetoSearch, AnalyzeBlock over the device in blocks of
// `blockSectors`, EndSearch(1).
std::vector<Found> Carve(IStorageDevice* device, long long blockSectors = 1024, TBitmap* bitmap = nullptr,
                         Handover handover = Handover::kAnalyseOnly);

// Round `round` of `rounds` of damage to a copy of a file: even rounds cut
// it to (round + 1) / (rounds + 1) of its length plus 8 bytes, odd rounds
// overwrite `flips` bytes chosen by `rng` among the `window` bytes from
// `from` on.
std::vector<std::uint8_t> DamagedCopy(std::vector<std::uint8_t> copy, int round, int rounds, std::mt19937& rng,
                                      int flips, std::size_t from, std::size_t window = SIZE_MAX);

// The cases of a table whose `flag` is set: those a check applies to.
template <class Case, std::size_t N>
std::vector<Case> CasesWhere(const Case (&cases)[N], bool Case::*flag) {
  std::vector<Case> out;
  for (const Case& c : cases) {
    if (c.*flag) out.push_back(c);
  }
  return out;
}

}  // namespace carvingtest
