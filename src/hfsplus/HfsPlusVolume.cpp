#include "core/util/Utf16.h"
#include "hfsplus/HfsPlusVolume.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/device/StorageDevice.h"
#include "hfsplus/HfsPlusJournal.h"
#include "hfsplus/HfsPlusLayout.h"
#include "hfsplus/HfsPlusResult.h"

namespace {

std::u16string PrivateDataName() {
  std::u16string name(4, u'\0');
  name += u"HFS+ Private Data";
  return name;
}

}  // namespace

CHFSPlusVolume::CHFSPlusVolume(IStorageDevice* device, bool noCatalog, std::uint64_t catalogCache) : m_pDevice(device) {
  m_lastResult = Open(nullptr, noCatalog, catalogCache);
}

CHFSPlusVolume::CHFSPlusVolume(IStorageDevice* device, const ByteView& headerImage, bool noCatalog,
                               std::uint64_t catalogCache)
    : m_pDevice(device) {
  m_lastResult = Open(&headerImage, noCatalog, catalogCache);
}

CHFSPlusVolume::~CHFSPlusVolume() {
  m_pJournal.reset();
  m_pCatalog.reset();
  m_pCatalogFile.reset();
  m_pAttributes.reset();
  m_pAttributesFile.reset();
  m_pExtents.reset();
  m_pExtentsFile.reset();
}

bool CHFSPlusVolume::IsValidVolumeHeader(const std::uint8_t* bytes, std::uint16_t length) {
  if (bytes == nullptr) return false;
  return IsValidVolumeHeaderBytes(ByteView(bytes, length));
}

RESULT CHFSPlusVolume::Open(const ByteView* headerImage, bool noCatalog, std::uint64_t catalogCache) {
  if (m_pDevice == nullptr) return HFS_FAIL(kHfsBadArgument);
  const int ss = m_pDevice->GetSectorSize();
  m_iSectorSize = ss > 0 ? ss : 512;

  std::vector<std::uint8_t> raw;
  if (headerImage != nullptr) {
    raw.assign(headerImage->Data(), headerImage->Data() + headerImage->Size());
  } else {
    raw.resize(hfs::kVolumeHeaderSize);
    if (Read(hfs::kVolumeHeaderOffset, raw.data(), raw.size()) != raw.size()) return HFS_FAIL(kHfsShortRead);
  }
  auto header = DecodeVolumeHeader(ByteView(raw.data(), raw.size()));
  if (!header) return HFS_FAIL(kHfsShortRead);
  // Block arithmetic needs a sound block size; everything else is checked where used.
  if (!IsValidBlockSize(header->blockSize)) return HFS_FAIL(kHfsFormat);
  m_pVolumeHeader = std::make_unique<HFSPlusVolumeHeader>(*header);

  m_pJournal = std::make_unique<CHFSPlusJournal>(this);

  if (m_pVolumeHeader->extentsFile.totalBlocks != 0) {
    m_pExtentsFile = std::make_unique<CHFSPlusRawfile>(this, hfs::kExtentsFileId, m_pVolumeHeader->extentsFile);
    m_pExtents = std::make_unique<CHFSPlusExtents>(m_pExtentsFile.get());
    if (result::Failed(m_pExtents->GetLastError())) {
      std::printf("Warn:extents tree unreadable\n");
      m_pExtents.reset();
    }
  }
  // The attributes file is optional: older volumes have none.
  if (m_pVolumeHeader->attributesFile.totalBlocks != 0) {
    m_pAttributesFile =
        std::make_unique<CHFSPlusRawfile>(this, hfs::kAttributesFileId, m_pVolumeHeader->attributesFile);
    m_pAttributes = std::make_unique<CHFSPlusAttribute>(m_pAttributesFile.get());
    if (result::Failed(m_pAttributes->GetLastError())) {
      std::printf("Warn:attributes tree unreadable\n");
      m_pAttributes.reset();
    }
  }
  if (noCatalog) return HFS_FAIL(kHfsBadArgument);

  m_pCatalogFile =
      std::make_unique<CHFSPlusFileCache>(this, hfs::kCatalogFileId, m_pVolumeHeader->catalogFile, catalogCache);
  if (result::Failed(m_pCatalogFile->GetLastResult())) return m_pCatalogFile->GetLastResult();
  m_pCatalog = std::make_unique<CHFSPlusCatalog>(m_pCatalogFile.get(), m_pVolumeHeader->IsHfsx());
  if (result::Failed(m_pCatalog->GetLastError())) {
    const RESULT rc = m_pCatalog->GetLastError();
    m_pCatalog.reset();
    return rc;
  }
  m_u8KeyCompareType = m_pCatalog->GetHeaderRec().keyCompareType;
  return result::kSuccess;
}

