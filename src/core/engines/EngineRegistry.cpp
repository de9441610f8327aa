#include "core/engines/EngineRegistry.h"

#include <array>
#include <mutex>

namespace engine_registry {
namespace {

constexpr int kMaxFsCode = 10;
constexpr int kFirstSearcher = kSearcherHfsPlus;
constexpr int kLastSearcher = kSearcherApfs;

struct Table {
  std::mutex lock;
  std::array<QuickSearcherFactory, kMaxFsCode + 1> quick{};
  std::array<CompleteSearcherFactory, kLastSearcher - kFirstSearcher + 1> complete{};
  std::array<VolumeAnalyzeFactory, kAnalyzeCount> analyze{};
};

Table& GetTable() {
  static Table table;
  return table;
}

}  // namespace

void RegisterQuickSearcher(int code, QuickSearcherFactory factory) {
  if (code < 0 || code > kMaxFsCode) return;
  Table& t = GetTable();
  std::lock_guard guard(t.lock);
  t.quick[static_cast<std::size_t>(code)] = factory;
}

void RegisterCompleteSearcher(_tagSearcherType type, CompleteSearcherFactory factory) {
  if (type < kFirstSearcher || type > kLastSearcher) return;
  Table& t = GetTable();
  std::lock_guard guard(t.lock);
  t.complete[static_cast<std::size_t>(type - kFirstSearcher)] = factory;
}

void RegisterVolumeAnalyze(VolumeAnalyzeOrder order, VolumeAnalyzeFactory factory) {
  if (order < 0 || order >= kAnalyzeCount) return;
  Table& t = GetTable();
  std::lock_guard guard(t.lock);
  t.analyze[static_cast<std::size_t>(order)] = factory;
}

void Clear() {
  Table& t = GetTable();
  std::lock_guard guard(t.lock);
  t.quick.fill(nullptr);
  t.complete.fill(nullptr);
  t.analyze.fill(nullptr);
}

IQuickFileSystemSearchController* CreateQuickSearcher(int code) {
  if (code < 0 || code > kMaxFsCode) return nullptr;
  QuickSearcherFactory f;
  {
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    f = t.quick[static_cast<std::size_t>(code)];
  }
  return f != nullptr ? f() : nullptr;
}

ICompleteFileSystemSearchController* CreateCompleteSearcher(_tagSearcherType type) {
  if (type < kFirstSearcher || type > kLastSearcher) return nullptr;
  CompleteSearcherFactory f;
  {
    Table& t = GetTable();
    std::lock_guard guard(t.lock);
    f = t.complete[static_cast<std::size_t>(type - kFirstSearcher)];
  }
  return f != nullptr ? f() : nullptr;
}

VolumeAnalyzeFactory GetVolumeAnalyzeFactory(VolumeAnalyzeOrder order) {
  if (order < 0 || order >= kAnalyzeCount) return nullptr;
  Table& t = GetTable();
  std::lock_guard guard(t.lock);
  return t.analyze[static_cast<std::size_t>(order)];
}

}  // namespace engine_registry
