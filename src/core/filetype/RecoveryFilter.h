#pragma once
// The recovery filter: the one `IRecoveryFilter` of the process,
// through which the tree builder drops files of unwanted categories.
//
// Threads: the mask and the scan type are set from the user-interface thread
// while the scan thread reads them on every node; both are atomics, and the
// allowed set is kept as one atomic word, so a change applies to the nodes
// looked at afterwards. The extension table is read-only after construction.

#include <atomic>
#include <mutex>
#include <set>

#include "core/filetype/FileTypeManager.h"
#include "core/model/Contracts.h"

class CRecoveryFilter final : public IRecoveryFilter {
 public:
  // Scan type 0, mask 0 (everything allowed); loads the extension table from
  // the process-wide lists as they are now (CFileTypeManager::Initialze must
  // run before). The process uses the instance of CreateFilter(); tests may
  // build their own.
  CRecoveryFilter();
  ~CRecoveryFilter() override = default;
  CRecoveryFilter(const CRecoveryFilter&) = delete;
  CRecoveryFilter& operator=(const CRecoveryFilter&) = delete;

  // 1 when the scan type is non-zero: files that are neither deleted nor
  // folders are then linked into trees (complete scans).
  int ShowNormalFiles() const override;
  void SetScanType(_SCAN_TYPE type) override;

  // 0 for a null node; 1 when the allowed set is empty or the node is a
  // folder; else 1 exactly when the node's file-type id is allowed. Deleted
  // and live files are treated alike here (ShowNormalFiles decides those).
  int IsFileNodeValid(IFileNode* node) override;

  // Stores the mask and rebuilds the allowed set: empty for 127 (and for a
  // mask with no category bit, such as 0); else the file-type id of every
  // set bit (64 adds 8).
  void SetFilterTypes(unsigned mask) override;

  // The node's filter bit (1, 2, 4, 8, 16, 32; 64 for id 8 and a null node).
  unsigned GetNodeFileType(IFileNode* node) override;

  // Does nothing: the instance lives until the process exits.
  void Release() override {}

  // The node's file-type id: the text after the last "." of its name looked
  // up in the table; 8 for a null node, a null name or a name without ".".
  FILE_TYPE_ID GetNodeType(IFileNode* node) const;

  unsigned GetScanType() const { return m_uScanType.load(std::memory_order_relaxed); }
  unsigned GetFilterTypes() const { return m_uFilterMask.load(std::memory_order_acquire); }
  // The allowed file-type ids (empty = everything allowed).
  std::set<int> GetAllowedTypes() const;

 private:
  std::atomic<unsigned> m_uScanType{0};
  std::atomic<unsigned> m_uFilterMask{0};
  CFileTypeManager m_typeManager;
  // Bit (1 << id) set for every allowed file-type id; 0 = the empty set.
  std::atomic<unsigned> m_uAllowedIds{0};
  // Serialises writers so that the mask and the set always agree.
  std::mutex m_setLock;
};

// The single filter, built on first use (thread-safe) and destroyed at exit.
IRecoveryFilter* CreateFilter();
