#pragma once
// One opened HFS+ or HFSX volume: its header, its three B-trees, its journal
// and the records that the journal harvest found.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/model/Contracts.h"
#include "core/util/ByteView.h"
#include "hfsplus/HfsPlusRawfile.h"
#include "hfsplus/HfsPlusTrees.h"
#include "hfsplus/VolumeHeader.h"

class IStorageDevice;
class CHFSPlusJournal;
class CHFSPlusQuickFileSystemSearchProgress;

// Harvested collections, newest entry first.
using HarvestedCatalog = std::deque<std::pair<HFSPlusCatalogKey, HFSPlusCatalogRecord>>;
using HarvestedExtents = std::deque<std::pair<HFSPlusExtentKey, HFSPlusExtentRecord>>;
using HarvestedAttributes = std::deque<std::pair<HFSPlusAttrKey, HFSPlusAttrRecord>>;

// Which special file a byte of the volume belongs to.
enum SpecialFile : int {
  kSpecialNone = 0,
  kSpecialExtents = 3,
  kSpecialCatalog = 4,
  kSpecialAllocation = 6,
  kSpecialStartup = 7,
  kSpecialAttributes = 8,
};

class CHFSPlusVolume {
 public:
  // Opens the volume; GetLastResult tells how it went. Without catalog only
  // the extents and attributes trees are opened. At most `catalogCache`
  // bytes of the catalog are held in memory.
  CHFSPlusVolume(IStorageDevice* device, bool noCatalog, std::uint64_t catalogCache = CHFSPlusFileCache::kMaxCached);
  // Opens the volume from a header image read elsewhere (its alternate copy
  // when the one at byte 1024 is gone); the image is checked as the header
  // at byte 1024 would be, and the trees are reached through its forks.
  CHFSPlusVolume(IStorageDevice* device, const ByteView& headerImage, bool noCatalog,
                 std::uint64_t catalogCache = CHFSPlusFileCache::kMaxCached);
  ~CHFSPlusVolume();
  CHFSPlusVolume(const CHFSPlusVolume&) = delete;
  CHFSPlusVolume& operator=(const CHFSPlusVolume&) = delete;

  RESULT GetLastResult() const { return m_lastResult; }
  const HFSPlusVolumeHeader* GetVolumeHeader() const { return m_pVolumeHeader.get(); }
  IStorageDevice* GetDevice() const { return m_pDevice; }
  int GetSectorSize() const { return m_iSectorSize; }

  CHFSPlusCatalog* GetCatalog() const { return m_pCatalog.get(); }
  CHFSPlusExtents* GetExtents() const { return m_pExtents.get(); }
  CHFSPlusAttribute* GetAttributes() const { return m_pAttributes.get(); }
  CHFSPlusJournal* GetJournal() const { return m_pJournal.get(); }
  // Bytes of the catalog held in memory.
  std::uint64_t CatalogCachedBytes() const { return m_pCatalogFile ? m_pCatalogFile->CachedLength() : 0; }

  // Reads bytes of the volume; the number delivered.
  std::uint64_t Read(std::uint64_t offset, void* dst, std::uint64_t length);

  RESULT SearchCatalog(const HFSPlusCatalogKey& key, HFSPlusSearchResult& result, HFSPlusCatalogRecord* record);
  RESULT SearchExtents(const HFSPlusExtentKey& key, HFSPlusSearchResult& result, HFSPlusExtentRecord* record);
  RESULT SearchAttributes(const HFSPlusAttrKey& key, HFSPlusSearchResult& result, HFSPlusAttrRecord* record);
  // Tree 4 (catalog), 3 (extents) or 8 (attributes); code 3 for others.
  RESULT CheckTree(int tree) const;

  // The overflow record of `key`: the live tree first, then (when asked)
  // the harvested records.
  bool FindExtentRecord(const HFSPlusExtentKey& key, bool useHarvested, HFSPlusExtentRecord& record);

  // Inline data of the named attribute of a file; its length, 0 when absent.
  std::size_t getAttribute(std::uint32_t fileID, const char* name, std::vector<std::uint8_t>& data);

  // Walks the live catalog into the builder (tree 4 only).
  RESULT Traverse(int tree, IDirecotryTreeBuilder* builder, CHFSPlusQuickFileSystemSearchProgress* progress);
  // Journal harvest, the harvested nodes (deleted), then the live catalog.
  RESULT QuickSearchFiles(IDirecotryTreeBuilder* builder, CHFSPlusQuickFileSystemSearchProgress* progress);

  int GetNodeBelongToFile(std::uint64_t offset) const;
  bool IsBelongToFile(std::uint32_t fileID, const HFSPlusForkData& fork, std::uint64_t offset);

  bool FindDeleteCatalog(const HFSPlusCatalogKey& key, HFSPlusSearchResult& result, HFSPlusCatalogRecord* record);
  bool FindDeleteExtent(const HFSPlusExtentKey& key, HFSPlusSearchResult& result, HFSPlusExtentRecord* record);
  bool FindDeleteAttribute(const HFSPlusAttrKey& key, HFSPlusSearchResult& result, HFSPlusAttrRecord* record);

  HarvestedCatalog& HarvestedCatalogRecords() { return m_harvestedCatalog; }
  HarvestedExtents& HarvestedExtentRecords() { return m_harvestedExtents; }
  HarvestedAttributes& HarvestedAttributeRecords() { return m_harvestedAttributes; }

  // The catalog comparison of this volume (case folding unless HFSX/0xBC).
  int CompareCatalogKey(const HFSPlusCatalogKey& a, const HFSPlusCatalogKey& b) const;

  // The file record of the inode that a hard link ('hlnk'/'hfs+') names.
  bool ResolveHardLink(const HFSPlusCatalogRecord& link, HFSPlusCatalogRecord& target);

  static bool IsValidVolumeHeader(const std::uint8_t* bytes, std::uint16_t length);

 private:
  // `headerImage` null: the header is read at byte 1024.
  RESULT Open(const ByteView* headerImage, bool noCatalog, std::uint64_t catalogCache);
  std::uint32_t PrivateDataFolderId();

  int m_iSectorSize = 512;
  IStorageDevice* m_pDevice = nullptr;
  RESULT m_lastResult = 0;
  std::unique_ptr<HFSPlusVolumeHeader> m_pVolumeHeader;
  std::unique_ptr<CHFSPlusRawfile> m_pExtentsFile;
  std::unique_ptr<CHFSPlusExtents> m_pExtents;
  std::unique_ptr<CHFSPlusRawfile> m_pAttributesFile;
  std::unique_ptr<CHFSPlusAttribute> m_pAttributes;
  std::unique_ptr<CHFSPlusFileCache> m_pCatalogFile;
  std::unique_ptr<CHFSPlusCatalog> m_pCatalog;
  std::unique_ptr<CHFSPlusJournal> m_pJournal;
  HarvestedCatalog m_harvestedCatalog;
  HarvestedExtents m_harvestedExtents;
  HarvestedAttributes m_harvestedAttributes;
  std::uint8_t m_u8KeyCompareType = 0;
  std::uint32_t m_u32PrivateFolder = 0;
  bool m_bPrivateFolderLooked = false;
};
