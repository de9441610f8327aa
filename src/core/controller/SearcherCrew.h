#pragma once
// Runs the complete searchers over one sweep block at a time, each on a
// thread of its own. All of them look at the same current block of the
// read-ahead cache; the block is not handed on before every searcher is
// done with it.
//
// A searcher may have to wait within a block for searchers before it: one
// that reads what another writes while it sweeps (the sector bitmap) starts
// on a block only when the writer is done with that block, so it sees the
// same bits as in a sweep that calls the searchers one after another.
//
// Without threads (none could be made, or there is only one searcher) the
// searchers run one after another on the caller's thread, in list order.

#include <condition_variable>
#include <cstdint>
#include <exception>
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
  };

  explicit CSearcherCrew(std::vector<Member> members);
  ~CSearcherCrew();
  CSearcherCrew(const CSearcherCrew&) = delete;
  CSearcherCrew& operator=(const CSearcherCrew&) = delete;

  // Starts one thread per member; false (and serial runs) when that fails.
  bool Start();
  // Every member's AnalyzeBlock(start, count); returns when all are done.
  // An exception of a searcher comes out here, after the others finished.
  void AnalyzeBlock(long long start, long long count);
  // Sum of the members' found-file counts (call between blocks).
  std::uint64_t FoundFiles() const;

 private:
  void Work(std::size_t index);
  void Stop();

  std::vector<Member> m_members;
  std::vector<std::thread> m_threads;

  std::mutex m_lock;
  std::condition_variable m_work;         // a new block, a member done, or stop
  std::condition_variable m_done;         // every member done
  std::uint64_t m_generation = 0;         // the block being analysed
  std::vector<std::uint64_t> m_finished;  // per member: the last generation done
  std::size_t m_pending = 0;
  long long m_start = 0;
  long long m_count = 0;
  bool m_stop = false;
  std::exception_ptr m_error;
};
