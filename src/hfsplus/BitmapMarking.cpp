#include "hfsplus/BitmapMarking.h"

#include <algorithm>
#include <limits>

#include "core/bitmap/Bitmap.h"

namespace {

constexpr long long kMax = std::numeric_limits<long long>::max();

// a * b + c without overflow; false when it would overflow.
bool MulAdd(long long a, long long b, long long c, long long& out) {
  if (a < 0 || b < 0 || c < 0) return false;
  if (b != 0 && a > (kMax - c) / b) return false;
  out = a * b + c;
  return true;
}

}  // namespace

void MarkRunsInBitmap(TBitmap& bitmap, const VolumeGeometry& g, const std::vector<DataRun>& runs) {
  if (bitmap.GetBitmapData() == nullptr || g.sectorsPerBlock == 0 || g.startSector < 0) return;
  const long long unit = bitmap.GetUnit();
  if (unit <= 0) return;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    long long blocks = runs[i].length;
    if (i + 1 == runs.size()) --blocks;
    if (runs[i].start < 0 || blocks <= 0) continue;
    long long first = 0;
    long long sectors = 0;
    long long end = 0;
    if (!MulAdd(runs[i].start, g.sectorsPerBlock, g.startSector, first) ||
        !MulAdd(blocks, g.sectorsPerBlock, 0, sectors) || !MulAdd(1, first, sectors, end)) {
      continue;
    }
    const long long firstBit = first / unit + (first % unit != 0 ? 1 : 0);
    const long long endBit = end / unit;
    for (long long bit = firstBit; bit < endBit;) {
      const long long n = std::min<long long>(endBit - bit, std::numeric_limits<unsigned>::max());
      if (bitmap.SetBit(bit, 1, static_cast<unsigned>(n)) == 0) break;
      bit += n;
    }
  }
}

std::vector<DataRun> CollectRuns(IDataRunList* list, std::size_t limit) {
  std::vector<DataRun> runs;
  if (list == nullptr) return runs;
  for (const DataRun* r = list->GetFirst(); r != nullptr && runs.size() < limit; r = list->GetNext()) {
    runs.push_back(*r);
  }
  return runs;
}
