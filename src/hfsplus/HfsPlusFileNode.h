#pragma once
// A found HFS+ file or folder built from one catalog record.

#include <cstdint>
#include <string>

#include "core/model/FileNode.h"
#include "hfsplus/CatalogKey.h"
#include "hfsplus/CatalogRecord.h"

class CHFSPlusVolume;

class CHFSPlusFileNode : public CFileNode {
 public:
  enum Flags : std::uint8_t { kDeleted = 1, kDirectory = 2, kCompressed = 4 };

  // Quick scan: partition 0, no metadata sector.
  CHFSPlusFileNode(CHFSPlusVolume* volume, const HFSPlusCatalogKey* key, const HFSPlusCatalogRecord* record,
                   int deleted);
  // Complete scan: never deleted.
  CHFSPlusFileNode(CHFSPlusVolume* volume, long long metadataSector, unsigned short partition,
                   const HFSPlusCatalogKey* key, const HFSPlusCatalogRecord* record);
  ~CHFSPlusFileNode() override = default;

  const char* GetFileName() override { return m_strName.c_str(); }
  long long GetFileSize() override { return m_llFileSize; }
  unsigned int GetAttribute() override { return m_u16Attribute; }
  long long GetCreationTime() override { return HfsSecondsToFileTime(m_u32CreateDate); }
  long long GetModificationTime() override { return HfsSecondsToFileTime(m_u32ModifyDate); }
  long long GetLastAccessTime() override { return HfsSecondsToFileTime(m_u32AccessDate); }
  int IsDirectory() override { return (m_u8Flags & kDirectory) != 0 ? 1 : 0; }
  int IsDeleted() override { return (m_u8Flags & kDeleted) != 0 ? 1 : 0; }
  _tagSearcherType GetSearcheType() const override { return kSearcherHfsPlus; }
  IFileNode* Clone() override;
  void MarkDeleted() override { m_u8Flags |= kDeleted; }
  IFileReader* CreateCompressFileReader(void* context) override;
  int IsCompressed() const override { return (m_u8Flags & kCompressed) != 0 ? 1 : 0; }
  void FilterFileNameByDot() override;
  void UpdateFileSize(long long size) override { m_llFileSize = size; }
  void UpdateNodeInfo() override;
  void SetFileName(const char* name) override { m_strName = name == nullptr ? "" : name; }

  CHFSPlusVolume* GetVolume() const { return m_pVolume; }
  // A file node made before its volume could be opened: takes the volume
  // and builds its content again from `record` (the record it was made
  // from) through the volume's trees. Nothing when it has a volume already.
  void AttachVolume(CHFSPlusVolume* volume, const HFSPlusCatalogRecord& record);
  std::uint32_t GetCreateDate() const { return m_u32CreateDate; }
  std::uint8_t GetFlags() const { return m_u8Flags; }
  // Bytes of the fork the data runs describe (the resource fork of a
  // compressed file).
  long long GetForkSize() const { return m_llForkSize; }
  // Id of the file whose forks and attributes hold the content (the inode
  // of a hard link, else the node's own id).
  std::uint32_t GetContentId() const { return m_u32ContentId; }

 protected:
  CHFSPlusFileNode(const CHFSPlusFileNode& other);

 private:
  void Build(long long metadataSector, unsigned short partition, const HFSPlusCatalogKey* key,
             const HFSPlusCatalogRecord* record, int deleted);
  void BuildFile(const HFSPlusCatalogRecord& record);
  void BuildFileDataRun(const HFSPlusForkData& fork, std::uint8_t forkType);

  // The decmpfs header's content size; false when the attribute is absent.
  bool ReadCompressedSize(long long& size);

  std::uint32_t m_u32CreateDate = 0;
  CHFSPlusVolume* m_pVolume = nullptr;
  std::string m_strName;
  long long m_llFileSize = 0;
  std::uint32_t m_u32ModifyDate = 0;
  std::uint32_t m_u32AccessDate = 0;
  std::uint16_t m_u16Attribute = 0;
  std::uint8_t m_u8Flags = 0;
  long long m_llForkSize = 0;
  std::uint32_t m_u32ContentId = 0;
};