std::uint64_t CHFSPlusVolume::Read(std::uint64_t offset, void* dst, std::uint64_t length) {
  if (m_pDevice == nullptr || dst == nullptr) return 0;
  const auto ss = static_cast<std::uint64_t>(m_iSectorSize);
  const long long total = m_pDevice->GetTotalSectors();
  const std::uint64_t deviceBytes = total > 0 ? static_cast<std::uint64_t>(total) * ss : 0;
  if (offset >= deviceBytes) return 0;
  length = std::min(length, deviceBytes - offset);
  auto* out = static_cast<std::uint8_t*>(dst);
  std::uint64_t done = 0;
  std::vector<std::uint8_t> bounce;
  auto fail = [&]() {
    std::printf("Location 0x%llx Size: 0x%llx\n", static_cast<unsigned long long>(offset + done),
                static_cast<unsigned long long>(length - done));
    HFS_REPORT(kHfsIoFailed);
    return done;
  };
  while (done < length) {
    const std::uint64_t pos = offset + done;
    const std::uint64_t inSector = pos % ss;
    const std::uint64_t left = length - done;
    if (inSector != 0 || left < ss) {
      bounce.resize(ss);
      if (m_pDevice->ReadSector(bounce.data(), static_cast<long long>(pos / ss), 1) == 0) return fail();
      const std::uint64_t n = std::min(ss - inSector, left);
      std::memcpy(out + done, bounce.data() + inSector, static_cast<std::size_t>(n));
      done += n;
      continue;
    }
    const std::uint64_t sectors = left / ss;
    if (m_pDevice->ReadSector(out + done, static_cast<long long>(pos / ss), static_cast<long long>(sectors)) == 0) {
      return fail();
    }
    done += sectors * ss;
  }
  return done;
}

RESULT CHFSPlusVolume::CheckTree(int tree) const {
  if (tree != hfs::kCatalogFileId && tree != hfs::kExtentsFileId && tree != hfs::kAttributesFileId) {
    return HFS_FAIL(kHfsBadTree);
  }
  if (!m_pVolumeHeader) return HFS_FAIL(kHfsBadArgument);
  return result::kSuccess;
}

RESULT CHFSPlusVolume::SearchCatalog(const HFSPlusCatalogKey& key, HFSPlusSearchResult& r,
                                     HFSPlusCatalogRecord* record) {
  if (RESULT rc = CheckTree(hfs::kCatalogFileId); result::Failed(rc)) return rc;
  if (!m_pCatalog) return HFS_FAIL(kHfsBadArgument);
  return m_pCatalog->Search(key, r, record);
}

RESULT CHFSPlusVolume::SearchExtents(const HFSPlusExtentKey& key, HFSPlusSearchResult& r, HFSPlusExtentRecord* record) {
  if (RESULT rc = CheckTree(hfs::kExtentsFileId); result::Failed(rc)) return rc;
  if (!m_pExtents) return HFS_FAIL(kHfsBadArgument);
  return m_pExtents->Search(key, r, record);
}

RESULT CHFSPlusVolume::SearchAttributes(const HFSPlusAttrKey& key, HFSPlusSearchResult& r, HFSPlusAttrRecord* record) {
  if (RESULT rc = CheckTree(hfs::kAttributesFileId); result::Failed(rc)) return rc;
  if (!m_pAttributes) return HFS_FAIL(kHfsBadArgument);
  return m_pAttributes->Search(key, r, record);
}

bool CHFSPlusVolume::FindExtentRecord(const HFSPlusExtentKey& key, bool useHarvested, HFSPlusExtentRecord& record) {
  HFSPlusSearchResult r;
  if (m_pExtents && result::Succeeded(m_pExtents->Search(key, r, &record)) && r.found != 0) return true;
  if (!useHarvested) return false;
  HFSPlusSearchResult h;
  return FindDeleteExtent(key, h, &record);
}

std::size_t CHFSPlusVolume::getAttribute(std::uint32_t fileID, const char* name, std::vector<std::uint8_t>& data) {
  data.clear();
  if (name == nullptr) return 0;
  const HFSPlusAttrKey key = MakeAttrKey(fileID, name);
  HFSPlusAttrRecord record;
  HFSPlusSearchResult r;
  bool found = m_pAttributes && result::Succeeded(m_pAttributes->Search(key, r, &record)) && r.found != 0;
  if (!found) found = FindDeleteAttribute(key, r, &record);
  if (!found) return 0;
  if (record.recordType != hfs::kAttrInlineData) {
    std::fprintf(stderr, "unsupported attribute node format\n");
    return 0;
  }
  data = std::move(record.inlineData);
  return data.size();
}

