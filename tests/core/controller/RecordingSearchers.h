#pragma once
// Searchers registered through the engine registry that record every call
// in one journal, and the small doubles the controllers need around them.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/engines/EngineRegistry.h"
#include "core/model/Contracts.h"
#include "support/FakeSinks.h"

namespace controllertest {

struct SearcherEvent {
  int type;        // searcher type, or the file-system code of a quick searcher
  std::string op;  // "device", "blocksize", "builder", "bitmap", "map", "progress",
                   // "active", "prepare", "block", "end", "quick", "deleted"
  long long a = 0;
  long long b = 0;
};

class SearcherJournal {
 public:
  static SearcherJournal& Get();

  void Reset();
  void Add(int type, const char* op, long long a = 0, long long b = 0);
  std::vector<SearcherEvent> Events();
  // Events of one operation, in order.
  std::vector<SearcherEvent> Events(const std::string& op);
  std::vector<SearcherEvent> Events(int type, const std::string& op);

  // Called with each analysed block's bytes (start sector, count, sector
  // size); returns false for bad content. Unset: the bytes are not read.
  using BlockCheck = std::function<bool(const std::uint8_t*, long long, long long, int)>;
  void SetBlockCheck(BlockCheck check);
  BlockCheck GetBlockCheck();
  // Called after each AnalyzeBlock with the searcher type and start sector.
  using BlockHook = std::function<void(int, long long)>;
  void SetBlockHook(BlockHook hook);
  BlockHook GetBlockHook();
  void AddBadBlock(long long start);
  std::vector<long long> BadBlocks();

  RESULT m_quickResult = 0;

 private:
  std::mutex m_lock;
  std::vector<SearcherEvent> m_events;
  std::vector<long long> m_badBlocks;
  BlockCheck m_check;
  BlockHook m_hook;
};

// Registers recording complete searchers of the given types.
void RegisterCompleteSearchers(const std::vector<_tagSearcherType>& types);
// Registers recording quick searchers for the given file-system codes.
void RegisterQuickSearchers(const std::vector<int>& codes);

using testsupport::AcceptAllFilter;

class RecordingRestoreSink : public RestoreScanSink {
 public:
  RESULT SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress* progress, IStorageDevice* device) override {
    m_builder = builder;
    m_progress = progress;
    m_device = device;
    ++m_calls;
    return m_result;
  }
  std::vector<CSearchedPartitionInfo*>& GetSearchedPartition(_tagSearcherType type) override {
    m_askedTypes.push_back(type);
    return m_partitions;
  }

  IDirecotryTreeBuilder* m_builder = nullptr;
  IProgress* m_progress = nullptr;
  IStorageDevice* m_device = nullptr;
  int m_calls = 0;
  RESULT m_result = 0;
  std::vector<CSearchedPartitionInfo*> m_partitions;
  std::vector<_tagSearcherType> m_askedTypes;
};

// Releases a controller at scope end.
struct ControllerRelease {
  void operator()(IRecoveryController* c) const {
    if (c != nullptr) c->Release();
  }
};
using ControllerPtr = std::unique_ptr<IRecoveryController, ControllerRelease>;

// A test that starts and ends with no engine registered and an empty
// journal.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace controllertest
