#include "core/util/Utf16.h"
#include "hfsplus/HfsPlusFileNode.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "hfsplus/CompressFileReader.h"
#include "core/compress/Decmpfs.h"
#include "hfsplus/ExtentChain.h"
#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusVolume.h"

namespace {
constexpr long long kLargestNamelessFile = 0x40000000;
constexpr const char* kDecmpfsName = "com.apple.decmpfs";
}  // namespace

CHFSPlusFileNode::CHFSPlusFileNode(CHFSPlusVolume* volume, const HFSPlusCatalogKey* key,
                                   const HFSPlusCatalogRecord* record, int deleted)
    : m_pVolume(volume) {
  Build(0, 0, key, record, deleted);
}

CHFSPlusFileNode::CHFSPlusFileNode(CHFSPlusVolume* volume, long long metadataSector, unsigned short partition,
                                   const HFSPlusCatalogKey* key, const HFSPlusCatalogRecord* record)
    : m_pVolume(volume) {
  Build(metadataSector, partition, key, record, 0);
}

CHFSPlusFileNode::CHFSPlusFileNode(const CHFSPlusFileNode& other)
    : CFileNode(other),
      m_u32CreateDate(other.m_u32CreateDate),
      m_pVolume(other.m_pVolume),
      m_strName(other.m_strName),
      m_llFileSize(other.m_llFileSize),
      m_u32ModifyDate(other.m_u32ModifyDate),
      m_u32AccessDate(other.m_u32AccessDate),
      m_u16Attribute(other.m_u16Attribute),
      m_u8Flags(other.m_u8Flags),
      m_llForkSize(other.m_llForkSize),
      m_u32ContentId(other.m_u32ContentId) {
  // A new, unlinked copy with its own run list.
  m_pFirstChild = nullptr;
  m_pNext = nullptr;
  m_pParent = nullptr;
  m_iShownChildren = 0;
  m_iCheckedSum = 0;
  m_pDataRunList = other.m_pDataRunList == nullptr ? nullptr : other.m_pDataRunList->Clone();
}

IFileNode* CHFSPlusFileNode::Clone() { return new CHFSPlusFileNode(*this); }

void CHFSPlusFileNode::Build(long long metadataSector, unsigned short partition, const HFSPlusCatalogKey* key,
                             const HFSPlusCatalogRecord* record, int deleted) {
  if (key == nullptr || record == nullptr) {
    if (deleted != 0) m_u8Flags |= kDeleted;
    return;
  }
  m_llParentNodeId = key->parentID;
  std::size_t first = 0;
  while (first < key->nodeName.size() && key->nodeName[first] == 0) ++first;
  m_strName = text::Utf16ToUtf8(std::u16string_view(key->nodeName).substr(first));

  if (record->IsFolder()) {
    m_u8Flags |= kDirectory;
    if (record->id == hfs::kRootParentId) {
      if (deleted != 0) m_u8Flags |= kDeleted;
      return;
    }
    m_llNodeId = record->id;
    m_llFileSize = 0;
    m_u32CreateDate = record->createDate;
    m_u32ModifyDate = record->contentModDate;
    m_u32AccessDate = record->accessDate;
    SetBelongedPartition(partition);
    SetMetaDataSector(metadataSector);
    if (deleted != 0 && record->id != hfs::kRootFolderId) m_u8Flags |= kDeleted;
    return;
  }
  if (!record->IsFile()) {
    if (deleted != 0) m_u8Flags |= kDeleted;
    return;
  }

  m_llNodeId = record->id;
  // A hard link stands for its inode file; a folder link stays a folder.
  HFSPlusCatalogRecord target;
  const HFSPlusCatalogRecord* content = record;
  if (record->fileType == hfs::kHardLinkType && record->fileCreator == hfs::kHfsPlusCreator && m_pVolume != nullptr &&
      m_pVolume->ResolveHardLink(*record, target)) {
    content = &target;
  }
  if (record->fileType == hfs::kDirLinkType) m_u8Flags |= kDirectory;
  BuildFile(*content);
  if (deleted != 0) m_u8Flags |= kDeleted;
  if (key->parentID == 0 && m_strName.empty() && m_llFileSize > kLargestNamelessFile) return;
  m_u32CreateDate = content->createDate;
  m_u32ModifyDate = content->contentModDate;
  m_u32AccessDate = content->accessDate;
  SetBelongedPartition(partition);
  SetMetaDataSector(metadataSector);
}

