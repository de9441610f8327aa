#pragma once
// Runs the complete searchers over one sweep block at a time, each on a
// thread of its own (one of them may run on the caller's thread). All of
// them look at the same current block of the read-ahead cache; the block is
// not handed on before every searcher is done with it.
//
// A searcher may have to wait within a block for searchers before it: one
// that reads what another writes while it sweeps (the sector bitmap) starts
// on a block only when the writer is done with that block, so it sees the
// same bits as in a sweep that calls the searchers one after another.
//
// A member is woken only when it may start: a new block wakes the members
// that wait for nobody, and the last of a member's writers to finish wakes
// that member. Each waits a short while awake before it sleeps, since a
// sleep and a wake-up cost far more than the short waits within a block.
// The caller wakes the writers and one other member, and each other member
// wakes the next as it wakes: the caller's thread, the one that runs the
// longest member, pays for few wake-ups.
//
// While the caller's member waits for its writers, it may get the block
// ready (PrepareBlock) with what nobody writes during the sweep.
//
// Without threads (none could be made, or there is only one searcher) the
// searchers run one after another on the caller's thread, in list order.

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/model/Contracts.h"

class CSearcherCrew {
 public:
  struct Member {
    ICompleteFileSystemSearchController* searcher = nullptr;
    // Indices of earlier members that must finish a block before this one
    // starts on it.
    std::vector<std::size_t> after;
    // Runs on the thread that calls AnalyzeBlock (the first member marked
    // so; the others get threads of their own).
    bool onCaller = false;
  };

  explicit CSearcherCrew(std::vector<Member> members);
  ~CSearcherCrew();
  CSearcherCrew(const CSearcherCrew&) = delete;
  CSearcherCrew& operator=(const CSearcherCrew&) = delete;

  // Starts the members' threads; false (and serial runs) when that fails.
  bool Start();
  // Every member's AnalyzeBlock(start, count); returns when all are done.
  // An exception of a searcher comes out here, after the others finished.
  void AnalyzeBlock(long long start, long long count);
  // Sum of the members' found-file counts (call between blocks).
  std::uint64_t FoundFiles() const;

 private:
  // A member's wake-up word on a cache line of its own.
  struct alignas(64) Slot {
    std::atomic<std::uint32_t> go{0};       // the block it may start, or kStop
    std::atomic<std::uint32_t> waiting{0};  // writers not yet done with the block
  };
  static constexpr std::uint32_t kStop = ~0u;

  void Work(std::size_t index);
  // The caller's member gets the current block ready.
  void Prepare(std::size_t index);
  // Runs member `index` on block `generation` and hands on.
  void Run(std::size_t index, std::uint32_t generation);
  void Release(std::size_t index, std::uint32_t generation);
  // Waits until `word` differs from `old`; its new value.
  static std::uint32_t Await(const std::atomic<std::uint32_t>& word, std::uint32_t old);
  void Stop();

  std::vector<Member> m_members;
  // Per member: the later members that wait for it.
  std::vector<std::vector<std::size_t>> m_waiters;
  // Members the caller wakes for a new block, writers first.
  std::vector<std::size_t> m_starters;
  std::size_t m_caller;  // the member the caller runs, or the member count
  // Per member: the member it wakes as it wakes, or the member count.
  std::vector<std::size_t> m_chain;
  std::unique_ptr<Slot[]> m_slots;
  std::vector<std::thread> m_threads;

  std::uint32_t m_generation = 0;  // the block being analysed
  long long m_start = 0;
  long long m_count = 0;
  alignas(64) std::atomic<std::uint32_t> m_pending{0};
  alignas(64) std::atomic<std::uint32_t> m_done{0};  // the last block all are done with

  std::mutex m_errorLock;
  std::exception_ptr m_error;
};
