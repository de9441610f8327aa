#pragma once
// Joins the nodes that searchers find into one tree per searcher type under a
// synthetic root, sends finished batches to the tree sink while the scan runs
// and, at the end of each searcher, settles what is still loose: recycle-bin
// names, files under deleted folders, and the "Other lost files" folder.
//
// Ownership: AddNode returning 1 gives the node to the builder; 0 leaves it
// with the caller. Nodes shown to the sink stay valid until Release.

#include <list>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/model/Contracts.h"
#include "core/tree/DirectoryTreeInfo.h"
#include "core/tree/TreeBuilderClock.h"

class CFileNode;

class IStorageDevice;

class CDirectoryTreeBuilder final : public IDirecotryTreeBuilder {
 public:
  // An unforced build waits for more than this many new nodes ...
  static constexpr int kBuildBatchNodes = 1023;
  // ... or for this many seconds since the last build.
  static constexpr long long kBuildIntervalSeconds = 3;
  // Pause after a tree root is shown, before its first batch.
  static constexpr int kRootShowPauseSeconds = 1;
  // Parent chains longer than this are treated as broken links.
  static constexpr int kMaxTreeDepth = 4096;
  // Longest parent chain walked at all (node links refuse longer ones).
  static constexpr int kMaxWalk = 1 << 21;

  CDirectoryTreeBuilder(bool restoring, ITreeBuilderClock& clock);
  ~CDirectoryTreeBuilder() override;
  CDirectoryTreeBuilder(const CDirectoryTreeBuilder&) = delete;
  CDirectoryTreeBuilder& operator=(const CDirectoryTreeBuilder&) = delete;

  int Initialize(const char* deviceName, IDrirectoryTree* tree, IRecoveryFilter* filter) override;
  int AddNode(IFileNode* node, _tagSearcherType type) override;
  int AddSearcherInfo(_tagSearcherType type, long long rootId) override;
  void FlashBuild(_tagSearcherType type) override;
  void Release() override;
  void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) override;
  // Marks a file that claims more bytes than the partition's device holds.
  void MarkIfLargerThanDevice(IFileNode* node) const;
  // Gives a name made only of dots ("...") a cleaned name ("_...").
  static void CleanDotsOnlyName(IFileNode* node);

  // Off: every build walks every pending node (the reference the parked
  // walk is compared with).
  void SetParking(bool on) { m_bParking = on; }
  // The searcher of `type` gives every node an id of its own (no id is ever
  // handed twice), so a live file under folders that stay live for good can
  // be freed at once instead of waiting, unshown, until the tree is finished.
  void SetUniqueIds(_tagSearcherType type);

 private:
  // A node held back as part of a recycle bin until its searcher finishes.
  struct HeldNode {
    IFileNode* node;
    _tagSearcherType type;
  };

  _DIRECTORY_TREE_INFO* FindTree(_tagSearcherType type);

  // Adding.
  bool InsertToRecycleBin(IFileNode* node, _tagSearcherType type);
  bool IsHeldFolderId(long long id, _tagSearcherType type) const;
  void TakePrivateDataFolder(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  void CheckUserTrash(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  bool IsUserTrashFolder(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  int RecordNode(_DIRECTORY_TREE_INFO& tree, std::map<long long, _PARENT_INFO>& byId, IFileNode* node);
  bool MergeDuplicateFolderEntry(IFileNode* kept, IFileNode* node);
  static int RecordFileVersion(const _PARENT_INFO& recorded, CFileNode* node);
  void ReleaseUnlinked(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  bool IsHiddenForGood(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  bool IsSettledLiveFolder(_DIRECTORY_TREE_INFO& tree, long long id);

  // Building.
  // Nodes taken into one unforced build's walk, in arrival order, and those
  // woken during it by a folder turning deleted.
  struct WalkState;
  int BuildTree(_DIRECTORY_TREE_INFO& tree, std::vector<IFileNode*>& out, _tagSearcherType type, bool force);
  void LinkUpward(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  IFileNode* FindFolder(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  static IFileNode* GetCorrectParent(long long trashId, const _PARENT_INFO& candidates, IFileNode* node);
  static bool IsShownDepth(_DIRECTORY_TREE_INFO& tree, int depth);
  bool IsEmptyFolder(IFileNode* node) const;
  static int ChainLength(IFileNode* node, int limit);
  void ShowNodes(_DIRECTORY_TREE_INFO& tree, std::vector<IFileNode*>& nodes, int last);
  void BuildAndShowUntilDone(_DIRECTORY_TREE_INFO& tree, _tagSearcherType type);
  void WalkPending(_DIRECTORY_TREE_INFO& tree, std::vector<_PENDING_ENTRY>& walked);

  // Parking (see _DIRECTORY_TREE_INFO::parked).
  enum class ParkKind { kNo, kOrphan, kHiddenLive };
  ParkKind ParkKindOf(_DIRECTORY_TREE_INFO& tree, IFileNode* node);
  // The folder a build would link nodes with this parent id under: null when
  // there is none, `multiple` when the choice depends on the node.
  IFileNode* SoleFolder(_DIRECTORY_TREE_INFO& tree, long long parentId, bool& multiple);
  bool IsHiddenLive(_DIRECTORY_TREE_INFO& tree, IFileNode* node) const;
  void Park(_DIRECTORY_TREE_INFO& tree, const _PENDING_ENTRY& entry, ParkKind kind);
  void TakeWokenGroups(_DIRECTORY_TREE_INFO& tree, std::vector<_PENDING_ENTRY>& woken);
  void WakeUnder(_DIRECTORY_TREE_INFO& tree, long long folderId);
  void UnparkAll(_DIRECTORY_TREE_INFO& tree);

  // Finishing.
  void RestoreRecycleBin(_tagSearcherType type);
  void RestorFileName(IFileNode* node, _tagSearcherType type);
  void QueueUnlinkedFiles(_DIRECTORY_TREE_INFO& tree);
  void MarkUnderDeletedFolders(_DIRECTORY_TREE_INFO& tree);
  void BuildLostNodes(_DIRECTORY_TREE_INFO& tree);
  void ReleaseNodeByFilter(_DIRECTORY_TREE_INFO& tree, std::map<long long, _PARENT_INFO>& byId);
  void ReleaseInfoRecords(_tagSearcherType type);

  bool m_bRestoring;
  ITreeBuilderClock& m_clock;
  std::list<_DIRECTORY_TREE_INFO> m_trees;
  IDrirectoryTree* m_pTree = nullptr;
  IRecoveryFilter* m_pFilter = nullptr;
  std::string m_strDeviceName = "Disk";
  std::vector<HeldNode> m_heldFiles;
  std::vector<HeldNode> m_heldFolders;
  std::vector<HeldNode> m_infoRecords;
  std::vector<std::pair<_tagSearcherType, long long>> m_heldFolderIds;
  IStorageDevice* m_pPartitionDevice = nullptr;
  CSearchedPartitionInfo* m_pPartition = nullptr;
  bool m_bFinishing = false;
  WalkState* m_pWalk = nullptr;
  bool m_bParking = true;
};
