#pragma once
// Catalog leaf records: folder, file and the two thread kinds, host order.

#include <cstdint>
#include <optional>
#include <string>

#include "core/util/ByteView.h"
#include "hfsplus/ForkData.h"

struct HFSPlusBSDInfo {
  std::uint32_t ownerID = 0;
  std::uint32_t groupID = 0;
  std::uint8_t adminFlags = 0;
  std::uint8_t ownerFlags = 0;
  std::uint16_t fileMode = 0;
  std::uint32_t special = 0;  // iNodeNum of a hard link, link count of an inode
};

struct HFSPlusCatalogRecord {
  std::int16_t recordType = 0;
  std::uint16_t flags = 0;
  std::uint32_t valence = 0;  // folders
  std::uint32_t id = 0;       // folderID or fileID
  std::uint32_t createDate = 0;
  std::uint32_t contentModDate = 0;
  std::uint32_t attributeModDate = 0;
  std::uint32_t accessDate = 0;
  std::uint32_t backupDate = 0;
  HFSPlusBSDInfo bsdInfo;
  std::uint32_t fileType = 0;  // Finder info of files
  std::uint32_t fileCreator = 0;
  HFSPlusForkData dataFork;          // files
  HFSPlusForkData resourceFork;      // files
  std::uint32_t threadParentID = 0;  // threads
  std::u16string threadName;         // threads

  bool IsFolder() const;
  bool IsFile() const;
  bool IsThread() const;
};

// Decodes the record that follows the key of a catalog leaf record. Folder
// and file records must fit whole in the record; threads need their name.
[[nodiscard]] std::optional<HFSPlusCatalogRecord> DecodeCatalogRecord(const ByteView& data);

// Offset of a leaf record's data: after the key, kept even.
[[nodiscard]] std::size_t RecordDataOffset(std::uint16_t keyLength);
