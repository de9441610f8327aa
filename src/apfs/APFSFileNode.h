#pragma once
// A found APFS file or folder. Made and owned by its container reader; the
// tree builder only borrows it (Release does nothing).

#include <cstdint>
#include <map>
#include <string>

#include "core/model/FileNode.h"

class APFSContainerReader;

class APFSFileNode : public CFileNode {
 public:
  enum Flags : int {
    kDirectory = 0x01,
    kDeleted = 0x02,
    kHandedOver = 0x04,
    kKindFixed = 0x10,
    kMerged = 0x20,
  };

  APFSFileNode();
  ~APFSFileNode() override;
  APFSFileNode(const APFSFileNode&) = delete;
  APFSFileNode& operator=(const APFSFileNode&) = delete;

  const char* GetFileName() override { return m_name.c_str(); }
  long long GetFileSize() override { return static_cast<long long>(m_size); }
  unsigned int GetAttribute() override { return IsDirectory() != 0 ? 16u : 32u; }
  long long GetCreationTime() override { return ToFileTime(m_created); }
  long long GetModificationTime() override { return ToFileTime(m_modified); }
  long long GetLastAccessTime() override { return ToFileTime(m_accessed); }
  int IsDirectory() override { return (m_flags & kDirectory) != 0 ? 1 : 0; }
  int IsDeleted() override { return (m_flags & kDeleted) != 0 ? 1 : 0; }
  void SetParentNodeID(long long id) override;
  IFileNode* Clone() override;
  void Release() override {}
  void MarkDeleted() override { m_flags |= kDeleted; }
  // The reader of a compressed file's content (decmpfs); null, with a log
  // line, when it cannot be decoded.
  IFileReader* CreateCompressFileReader(void* device) override;
  void FilterFileNameByDot() override {}
  virtual _tagSearcherType GetApfsSearcheType() const { return kSearcherApfs; }

  // Nanoseconds since 1970 to FILETIME, whole seconds.
  [[nodiscard]] static long long ToFileTime(std::int64_t ns);

  void SetKind(bool isDirectory);
  void SetNodeId(long long id) { SetNodeID(id); }
  void SetSizeIfUnset(std::uint64_t size);

  // Name as stored: the decoded bytes with the terminating zero as last character.
  std::string m_name;
  std::uint64_t m_size = 0;
  std::int64_t m_created = 0;
  std::int64_t m_modified = 0;
  std::int64_t m_accessed = 0;
  std::int64_t m_position = 0;
  std::uint64_t m_apfsKey = 0;
  std::uint64_t m_apfsParent = 0;
  APFSFileNode* m_parentNode = nullptr;
  APFSFileNode* m_firstChild = nullptr;
  APFSFileNode* m_nextSibling = nullptr;
  APFSFileNode* m_mergeTarget = nullptr;
  int m_flags = 0;
  // Logical byte address -> run in sectors of the reader.
  std::map<std::uint64_t, DataRun> m_extents;

  // A compressed file: its "com.apple.decmpfs" attribute and its resource
  // fork, inline or in a stream whose extents the container reader holds
  // under `m_resourceKey`.
  std::string m_decmpfs;
  std::string m_resourceInline;
  std::uint64_t m_resourceKey = 0;
  std::uint64_t m_resourceSize = 0;
  const APFSContainerReader* m_reader = nullptr;  // the owner

  bool HandedOver() const { return (m_flags & kHandedOver) != 0; }
  bool IsFolder() const { return (m_flags & kDirectory) != 0; }
  // The name without its terminating zero.
  std::string PlainName() const;
};
