#pragma once
// Found-node doubles, a complete searcher registered through the engine
// registry that hands chosen nodes to the tree builder, and helpers to run
// the bridge's jobs from a test.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/model/Contracts.h"
#include "core/model/FileNode.h"

namespace bridgetest {

class TestNode : public CFileNode {
 public:
  TestNode(long long id, long long parent, std::string name, long long size, bool dir, bool deleted = false,
           long long ctime = 0, long long mtime = 0)
      : m_name(std::move(name)), m_size(size), m_dir(dir), m_deleted(deleted), m_ctime(ctime), m_mtime(mtime) {
    m_llNodeId = id;
    m_llParentNodeId = parent;
  }
  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return m_size; }
  unsigned int GetAttribute() override { return 0; }
  long long GetCreationTime() override { return m_ctime; }
  long long GetModificationTime() override { return m_mtime; }
  long long GetLastAccessTime() override { return 0; }
  int IsDirectory() override { return m_dir ? 1 : 0; }
  int IsDeleted() override { return m_deleted ? 1 : 0; }
  IFileNode* Clone() override { return new TestNode(*this); }
  void MarkDeleted() override { m_deleted = true; }
  void FilterFileNameByDot() override {}

 private:
  TestNode(const TestNode&) = default;
  std::string m_name;
  long long m_size;
  bool m_dir;
  bool m_deleted;
  long long m_ctime;
  long long m_mtime;
};

struct NodeSpec {
  long long id;
  long long parent;
  std::string name;
  long long size;
  bool dir;
  bool deleted;
  long long ctime;
  long long mtime;
};

// What the test searcher does; reset between tests.
struct SearcherScript {
  std::vector<NodeSpec> nodes;
  // Called on the worker thread before each block is analysed (block index).
  std::function<void(int)> onBlock;
  // Read every block from the device (so that failing reads show).
  bool readDevice = false;
  std::atomic<int> blocks{0};
  std::atomic<int> builds{0};   // EndSearch(1) calls
  std::atomic<int> skipped{0};  // EndSearch(0) calls
  // What the searcher says it has found so far during the sweep.
  std::atomic<std::uint64_t> found{0};
};

SearcherScript& Script();
// Clears the registry and the script, registers the FAT-type test searcher.
void ResetEngines();

// Drains the main-thread queue until the bridge has no job left.
bool WaitForJobs(int milliseconds = 20000);

// FILETIME of a calendar second (UTC).
long long FileTimeUtc(int year, int month, int day, int hour, int minute, int second);

}  // namespace bridgetest
