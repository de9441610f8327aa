// The crew runs its searchers side by side over each block, in the order
// their waits prescribe: every member gets every block once and in order, a
// member starts a block only after the members it waits for are done with
// it (and sees what they wrote), nobody starts a block before all are done
// with the one before, a searcher's exception comes out of the block, and
// the caller's member gets each block ready while it waits for its writers.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/controller/SearcherCrew.h"

namespace {

constexpr long long kBlock = 16;

// What the members of one crew share: per member the last block done, and
// marks the members write for those that wait for them.
struct Board {
  explicit Board(std::size_t members, long long blocks)
      : done(members), started(members), marks(members, std::vector<long long>(static_cast<std::size_t>(blocks), -1)) {
    for (auto& d : done) d = -1;
    for (auto& s : started) s = -1;
  }
  std::vector<std::atomic<long long>> done;     // the last block each member finished
  std::vector<std::atomic<long long>> started;  // the last block each member started
  // Plain memory: written by a member, read by those that wait for it.
  std::vector<std::vector<long long>> marks;
  std::atomic<int> faults{0};
};

class BoardSearcher : public ICompleteFileSystemSearchController {
 public:
  BoardSearcher(Board& board, std::size_t index, std::vector<std::size_t> after, unsigned seed)
      : m_board(board), m_index(index), m_after(std::move(after)), m_random(seed) {}

  void SetDirecotryTreeBuilder(IDirecotryTreeBuilder*) override {}
  int GetSearchedPartitionInfo(CSearchedPartitionInfo**, int) override { return 0; }
  void SetDevice(IStorageDevice*) override {}
  void SetBlockSize(int) override {}
  int PreparetoSearch() override { return 1; }
  std::uint64_t GetFoundFileCount() const override { return m_blocks.size(); }

  // Comes before this member's own start on the block, once everyone is
  // done with the block before.
  void PrepareBlock(long long start, long long count) override {
    const long long block = start / kBlock;
    if (count != kBlock || m_board.started[m_index] >= block) Fault();
    for (std::size_t m = 0; m < m_board.done.size(); ++m) {
      if (m_board.done[m] < block - 1 || m_board.started[m] > block) Fault();
    }
    m_prepared.push_back(block);
    m_prepareThreads.push_back(std::this_thread::get_id());
    if (m_throwInPrepareAt == block) throw std::runtime_error("prepare " + std::to_string(m_index));
  }

  int AnalyzeBlock(long long start, long long count) override {
    const long long block = start / kBlock;
    if (count != kBlock) Fault();
    m_board.started[m_index] = block;
    for (std::size_t m = 0; m < m_board.done.size(); ++m) {
      // Everyone is done with the block before, nobody is past this one.
      if (m_board.done[m] < block - 1 || m_board.started[m] > block) Fault();
    }
    for (const std::size_t a : m_after) {
      if (m_board.done[a] != block || m_board.marks[a][static_cast<std::size_t>(block)] != block) Fault();
    }
    // A little work of varying length, so the members finish in any order.
    const int spins = std::uniform_int_distribution<int>(0, 2000)(m_random);
    std::atomic<int> work{0};
    for (int i = 0; i < spins; ++i) work.fetch_add(1, std::memory_order_relaxed);
    m_board.marks[m_index][static_cast<std::size_t>(block)] = block;
    m_blocks.push_back(block);
    m_threads.push_back(std::this_thread::get_id());
    if (m_throwAt == block) throw std::runtime_error("searcher " + std::to_string(m_index));
    m_board.done[m_index] = block;
    return 1;
  }

  void ThrowAt(long long block) { m_throwAt = block; }
  void ThrowInPrepareAt(long long block) { m_throwInPrepareAt = block; }
  const std::vector<long long>& Blocks() const { return m_blocks; }
  const std::vector<std::thread::id>& Threads() const { return m_threads; }
  const std::vector<long long>& Prepared() const { return m_prepared; }
  const std::vector<std::thread::id>& PrepareThreads() const { return m_prepareThreads; }

 private:
  void Fault() { ++m_board.faults; }

  Board& m_board;
  std::size_t m_index;
  std::vector<std::size_t> m_after;
  std::mt19937 m_random;
  long long m_throwAt = -1;
  long long m_throwInPrepareAt = -1;
  std::vector<long long> m_blocks;
  std::vector<std::thread::id> m_threads;
  std::vector<long long> m_prepared;
  std::vector<std::thread::id> m_prepareThreads;
};

struct Shape {
  std::size_t index;
  std::vector<std::size_t> after;
  bool onCaller;
};

struct CrewCase {
  const char* name;
  std::vector<Shape> members;
};

class SearcherCrewOrder : public ::testing::TestWithParam<CrewCase> {
 protected:
  void Make(long long blocks) {
    const CrewCase& c = GetParam();
    m_board = std::make_unique<Board>(c.members.size(), blocks);
    std::vector<CSearcherCrew::Member> members;
    for (const Shape& s : c.members) {
      m_searchers.push_back(
          std::make_unique<BoardSearcher>(*m_board, s.index, s.after, 1234u + static_cast<unsigned>(s.index)));
      members.push_back({m_searchers.back().get(), s.after, s.onCaller});
    }
    m_crew = std::make_unique<CSearcherCrew>(std::move(members));
  }

  std::unique_ptr<Board> m_board;
  std::vector<std::unique_ptr<BoardSearcher>> m_searchers;
  std::unique_ptr<CSearcherCrew> m_crew;
};

}  // namespace