void CHFSPlusFileNode::AttachVolume(CHFSPlusVolume* volume, const HFSPlusCatalogRecord& record) {
  if (volume == nullptr || m_pVolume != nullptr || !record.IsFile() ||
      static_cast<long long>(record.id) != m_llNodeId) {
    return;
  }
  m_pVolume = volume;
  HFSPlusCatalogRecord target;
  const HFSPlusCatalogRecord* content = &record;
  if (record.fileType == hfs::kHardLinkType && record.fileCreator == hfs::kHfsPlusCreator &&
      m_pVolume->ResolveHardLink(record, target)) {
    content = &target;
  }
  BuildFile(*content);
  m_u32CreateDate = content->createDate;
  m_u32ModifyDate = content->contentModDate;
  m_u32AccessDate = content->accessDate;
}

void CHFSPlusFileNode::BuildFile(const HFSPlusCatalogRecord& record) {
  const std::uint64_t blockSize =
      m_pVolume != nullptr && m_pVolume->GetVolumeHeader() != nullptr ? m_pVolume->GetVolumeHeader()->blockSize : 4096;
  m_u32ContentId = record.id;
  if ((record.bsdInfo.ownerFlags & hfs::kCompressedOwnerFlag) != 0) {
    m_u8Flags |= kCompressed;
    SetCompressed(1);
    m_llForkSize = static_cast<long long>(record.resourceFork.logicalSize);
    BuildFileDataRun(record.resourceFork, hfs::kResourceFork);
    long long size = 0;
    if (ReadCompressedSize(size)) {
      m_llFileSize = size;
    } else if (m_pVolume != nullptr && m_pVolume->GetAttributes() != nullptr) {
      std::printf("Warn:Can't find file 0x%x Attribute\n", record.id);
    }
    return;
  }
  m_llFileSize = static_cast<long long>(record.dataFork.logicalSize);
  if (m_llFileSize == 0) m_llFileSize = static_cast<long long>(record.dataFork.totalBlocks * blockSize);
  m_llForkSize = m_llFileSize;
  BuildFileDataRun(record.dataFork, hfs::kDataFork);
}

void CHFSPlusFileNode::BuildFileDataRun(const HFSPlusForkData& fork, std::uint8_t forkType) {
  std::vector<HFSPlusExtentDescriptor> extents;
  ExtentChainOptions options;
  options.forkType = forkType;
  options.useHarvested = true;
  options.missingIsError = false;
  const std::uint32_t fileID = m_u32ContentId;
  // Whatever the chain's result, the file keeps the extents found before a
  // broken record: what can still be read is recovered.
  (void)BuildExtentChain(m_pVolume, fileID, fork, options, extents);
  auto* list = new CDataRunList();
  for (const auto& e : extents) {
    const DataRun run{static_cast<long long>(e.startBlock), static_cast<long long>(e.blockCount)};
    list->AddDataRun(&run);
  }
  SetDataRunList(list);
}

bool CHFSPlusFileNode::ReadCompressedSize(long long& size) {
  if (m_pVolume == nullptr || m_u32ContentId == 0) return false;
  std::vector<std::uint8_t> attr;
  if (m_pVolume->getAttribute(m_u32ContentId, kDecmpfsName, attr) == 0) return false;
  const auto header = DecodeDecmpfsHeader(ByteView(attr.data(), attr.size()));
  if (!header) return false;
  size = static_cast<long long>(std::min<std::uint64_t>(header->uncompressedSize, INT64_MAX));
  return true;
}

void CHFSPlusFileNode::UpdateNodeInfo() {
  if (!IsCompressed() || m_pVolume == nullptr || m_pVolume->GetAttributes() == nullptr) return;
  long long size = 0;
  if (ReadCompressedSize(size)) {
    m_llFileSize = size;
  } else {
    std::printf("Warn:Can't find file 0x%llx Attribute\n", static_cast<unsigned long long>(m_llNodeId));
  }
}

void CHFSPlusFileNode::FilterFileNameByDot() { m_strName = CFileNode::FilterFileNameByDot(m_strName); }

IFileReader* CHFSPlusFileNode::CreateCompressFileReader(void* /*context*/) {
  return new CHFSPlusCompressFileReader(m_pVolume, this);
}
