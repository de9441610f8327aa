#pragma once
// The found-file node model shared by every engine: one node per found file
// or folder, linked into trees by the directory-tree builder.

#include <cstdint>
#include <string>

#include "core/model/DataRun.h"
#include "core/model/SearcherTypes.h"

class IFileReader;

enum _tagCheckedStatus : int {
  kUnchecked = 0,
  kPartlyChecked = 1,
  kChecked = 2,
};

class IFileNode {
 public:
  virtual ~IFileNode() = default;
  virtual int IsNodeShow() const = 0;
  virtual void ShowNode(int show) = 0;
  virtual long long GetCurrentNodeID() const = 0;
  virtual long long GetParentNodeID() const = 0;
  virtual IFileNode* GetParent() const = 0;
  virtual IFileNode* GetFirstChild() = 0;
  virtual IFileNode* GetNextNode() = 0;
  virtual const char* GetFileName() = 0;
  virtual long long GetFileSize() = 0;
  virtual unsigned int GetAttribute() = 0;
  virtual long long GetCreationTime() = 0;
  virtual long long GetModificationTime() = 0;
  virtual long long GetLastAccessTime() = 0;
  virtual int IsDirectory() = 0;
  virtual int IsDeleted() = 0;
  virtual int GetCheckedStatus() const = 0;
  virtual void SetCheck(_tagCheckedStatus status) = 0;
  virtual _tagSearcherType GetSearcheType() const = 0;
  virtual const char* GetVolumeName() const = 0;
  virtual int AddChild(IFileNode* child) = 0;
  virtual int AddNext(IFileNode* node) = 0;
  virtual void SetParentNodeID(long long id) = 0;
  virtual IFileNode* Clone() = 0;
  virtual void Release() = 0;
  virtual void MarkDeleted() = 0;
  virtual IFileReader* CreateCompressFileReader(void* context) = 0;
  virtual int IsCompressed() const = 0;
  virtual void SetMetaDataSector(long long sector) = 0;
  virtual void FilterFileNameByDot() = 0;
  virtual void UpdateFileSize(long long size) = 0;
  virtual void UpdateNodeInfo() = 0;
  virtual void SetFileName(const char* name) = 0;
};

class IFilesystemNode : public IFileNode {};

class CFileNode : public IFilesystemNode {
 public:
  static constexpr std::uint64_t kInitialState = 0xFFFFFFFFFFFFFF10ull;
  static constexpr unsigned kNoPartition = 0xFFFF;

  CFileNode() = default;
  ~CFileNode() override;

  int IsNodeShow() const override;
  void ShowNode(int show) override;
  long long GetCurrentNodeID() const override { return m_llNodeId; }
  long long GetParentNodeID() const override { return m_llParentNodeId; }
  IFileNode* GetParent() const override { return m_pParent; }
  IFileNode* GetFirstChild() override { return m_pFirstChild; }
  IFileNode* GetNextNode() override { return m_pNext; }
  int GetCheckedStatus() const override;
  void SetCheck(_tagCheckedStatus status) override;
  _tagSearcherType GetSearcheType() const override { return kSearcherNone; }
  const char* GetVolumeName() const override { return nullptr; }
  int AddChild(IFileNode* child) override;
  int AddNext(IFileNode* node) override;
  void SetParentNodeID(long long id) override { m_llParentNodeId = id; }
  void Release() override { delete this; }
  IFileReader* CreateCompressFileReader(void*) override { return nullptr; }
  int IsCompressed() const override { return m_iCompressed; }
  void SetMetaDataSector(long long sector) override;
  void UpdateFileSize(long long) override {}
  void UpdateNodeInfo() override {}
  void SetFileName(const char*) override {}

  // Non-virtual members used across the engine.
  CFileNode* GetParentNode() const { return m_pParent; }
  void SetParent(CFileNode* parent) { m_pParent = parent; }
  CFileNode* FirstChildNode() const { return m_pFirstChild; }
  int RemoveChild(CFileNode* child);
  static bool IsLoopedToSelf(IFileNode* node, IFileNode* candidate);
  IDataRunList* GetDataRunList() const { return m_pDataRunList; }
  void SetDataRunList(IDataRunList* list);
  unsigned GetBelongedPartition() const;
  void SetBelongedPartition(unsigned short partition);
  long long GetMetadataStartPosition() const;
  void MergeNode(CFileNode* other);
  static std::string FilterFileNameByDot(const std::string& name);
  using IFileNode::FilterFileNameByDot;
  void SetNodeID(long long id) { m_llNodeId = id; }
  int ShownChildCount() const { return m_iShownChildren; }
  int CheckedSum() const { return m_iCheckedSum; }
  std::uint64_t StateWord() const { return m_u64State; }
  void SetCompressed(int compressed) { m_iCompressed = compressed; }
  // Set when the node claims more than its device can hold (a damaged
  // record): its size and runs are cut to the device when it is read.
  bool IsDamaged() const { return m_bDamaged; }
  void MarkDamaged() { m_bDamaged = true; }

  // Identity of one file found twice (same id, kind, parent and name; see .cpp).
  bool operator==(const CFileNode& other) const;

 protected:
  CFileNode(const CFileNode&) = default;
  CFileNode& operator=(const CFileNode&) = default;

  void ShowParent(int delta);
  void SetParentStatus(int delta);
  void SetChildStatus(int state, int walkSiblings);
  void SetCheckBits(int state);
  void SetShowBits(int show);

  CFileNode* m_pFirstChild = nullptr;
  CFileNode* m_pNext = nullptr;
  int m_iShownChildren = 0;
  IDataRunList* m_pDataRunList = nullptr;
  long long m_llNodeId = -1;
  long long m_llParentNodeId = -1;
  std::uint64_t m_u64State = kInitialState;
  CFileNode* m_pParent = nullptr;
  int m_iCheckedSum = 0;
  int m_iCompressed = 0;
  bool m_bDamaged = false;
};

// Synthetic folder: a searcher's tree root or its lost-files folder.
class CFilesystemNode : public CFileNode {
 public:
  CFilesystemNode(const char* name, const char* volumeName, _tagSearcherType type, long long nodeId);

  const char* GetFileName() override { return m_strName.c_str(); }
  long long GetFileSize() override { return 0; }
  unsigned int GetAttribute() override { return 0; }
  long long GetCreationTime() override { return GetModificationTime(); }
  long long GetModificationTime() override { return 0; }
  long long GetLastAccessTime() override { return GetModificationTime(); }
  int IsDirectory() override { return 1; }
  int IsDeleted() override { return 0; }
  _tagSearcherType GetSearcheType() const override { return m_eType; }
  const char* GetVolumeName() const override { return m_strVolumeName.c_str(); }
  IFileNode* Clone() override;
  void MarkDeleted() override {}
  void FilterFileNameByDot() override {}

 private:
  _tagSearcherType m_eType;
  std::string m_strName;
  std::string m_strVolumeName;
};

// FILETIME (100-ns intervals since 1601-01-01 UTC) from other epochs.
constexpr long long kFileTimeUnixEpoch = 116444736000000000LL;
constexpr long long kFileTimeHfsEpoch = 95616288000000000LL;
[[nodiscard]] constexpr long long SecondsSince1970ToFileTime(long long s) {
  return s * 10000000LL + kFileTimeUnixEpoch;
}
[[nodiscard]] constexpr long long HfsSecondsToFileTime(std::uint32_t s) {
  return s == 0 ? 0 : static_cast<long long>(s) * 10000000LL + kFileTimeHfsEpoch;
}