int CHFSPlusVolume::GetNodeBelongToFile(std::uint64_t offset) const {
  if (m_pCatalogFile && m_pCatalogFile->Contains(offset)) return kSpecialCatalog;
  if (m_pExtentsFile && m_pExtentsFile->Contains(offset)) return kSpecialExtents;
  if (m_pAttributesFile && m_pAttributesFile->Contains(offset)) return kSpecialAttributes;
  if (!m_pVolumeHeader) return kSpecialNone;
  auto inFork = [&](const HFSPlusForkData& fork) {
    const std::uint64_t bs = m_pVolumeHeader->blockSize;
    for (const auto& e : fork.extents) {
      if (e.blockCount != 0 && offset >= bs * e.startBlock &&
          offset < bs * (std::uint64_t{e.startBlock} + e.blockCount)) {
        return true;
      }
    }
    return false;
  };
  if (inFork(m_pVolumeHeader->allocationFile)) return kSpecialAllocation;
  if (inFork(m_pVolumeHeader->startupFile)) return kSpecialStartup;
  return kSpecialNone;
}

bool CHFSPlusVolume::IsBelongToFile(std::uint32_t fileID, const HFSPlusForkData& fork, std::uint64_t offset) {
  if (!m_pVolumeHeader) return false;
  std::vector<HFSPlusExtentDescriptor> extents;
  ExtentChainOptions options;
  if (result::Failed(BuildExtentChain(this, fileID, fork, options, extents))) return false;
  const std::uint64_t bs = m_pVolumeHeader->blockSize;
  return std::any_of(extents.begin(), extents.end(), [&](const HFSPlusExtentDescriptor& e) {
    return offset >= bs * e.startBlock && offset < bs * (std::uint64_t{e.startBlock} + e.blockCount);
  });
}

int CHFSPlusVolume::CompareCatalogKey(const HFSPlusCatalogKey& a, const HFSPlusCatalogKey& b) const {
  const bool binary = m_pVolumeHeader && m_pVolumeHeader->IsHfsx() && m_u8KeyCompareType == hfs::kBinaryCompare;
  return CompareCatalogKeys(a, b, binary);
}

bool CHFSPlusVolume::FindDeleteCatalog(const HFSPlusCatalogKey& key, HFSPlusSearchResult& r,
                                       HFSPlusCatalogRecord* record) {
  for (const auto& [k, v] : m_harvestedCatalog) {
    if (CompareCatalogKey(k, key) == 0) {
      r.found = 1;
      if (record != nullptr) *record = v;
      return true;
    }
  }
  return false;
}

bool CHFSPlusVolume::FindDeleteExtent(const HFSPlusExtentKey& key, HFSPlusSearchResult& r,
                                      HFSPlusExtentRecord* record) {
  for (const auto& [k, v] : m_harvestedExtents) {
    if (CompareExtentKeys(k, key) == 0) {
      r.found = 1;
      if (record != nullptr) *record = v;
      return true;
    }
  }
  return false;
}

bool CHFSPlusVolume::FindDeleteAttribute(const HFSPlusAttrKey& key, HFSPlusSearchResult& r, HFSPlusAttrRecord* record) {
  for (const auto& [k, v] : m_harvestedAttributes) {
    if (CompareAttrKeys(k, key) == 0) {
      r.found = 1;
      if (record != nullptr) *record = v;
      return true;
    }
  }
  return false;
}

std::uint32_t CHFSPlusVolume::PrivateDataFolderId() {
  if (m_bPrivateFolderLooked) return m_u32PrivateFolder;
  m_bPrivateFolderLooked = true;
  HFSPlusCatalogRecord folder;
  HFSPlusSearchResult r;
  if (result::Succeeded(SearchCatalog(MakeCatalogKey(hfs::kRootFolderId, PrivateDataName()), r, &folder)) &&
      r.found != 0 && folder.IsFolder()) {
    m_u32PrivateFolder = folder.id;
  }
  return m_u32PrivateFolder;
}

bool CHFSPlusVolume::ResolveHardLink(const HFSPlusCatalogRecord& link, HFSPlusCatalogRecord& target) {
  if (!link.IsFile() || link.fileType != hfs::kHardLinkType || link.fileCreator != hfs::kHfsPlusCreator) return false;
  const std::uint32_t folder = PrivateDataFolderId();
  if (folder == 0) return false;
  const std::string name = "iNode" + std::to_string(link.bsdInfo.special);
  HFSPlusSearchResult r;
  HFSPlusCatalogRecord inode;
  if (result::Failed(SearchCatalog(MakeCatalogKey(folder, text::Utf8ToUtf16(name)), r, &inode)) || r.found == 0 ||
      !inode.IsFile()) {
    return false;
  }
  target = inode;
  return true;
}