TEST_P(SearcherCrewOrder, EveryMemberGetsEveryBlockInTheOrderItsWaitsPrescribe) {
  constexpr long long kBlocks = 400;
  Make(kBlocks);
  ASSERT_TRUE(m_crew->Start());
  for (long long b = 0; b < kBlocks; ++b) {
    m_crew->AnalyzeBlock(b * kBlock, kBlock);
    // Between blocks every member is done and its counts can be read.
    ASSERT_EQ(m_crew->FoundFiles(), static_cast<std::uint64_t>((b + 1) * static_cast<long long>(m_searchers.size())));
  }
  EXPECT_EQ(m_board->faults, 0);
  const auto caller = std::this_thread::get_id();
  for (std::size_t i = 0; i < m_searchers.size(); ++i) {
    const BoardSearcher& s = *m_searchers[i];
    ASSERT_EQ(s.Blocks().size(), static_cast<std::size_t>(kBlocks)) << i;
    for (long long b = 0; b < kBlocks; ++b) EXPECT_EQ(s.Blocks()[static_cast<std::size_t>(b)], b) << i;
    const bool onCaller = GetParam().members[i].onCaller;
    for (const std::thread::id t : s.Threads()) {
      EXPECT_EQ(t == caller, onCaller) << "member " << i << " runs on the caller's thread only when marked so";
    }
    // The caller's member, when it waits for others, gets each block ready
    // while it waits.
    if (onCaller && !GetParam().members[i].after.empty()) {
      EXPECT_EQ(s.Prepared(), s.Blocks()) << i;
      for (const std::thread::id t : s.PrepareThreads()) EXPECT_EQ(t, caller) << i;
    } else {
      EXPECT_TRUE(s.Prepared().empty()) << i;
    }
  }
}

TEST_P(SearcherCrewOrder, AnExceptionComesOutAfterTheOthersFinishedTheBlock) {
  constexpr long long kBlocks = 6;
  Make(kBlocks);
  ASSERT_TRUE(m_crew->Start());
  // The last member throws at block 2.
  m_searchers.back()->ThrowAt(2);
  for (long long b = 0; b < kBlocks; ++b) {
    if (b == 2) {
      EXPECT_THROW(m_crew->AnalyzeBlock(b * kBlock, kBlock), std::runtime_error);
      for (const auto& s : m_searchers) EXPECT_EQ(s->Blocks().size(), 3u) << "the others finished the block";
      // The thrower never marked the block done; the crew goes on all the same.
      m_board->done[m_searchers.size() - 1] = b;
    } else {
      m_crew->AnalyzeBlock(b * kBlock, kBlock);
    }
  }
  for (const auto& s : m_searchers) EXPECT_EQ(s->Blocks().size(), static_cast<std::size_t>(kBlocks));
  EXPECT_EQ(m_board->faults, 0);
}

// Member 3 stands for the carving, which waits for the two HFS+ members (0
// and 2) that mark the bitmap.
INSTANTIATE_TEST_SUITE_P(
    Crews, SearcherCrewOrder,
    ::testing::Values(CrewCase{"ReaderOnTheCaller",
                               {{0, {}, false}, {1, {}, false}, {2, {}, false}, {3, {0, 2}, true}, {4, {}, false}}},
                      CrewCase{"ReaderOnItsOwnThread",
                               {{0, {}, false}, {1, {}, false}, {2, {}, false}, {3, {0, 2}, false}, {4, {}, false}}},
                      CrewCase{"ChainOfWaits", {{0, {}, false}, {1, {0}, false}, {2, {1}, true}, {3, {}, false}}},
                      CrewCase{"WriterOnTheCaller", {{0, {}, true}, {1, {0}, false}, {2, {0, 1}, false}}},
                      CrewCase{"NobodyWaits", {{0, {}, false}, {1, {}, true}}}),
    [](const ::testing::TestParamInfo<CrewCase>& info) { return info.param.name; });

TEST(SearcherCrew, OneMemberRunsOnTheCallersThread) {
  Board board(1, 3);
  BoardSearcher searcher(board, 0, {}, 7u);
  CSearcherCrew crew({{&searcher, {}, false}});
  EXPECT_FALSE(crew.Start());
  for (long long b = 0; b < 3; ++b) crew.AnalyzeBlock(b * kBlock, kBlock);
  EXPECT_EQ(searcher.Blocks(), (std::vector<long long>{0, 1, 2}));
  for (const std::thread::id t : searcher.Threads()) EXPECT_EQ(t, std::this_thread::get_id());
}

TEST(SearcherCrew, AnExceptionWhileGettingABlockReadyComesOutOfThatBlock) {
  Board board(2, 4);
  BoardSearcher writer(board, 0, {}, 3u);
  BoardSearcher reader(board, 1, {0}, 4u);
  CSearcherCrew crew({{&writer, {}, false}, {&reader, {0}, true}});
  ASSERT_TRUE(crew.Start());
  reader.ThrowInPrepareAt(1);
  crew.AnalyzeBlock(0, kBlock);
  EXPECT_THROW(crew.AnalyzeBlock(kBlock, kBlock), std::runtime_error);
  // Both still analysed the block; the crew goes on.
  EXPECT_EQ(writer.Blocks().size(), 2u);
  EXPECT_EQ(reader.Blocks().size(), 2u);
  for (long long b = 2; b < 4; ++b) crew.AnalyzeBlock(b * kBlock, kBlock);
  EXPECT_EQ(reader.Blocks(), (std::vector<long long>{0, 1, 2, 3}));
  EXPECT_EQ(board.faults, 0);
}
