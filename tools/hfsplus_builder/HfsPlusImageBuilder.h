#pragma once
// Builds small HFS+ (or HFSX) volume images for tests: folders, files of
// several extents (past 8 through the extents overflow tree), compressed
// files (decmpfs types 3, 4, 7, 8), resource forks, extended attributes,
// hard links, and a journal holding older copies of the tree leaves that
// still list files deleted since (their data left in place).

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "hfsplus_builder/BigEndian.h"

namespace hfsbuilder {

struct BuilderOptions {
  std::uint32_t blockSize = 4096;
  std::uint32_t sectorSize = 512;  // the journal's block size
  std::uint16_t nodeSize = 4096;
  std::uint32_t minTotalBlocks = 0;
  bool journaled = true;
  // The journal info block and the journal right after the allocation file,
  // ahead of the trees and the data, as the system's own formatter lays
  // them out (a 10 MiB volume of 4 KiB blocks: the journal at byte 12288).
  bool journalFirst = false;
  std::uint64_t journalSize = 0;  // 0: just large enough; else rounded to blocks
  // The transaction also holds the sector with the volume header, as the
  // system journals every header update.
  bool journalVolumeHeader = false;
  bool attributesFile = true;
  bool hfsx = false;         // HFSX with binary name order (0xBC)
  bool wrapJournal = false;  // the transaction crosses the buffer end
  std::string volumeName = "TestVol";
  std::uint32_t date = 3787000000u;                // HFS seconds (2024)
  std::uint64_t volumeId = 0x123456789ABCDEF0ull;  // Finder info words 6 and 7
};

enum class Compression { kNone, kZlibInline, kZlibResource, kLzvnInline, kLzvnResource };

struct FileOptions {
  int fragments = 1;  // the data (or resource) fork in this many extents
  Compression compression = Compression::kNone;
  bool rawChunks = false;  // compressed chunks stored with the raw marker
  Bytes resourceFork;      // a plain resource fork
  std::vector<std::pair<std::string, Bytes>> xattrs;
  // An earlier content of the file, in blocks of its own that are free now:
  // the older tree leaves in the journal list the file with it, with
  // `olderModifyDate` as its modification and access dates.
  Bytes olderVersion;
  std::uint32_t olderModifyDate = 0;
  std::uint32_t createDate = 0;  // 0: the builder's date
  std::uint32_t modifyDate = 0;
  std::uint32_t accessDate = 0;
};

struct BuiltFile {
  std::uint32_t id = 0;
  std::uint32_t parent = 0;
  std::string name;
  Bytes data;
  bool deleted = false;
};

class HfsPlusImageBuilder {
 public:
  static constexpr std::uint32_t kRootFolder = 2;

  explicit HfsPlusImageBuilder(BuilderOptions options = {});

  std::uint32_t AddFolder(std::uint32_t parent, const std::string& name);
  std::uint32_t AddFile(std::uint32_t parent, const std::string& name, Bytes data, FileOptions options = {});
  // A hard link to the file `target`: the content moves to an inode file
  // in the private-data folder and both names become links.
  std::uint32_t AddHardLink(std::uint32_t parent, const std::string& name, std::uint32_t target);
  // Removes a file from the live trees; the journal keeps the older leaves
  // that still list it, and its data stays on disk.
  void Delete(std::uint32_t id);

  Bytes Build();

  const std::map<std::uint32_t, BuiltFile>& Files() const { return m_files; }
  std::uint32_t PrivateDataFolder() const { return 16; }

 private:
  struct Entry;
  struct Layout;
  Bytes BuildImage();

  BuilderOptions m_options;
  std::vector<Entry*> m_entries;
  std::map<std::uint32_t, BuiltFile> m_files;
  std::uint32_t m_nextId = 18;

 public:
  ~HfsPlusImageBuilder();
  HfsPlusImageBuilder(const HfsPlusImageBuilder&) = delete;
  HfsPlusImageBuilder& operator=(const HfsPlusImageBuilder&) = delete;
};

}  // namespace hfsbuilder
