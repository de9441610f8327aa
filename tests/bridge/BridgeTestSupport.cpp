#include "bridge/BridgeTestSupport.h"

#include <ctime>
#include <memory>

#include "bridge/JobThreads.h"
#include "bridge/MainThreadDispatcher.h"
#include "core/device/StorageDevice.h"
#include "core/engines/EngineRegistry.h"

namespace bridgetest {

namespace {

class ScriptedSearcher final : public ICompleteFileSystemSearchController {
 public:
  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { m_builder = builder; }
  int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
  void SetDevice(IStorageDevice* device) override { m_device = device; }
  void SetBlockSize(int sectors) override { m_blockSize = sectors; }
  int PreparetoSearch() override {
    if (m_builder != nullptr) m_builder->AddSearcherInfo(kSearcherFat, 0);
    return 1;
  }
  int AnalyzeBlock(long long start, long long count) override {
    const int index = Script().blocks.fetch_add(1);
    if (Script().onBlock) Script().onBlock(index);
    if (Script().readDevice && m_device != nullptr && count > 0) {
      std::vector<char> buf(static_cast<std::size_t>(count) * static_cast<std::size_t>(m_device->GetSectorSize()));
      (void)m_device->ReadSector(buf.data(), start, count);
    }
    return 1;
  }
  std::uint64_t GetFoundFileCount() const override { return Script().found.load(); }
  void EndSearch(int build) override {
    if (build == 0) {
      ++Script().skipped;
      return;
    }
    ++Script().builds;
    if (m_builder == nullptr) return;
    for (const NodeSpec& s : Script().nodes) {
      auto* node = new TestNode(s.id, s.parent, s.name, s.size, s.dir, s.deleted, s.ctime, s.mtime);
      if (m_builder->AddNode(node, kSearcherFat) == 0) node->Release();
    }
    m_builder->SetPartitonDevice(nullptr, m_device);
    m_builder->FlashBuild(kSearcherFat);
  }

 private:
  IDirecotryTreeBuilder* m_builder = nullptr;
  IStorageDevice* m_device = nullptr;
  int m_blockSize = 0;
};

ICompleteFileSystemSearchController* MakeSearcher() { return new ScriptedSearcher(); }

}  // namespace

SearcherScript& Script() {
  static SearcherScript script;
  return script;
}

void ResetEngines() {
  engine_registry::Clear();
  SearcherScript& s = Script();
  s.nodes.clear();
  s.onBlock = nullptr;
  s.readDevice = false;
  s.blocks = 0;
  s.builds = 0;
  s.skipped = 0;
  s.found = 0;
  engine_registry::RegisterCompleteSearcher(kSearcherFat, &MakeSearcher);
}

bool WaitForJobs(int milliseconds) {
  bridge::DefaultQueue().BindToCurrentThread();
  return bridge::DefaultQueue().RunUntil([] { return bridge::JobRegistry::instance().Alive() == 0; },
                                         std::chrono::milliseconds(milliseconds));
}

long long FileTimeUtc(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return SecondsSince1970ToFileTime(static_cast<long long>(timegm(&tm)));
}

}  // namespace bridgetest
