#include "core/controller/RecordingSearchers.h"

#include <memory>

#include "core/device/StorageDevice.h"

namespace controllertest {

SearcherJournal& SearcherJournal::Get() {
  static SearcherJournal journal;
  return journal;
}

void SearcherJournal::Reset() {
  std::lock_guard g(m_lock);
  m_events.clear();
  m_badBlocks.clear();
  m_check = nullptr;
  m_hook = nullptr;
  m_quickResult = 0;
}

void SearcherJournal::Add(int type, const char* op, long long a, long long b) {
  std::lock_guard g(m_lock);
  m_events.push_back({type, op, a, b});
}

std::vector<SearcherEvent> SearcherJournal::Events() {
  std::lock_guard g(m_lock);
  return m_events;
}

std::vector<SearcherEvent> SearcherJournal::Events(const std::string& op) {
  std::vector<SearcherEvent> out;
  for (const SearcherEvent& e : Events()) {
    if (e.op == op) out.push_back(e);
  }
  return out;
}

std::vector<SearcherEvent> SearcherJournal::Events(int type, const std::string& op) {
  std::vector<SearcherEvent> out;
  for (const SearcherEvent& e : Events(op)) {
    if (e.type == type) out.push_back(e);
  }
  return out;
}

void SearcherJournal::SetBlockCheck(BlockCheck check) {
  std::lock_guard g(m_lock);
  m_check = std::move(check);
}

SearcherJournal::BlockCheck SearcherJournal::GetBlockCheck() {
  std::lock_guard g(m_lock);
  return m_check;
}

void SearcherJournal::SetBlockHook(BlockHook hook) {
  std::lock_guard g(m_lock);
  m_hook = std::move(hook);
}

SearcherJournal::BlockHook SearcherJournal::GetBlockHook() {
  std::lock_guard g(m_lock);
  return m_hook;
}

void SearcherJournal::AddBadBlock(long long start) {
  std::lock_guard g(m_lock);
  m_badBlocks.push_back(start);
}

std::vector<long long> SearcherJournal::BadBlocks() {
  std::lock_guard g(m_lock);
  return m_badBlocks;
}

namespace {

class RecordingCompleteSearcher : public ICompleteFileSystemSearchController {
 public:
  explicit RecordingCompleteSearcher(_tagSearcherType type) : m_type(type) {}
  ~RecordingCompleteSearcher() override { Log("deleted"); }

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { Log("builder", builder != nullptr); }
  int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
  void SetDevice(IStorageDevice* device) override {
    m_device = device;
    Log("device", device != nullptr ? device->GetType() : -1);
  }
  void SetBlockSize(int sectors) override { Log("blocksize", sectors); }
  int PreparetoSearch() override {
    Log("prepare");
    return 1;
  }
  void EndSearch(int build) override { Log("end", build); }
  int AnalyzeBlock(long long start, long long count) override {
    Log("block", start, count);
    SearcherJournal& j = SearcherJournal::Get();
    if (SearcherJournal::BlockCheck check = j.GetBlockCheck()) {
      const int ss = m_device->GetSectorSize();
      m_buffer.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(ss));
      if (m_device->ReadSector(m_buffer.data(), start, count) == 0 || !check(m_buffer.data(), start, count, ss)) {
        j.AddBadBlock(start);
      }
    }
    if (SearcherJournal::BlockHook hook = j.GetBlockHook()) hook(m_type, start);
    return 1;
  }
  void SetIProgressSink(IProgress* progress) override { Log("progress", progress != nullptr); }
  void SetBitmap(TBitmap* bitmap) override { Log("bitmap", bitmap != nullptr); }
  void SetFileSectorMap(FileSectorMap* map) override { Log("map", map != nullptr); }
  void SetActivePartition(bool active) override { Log("active", active ? 1 : 0); }

 private:
  void Log(const char* op, long long a = 0, long long b = 0) { SearcherJournal::Get().Add(m_type, op, a, b); }

  _tagSearcherType m_type;
  IStorageDevice* m_device = nullptr;
  std::vector<std::uint8_t> m_buffer;
};

class RecordingQuickSearcher : public IQuickFileSystemSearchController {
 public:
  explicit RecordingQuickSearcher(int code) : m_code(code) {}
  ~RecordingQuickSearcher() override { SearcherJournal::Get().Add(m_code, "deleted"); }
  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override {
    SearcherJournal::Get().Add(m_code, "builder", builder != nullptr);
  }
  int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
  RESULT QuickSearchFiles(IStorageDevice* device, IProgress* progress) override {
    SearcherJournal::Get().Add(m_code, "quick", device != nullptr ? device->GetType() : -1, progress != nullptr);
    return SearcherJournal::Get().m_quickResult;
  }

 private:
  int m_code;
};

template <_tagSearcherType T>
ICompleteFileSystemSearchController* MakeComplete() {
  return new RecordingCompleteSearcher(T);
}

template <int Code>
IQuickFileSystemSearchController* MakeQuick() {
  return new RecordingQuickSearcher(Code);
}

CompleteSearcherFactory CompleteFactory(_tagSearcherType type) {
  switch (type) {
    case kSearcherHfsPlus:
      return &MakeComplete<kSearcherHfsPlus>;
    case kSearcherFat:
      return &MakeComplete<kSearcherFat>;
    case kSearcherExFat:
      return &MakeComplete<kSearcherExFat>;
    case kSearcherRawByType:
      return &MakeComplete<kSearcherRawByType>;
    case kSearcherNtfs:
      return &MakeComplete<kSearcherNtfs>;
    case kSearcherRawByLabel:
      return &MakeComplete<kSearcherRawByLabel>;
    case kSearcherApfs:
      return &MakeComplete<kSearcherApfs>;
    default:
      return nullptr;
  }
}

QuickSearcherFactory QuickFactory(int code) {
  switch (code) {
    case 0:
      return &MakeQuick<0>;
    case 1:
      return &MakeQuick<1>;
    case 2:
      return &MakeQuick<2>;
    case 3:
      return &MakeQuick<3>;
    case 7:
      return &MakeQuick<7>;
    case 8:
      return &MakeQuick<8>;
    case 9:
      return &MakeQuick<9>;
    case 10:
      return &MakeQuick<10>;
    default:
      return nullptr;
  }
}

}  // namespace

void RegisterCompleteSearchers(const std::vector<_tagSearcherType>& types) {
  for (_tagSearcherType t : types) engine_registry::RegisterCompleteSearcher(t, CompleteFactory(t));
}

void RegisterQuickSearchers(const std::vector<int>& codes) {
  for (int c : codes) engine_registry::RegisterQuickSearcher(c, QuickFactory(c));
}

void RegistryTest::SetUp() {
  engine_registry::Clear();
  SearcherJournal::Get().Reset();
}

void RegistryTest::TearDown() {
  engine_registry::Clear();
  SearcherJournal::Get().Reset();
}

}  // namespace controllertest
