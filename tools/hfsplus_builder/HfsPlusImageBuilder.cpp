#include "hfsplus_builder/HfsPlusImageBuilder.h"

#include <algorithm>
#include <stdexcept>

#include "hfsplus_builder/BTreeWriter.h"
#include "hfsplus_builder/Compressors.h"

namespace hfsbuilder {

namespace {

constexpr std::uint32_t kPrivateData = 16;
constexpr std::uint32_t kPrivateDirData = 17;
constexpr std::uint32_t kHlnk = 0x686C6E6B;
constexpr std::uint32_t kHfsPlusCreator = 0x6866732B;
constexpr std::uint32_t kBlhdrBase = 4096;

std::u16string Utf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c);
      i += 1;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
      out.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F)));
      i += 2;
    } else if (i + 2 < s.size()) {
      out.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F)));
      i += 3;
    } else {
      break;
    }
  }
  return out;
}

Bytes Name16(const std::u16string& name) {
  Bytes b;
  AppendBe16(b, static_cast<std::uint16_t>(name.size()));
  for (char16_t c : name) AppendBe16(b, c);
  return b;
}

Bytes CatalogKey(std::uint32_t parent, const std::u16string& name) {
  Bytes body;
  AppendBe32(body, parent);
  Append(body, Name16(name));
  Bytes key;
  AppendBe16(key, static_cast<std::uint16_t>(body.size()));
  Append(key, body);
  return key;
}

char16_t Fold(char16_t c) {
  if (c == 0) return 0xFFFF;
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  return c;
}

struct Extent {
  std::uint32_t start = 0;
  std::uint32_t count = 0;
};

Bytes ForkData(std::uint64_t logical, const std::vector<Extent>& extents, std::uint32_t totalBlocks) {
  Bytes f;
  PutBe64(f, 0, logical);
  PutBe32(f, 8, 0);
  PutBe32(f, 12, totalBlocks);
  for (std::size_t i = 0; i < 8; ++i) {
    PutBe32(f, 16 + 8 * i, i < extents.size() ? extents[i].start : 0);
    PutBe32(f, 20 + 8 * i, i < extents.size() ? extents[i].count : 0);
  }
  return f;
}

Bytes BsdInfo(std::uint8_t ownerFlags, std::uint16_t mode, std::uint32_t special) {
  Bytes b(16, 0);
  PutBe32(b, 0, 501);
  PutBe32(b, 4, 20);
  b[9] = ownerFlags;
  PutBe16(b, 10, mode);
  PutBe32(b, 12, special);
  return b;
}

std::uint32_t Blocks(std::uint64_t bytes, std::uint32_t bs) {
  return static_cast<std::uint32_t>((bytes + bs - 1) / bs);
}

}  // namespace

struct HfsPlusImageBuilder::Entry {
  std::uint32_t id = 0;
  std::uint32_t parent = 0;
  std::u16string name;
  bool folder = false;
  bool deleted = false;
  Bytes data;
  FileOptions options;
  std::uint32_t linkTo = 0;     // a hard link: the inode number
  std::uint32_t linkCount = 0;  // an inode file: its links
  // Layout results.
  Bytes fork;  // what the data or resource fork stores
  bool forkIsResource = false;
  Bytes decmpfs;
  std::vector<Extent> extents;
  std::vector<Extent> plainRsrcExtents;
  std::vector<Extent> olderExtents;
};

HfsPlusImageBuilder::HfsPlusImageBuilder(BuilderOptions options) : m_options(std::move(options)) {
  if (m_options.blockSize < 512 || (m_options.blockSize & (m_options.blockSize - 1)) != 0) {
    throw std::invalid_argument("block size");
  }
  auto* priv = new Entry();
  priv->id = kPrivateData;
  priv->parent = kRootFolder;
  priv->name = std::u16string(4, u'\0') + u"HFS+ Private Data";
  priv->folder = true;
  m_entries.push_back(priv);
  auto* dirs = new Entry();
  dirs->id = kPrivateDirData;
  dirs->parent = kRootFolder;
  dirs->name = u".HFS+ Private Directory Data\r";
  dirs->folder = true;
  m_entries.push_back(dirs);
}

HfsPlusImageBuilder::~HfsPlusImageBuilder() {
  for (Entry* e : m_entries) delete e;
}

std::uint32_t HfsPlusImageBuilder::AddFolder(std::uint32_t parent, const std::string& name) {
  auto* e = new Entry();
  e->id = m_nextId++;
  e->parent = parent;
  e->name = Utf16(name);
  e->folder = true;
  m_entries.push_back(e);
  return e->id;
}

std::uint32_t HfsPlusImageBuilder::AddFile(std::uint32_t parent, const std::string& name, Bytes data,
                                           FileOptions options) {
  if (options.compression != Compression::kNone && !m_options.attributesFile) {
    throw std::invalid_argument("compressed files need an attributes file");
  }
  auto* e = new Entry();
  e->id = m_nextId++;
  e->parent = parent;
  e->name = Utf16(name);
  e->data = data;
  e->options = std::move(options);
  m_entries.push_back(e);
  m_files[e->id] = BuiltFile{e->id, parent, name, std::move(data), false};
  return e->id;
}

std::uint32_t HfsPlusImageBuilder::AddHardLink(std::uint32_t parent, const std::string& name, std::uint32_t target) {
  auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](Entry* e) { return e->id == target && !e->folder; });
  if (it == m_entries.end()) throw std::invalid_argument("no such file");
  Entry* file = *it;
  if (file->linkTo == 0) {
    auto* inode = new Entry(*file);
    inode->id = m_nextId++;
    inode->parent = kPrivateData;
    // The inode's name carries its own catalog id, which links name.
    const std::uint32_t number = inode->id;
    inode->name = Utf16("iNode" + std::to_string(number));
    inode->linkCount = 1;
    m_entries.push_back(inode);
    file->linkTo = number;
    file->options = FileOptions{};
    file->options.createDate = inode->options.createDate;
  }
  auto inode = std::find_if(m_entries.begin(), m_entries.end(), [&](Entry* e) {
    return e->parent == kPrivateData && e->name == Utf16("iNode" + std::to_string(file->linkTo));
  });
  (*inode)->linkCount++;
  auto* link = new Entry();
  link->id = m_nextId++;
  link->parent = parent;
  link->name = Utf16(name);
  link->linkTo = file->linkTo;
  m_entries.push_back(link);
  m_files[link->id] = BuiltFile{link->id, parent, name, m_files[target].data, false};
  return link->id;
}

void HfsPlusImageBuilder::Delete(std::uint32_t id) {
  for (Entry* e : m_entries) {
    if (e->id == id) e->deleted = true;
  }
  if (m_files.count(id) != 0) m_files[id].deleted = true;
}

Bytes HfsPlusImageBuilder::Build() { return BuildImage(); }

Bytes HfsPlusImageBuilder::BuildImage() {
  const BuilderOptions& o = m_options;
  const std::uint32_t bs = o.blockSize;
  const std::uint32_t date = o.date;
  auto dateOr = [&](std::uint32_t d) { return d == 0 ? date : d; };

  // Fork contents.
  for (Entry* e : m_entries) {
    if (e->folder || e->linkTo != 0) continue;
    switch (e->options.compression) {
      case Compression::kNone:
        e->fork = e->data;
        break;
      case Compression::kZlibInline: {
        Bytes payload;
        if (e->options.rawChunks) {
          payload.push_back(0xFF);
          Append(payload, e->data);
        } else {
          payload = ZlibCompress(e->data);
        }
        e->decmpfs = DecmpfsAttribute(3, e->data.size(), payload);
        break;
      }
      case Compression::kLzvnInline: {
        Bytes payload;
        if (e->options.rawChunks) {
          payload.push_back(0x06);
          Append(payload, e->data);
        } else {
          payload = LzvnCompress(e->data);
        }
        e->decmpfs = DecmpfsAttribute(7, e->data.size(), payload);
        break;
      }
      case Compression::kZlibResource:
        e->fork = ZlibResourceFork(e->data, e->options.rawChunks);
        e->forkIsResource = true;
        e->decmpfs = DecmpfsAttribute(4, e->data.size(), {});
        break;
      case Compression::kLzvnResource:
        e->fork = LzvnResourceFork(e->data, e->options.rawChunks);
        e->forkIsResource = true;
        e->decmpfs = DecmpfsAttribute(8, e->data.size(), {});
        break;
    }
  }

  // Extents overflow records depend only on extent counts; lay out blocks first.
  const std::uint32_t headBlocks = Blocks(1536, bs);
  const std::uint32_t nodeBlocks = Blocks(o.nodeSize, bs);
  std::uint32_t jhdr = o.sectorSize;
  const std::uint32_t blhdr = std::max(kBlhdrBase, jhdr) * (jhdr >= kBlhdrBase ? 2 : 1);

  // Trees are sized generously: every leaf of the live and the older trees fits.
  auto treeNodes = [&](std::size_t recordBytes) {
    return static_cast<std::uint32_t>(4 + 2 * (recordBytes / (o.nodeSize - 64) + 1));
  };
  std::size_t catalogBytes = 0;
  std::size_t attrBytes = 0;
  std::size_t extentRecords = 0;
  for (Entry* e : m_entries) {
    catalogBytes += 2 * (e->name.size() * 2 + 16) + 260 + 2 * 16;
    attrBytes += e->decmpfs.size() + 64;
    for (const auto& x : e->options.xattrs) attrBytes += x.second.size() + x.first.size() * 2 + 48;
    extentRecords += static_cast<std::size_t>(std::max(1, e->options.fragments) / 8 + 1);
  }
  const std::uint32_t catNodes = treeNodes(catalogBytes + 1024);
  const std::uint32_t extNodes = treeNodes(extentRecords * 80);
  const std::uint32_t attrNodes = o.attributesFile ? treeNodes(attrBytes) : 0;

  std::uint32_t next = headBlocks;
  auto take = [&](std::uint32_t n) {
    const std::uint32_t at = next;
    next += n;
    return at;
  };
  // The allocation file is sized after everything else; reserve a guess
  // (exact when the volume's size is given).
  std::uint32_t allocBlocks = 1;
  const std::uint32_t allocStart = take(0);
  const std::uint32_t allocReserve = o.minTotalBlocks != 0 ? Blocks((o.minTotalBlocks + 7) / 8, bs) : 64;
  next += allocReserve;  // room for the allocation bitmap, fixed below
  std::uint32_t jibBlock = 0;
  std::uint32_t journalStart = 0;
  std::uint64_t journalSize = 0;
  auto placeJournal = [&]() {
    jibBlock = take(1);
    const std::uint64_t tx = blhdr + static_cast<std::uint64_t>(o.nodeSize) * (catNodes + extNodes + attrNodes);
    journalSize = std::max<std::uint64_t>({65536, jhdr + 2 * tx + blhdr, o.journalSize});
    journalSize = (journalSize + bs - 1) / bs * bs;
    journalStart = take(static_cast<std::uint32_t>(journalSize / bs));
  };
  if (o.journaled && o.journalFirst) placeJournal();
  const std::uint32_t extStart = take(extNodes * nodeBlocks);
  const std::uint32_t catStart = take(catNodes * nodeBlocks);
  const std::uint32_t attrStart = take(attrNodes * nodeBlocks);
  if (o.journaled && !o.journalFirst) placeJournal();

  // File data: fragments separated by one free block.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> freeGaps;
  auto place = [&](std::uint64_t bytes, int fragments) {
    std::vector<Extent> extents;
    const std::uint32_t blocks = Blocks(bytes, bs);
    if (blocks == 0) return extents;
    const std::uint32_t pieces = std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(1, fragments)), blocks);
    std::uint32_t left = blocks;
    for (std::uint32_t i = 0; i < pieces; ++i) {
      const std::uint32_t n = i + 1 == pieces ? left : blocks / pieces;
      extents.push_back({take(n), n});
      left -= n;
      if (i + 1 < pieces) take(1);
    }
    return extents;
  };
  for (Entry* e : m_entries) {
    if (e->folder) continue;
    e->extents = place(e->fork.size(), e->options.fragments);
    if (!e->options.resourceFork.empty()) e->plainRsrcExtents = place(e->options.resourceFork.size(), 1);
    if (!e->options.olderVersion.empty()) e->olderExtents = place(e->options.olderVersion.size(), 1);
  }
  const std::uint32_t tailBlocks = Blocks(1024, bs) + 1;
  std::uint32_t totalBlocks = std::max(next + tailBlocks + 8, o.minTotalBlocks);
  allocBlocks = Blocks((totalBlocks + 7) / 8, bs);
  if (allocBlocks > allocReserve) throw std::runtime_error("volume too large for the builder");

  Bytes img(static_cast<std::size_t>(totalBlocks) * bs, 0);
  auto put = [&](std::uint64_t at, const Bytes& b) {
    std::copy(b.begin(), b.end(), img.begin() + static_cast<long>(at));
  };

  // Data.
  auto writeExtents = [&](const std::vector<Extent>& extents, const Bytes& bytes) {
    std::uint64_t done = 0;
    for (const Extent& x : extents) {
      const std::uint64_t n = std::min<std::uint64_t>(bytes.size() - done, std::uint64_t{x.count} * bs);
      std::copy(bytes.begin() + static_cast<long>(done), bytes.begin() + static_cast<long>(done + n),
                img.begin() + static_cast<long>(std::uint64_t{x.start} * bs));
      done += n;
    }
  };
  for (Entry* e : m_entries) {
    if (e->folder) continue;
    writeExtents(e->extents, e->fork);
    writeExtents(e->plainRsrcExtents, e->options.resourceFork);
    writeExtents(e->olderExtents, e->options.olderVersion);
  }

  // Catalog, extents and attributes records, live and older.
  struct Keyed {
    std::uint32_t parent;
    std::u16string name;
    TreeRecord record;
  };
  auto buildTrees = [&](bool includeDeleted, std::vector<TreeRecord>& cat, std::vector<TreeRecord>& ext,
                        std::vector<TreeRecord>& attr, std::uint32_t& files, std::uint32_t& folders) {
    std::vector<Keyed> keyed;
    files = 0;
    folders = 0;
    auto live = [&](const Entry* e) { return includeDeleted || !e->deleted; };
    auto valence = [&](std::uint32_t id) {
      std::uint32_t n = 0;
      for (const Entry* c : m_entries) n += (c->parent == id && live(c)) ? 1 : 0;
      return n;
    };
    auto folderRecord = [&](std::uint32_t id, std::uint32_t count) {
      Bytes r;
      PutBe16(r, 0, 1);
      PutBe32(r, 4, count);
      PutBe32(r, 8, id);
      for (int i = 0; i < 4; ++i) PutBe32(r, 12 + 4 * i, date);
      r.resize(32, 0);
      Append(r, BsdInfo(0, 040755, 0));
      r.resize(88, 0);
      return r;
    };
    auto thread = [&](std::int16_t type, std::uint32_t parent, const std::u16string& name) {
      Bytes r;
      PutBe16(r, 0, static_cast<std::uint16_t>(type));
      PutBe32(r, 4, parent);
      Append(r, Name16(name));
      return r;
    };
    const std::u16string volumeName = Utf16(o.volumeName);
    keyed.push_back({1, volumeName, {CatalogKey(1, volumeName), folderRecord(kRootFolder, valence(kRootFolder))}});
    keyed.push_back({kRootFolder, u"", {CatalogKey(kRootFolder, u""), thread(3, 1, volumeName)}});
    for (const Entry* e : m_entries) {
      if (!live(e)) continue;
      Bytes r;
      if (e->folder) {
        r = folderRecord(e->id, valence(e->id));
        ++folders;
      } else {
        ++files;
        const FileOptions& fo = e->options;
        // The older trees list a file that had an earlier content with it.
        const bool older = includeDeleted && !fo.olderVersion.empty();
        const std::uint32_t modified = older ? dateOr(fo.olderModifyDate) : dateOr(fo.modifyDate);
        PutBe16(r, 0, 2);
        PutBe16(r, 2, static_cast<std::uint16_t>(0x2 | (e->linkTo != 0 || e->linkCount != 0 ? 0x20 : 0)));
        PutBe32(r, 8, e->id);
        PutBe32(r, 12, dateOr(fo.createDate));
        PutBe32(r, 16, modified);
        PutBe32(r, 20, modified);
        PutBe32(r, 24, older ? modified : dateOr(fo.accessDate));
        const bool compressed = fo.compression != Compression::kNone;
        const std::uint32_t special = e->linkTo != 0 ? e->linkTo : e->linkCount;
        r.resize(32, 0);
        Append(r, BsdInfo(compressed ? 0x20 : 0, 0100644, special));
        if (e->linkTo != 0) {
          PutBe32(r, 48, kHlnk);
          PutBe32(r, 52, kHfsPlusCreator);
        }
        r.resize(88, 0);
        const Bytes& content = older ? fo.olderVersion : e->fork;
        const Bytes fork = ForkData(content.size(), older ? e->olderExtents : e->extents, Blocks(content.size(), bs));
        const Bytes empty = ForkData(0, {}, 0);
        if (e->forkIsResource) {
          Append(r, empty);
          Append(r, fork);
        } else {
          Append(r, fork);
          Append(r, ForkData(fo.resourceFork.size(), e->plainRsrcExtents, Blocks(fo.resourceFork.size(), bs)));
        }
        // Overflow records for extents past the eighth.
        const std::uint8_t forkType = e->forkIsResource ? 0xFF : 0x00;
        std::uint32_t covered = 0;
        for (std::size_t i = 0; i < e->extents.size(); ++i) {
          if (i >= 8 && i % 8 == 0) {
            Bytes key;
            PutBe16(key, 0, 10);
            key.push_back(forkType);
            key.push_back(0);
            AppendBe32(key, e->id);
            AppendBe32(key, covered);
            Bytes data;
            for (std::size_t j = i; j < i + 8; ++j) {
              AppendBe32(data, j < e->extents.size() ? e->extents[j].start : 0);
              AppendBe32(data, j < e->extents.size() ? e->extents[j].count : 0);
            }
            ext.push_back({key, data});
          }
          covered += e->extents[i].count;
        }
        // Attributes.
        auto addAttr = [&](const std::string& name, const Bytes& value) {
          const std::u16string n = Utf16(name);
          Bytes key;
          PutBe16(key, 0, static_cast<std::uint16_t>(12 + 2 * n.size()));
          AppendBe16(key, 0);
          AppendBe32(key, e->id);
          AppendBe32(key, 0);
          Append(key, Name16(n));
          Bytes data;
          PutBe32(data, 0, 0x10);
          PutBe32(data, 12, static_cast<std::uint32_t>(value.size()));
          Append(data, value);
          attr.push_back({key, data});
        };
        if (!e->decmpfs.empty()) addAttr("com.apple.decmpfs", e->decmpfs);
        for (const auto& x : fo.xattrs) addAttr(x.first, x.second);
      }
      keyed.push_back({e->parent, e->name, {CatalogKey(e->parent, e->name), r}});
      keyed.push_back({e->id, u"", {CatalogKey(e->id, u""), thread(e->folder ? 3 : 4, e->parent, e->name)}});
    }
    const bool binary = o.hfsx;
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
      if (a.parent != b.parent) return a.parent < b.parent;
      const std::size_t n = std::min(a.name.size(), b.name.size());
      for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = binary ? a.name[i] : Fold(a.name[i]);
        const char16_t y = binary ? b.name[i] : Fold(b.name[i]);
        if (x != y) return x < y;
      }
      return a.name.size() < b.name.size();
    });
    cat.clear();
    for (auto& k : keyed) cat.push_back(std::move(k.record));
    auto keyLess = [](const TreeRecord& a, const TreeRecord& b) { return a.key < b.key; };
    std::sort(ext.begin(), ext.end(), [](const TreeRecord& a, const TreeRecord& b) {
      // fileID, forkType, startBlock
      const Bytes ka{a.key[4], a.key[5], a.key[6], a.key[7], a.key[2], a.key[8], a.key[9], a.key[10], a.key[11]};
      const Bytes kb{b.key[4], b.key[5], b.key[6], b.key[7], b.key[2], b.key[8], b.key[9], b.key[10], b.key[11]};
      return ka < kb;
    });
    std::sort(attr.begin(), attr.end(), [](const TreeRecord& a, const TreeRecord& b) {
      const Bytes ka(a.key.begin() + 4, a.key.begin() + 8);
      const Bytes kb(b.key.begin() + 4, b.key.begin() + 8);
      if (ka != kb) return ka < kb;
      return Bytes(a.key.begin() + 14, a.key.end()) < Bytes(b.key.begin() + 14, b.key.end());
    });
    (void)keyLess;
  };

  std::vector<TreeRecord> cat, ext, attr, oldCat, oldExt, oldAttr;
  std::uint32_t fileCount = 0, folderCount = 0, unused1 = 0, unused2 = 0;
  buildTrees(false, cat, ext, attr, fileCount, folderCount);
  buildTrees(true, oldCat, oldExt, oldAttr, unused1, unused2);

  TreeShape catShape;
  catShape.nodeSize = o.nodeSize;
  catShape.maxKeyLength = 516;
  catShape.keyCompareType = o.hfsx ? 0xBC : 0xCF;
  TreeShape extShape;
  extShape.nodeSize = o.nodeSize;
  extShape.maxKeyLength = 10;
  extShape.attributes = 2;
  extShape.variableIndexKeys = false;
  TreeShape attrShape;
  attrShape.nodeSize = o.nodeSize;
  attrShape.maxKeyLength = 266;
  for (const auto* t : {&cat, &oldCat}) {
    if (NodesNeeded(*t, catShape) > catNodes) throw std::runtime_error("catalog too large");
  }
  auto writeTree = [&](const std::vector<TreeRecord>& recs, const TreeShape& shape, std::uint32_t nodes,
                       std::uint32_t start) {
    const auto written = WriteTree(recs, shape, nodes);
    for (std::size_t i = 0; i < written.size(); ++i) put(std::uint64_t{start} * bs + i * shape.nodeSize, written[i]);
  };
  writeTree(cat, catShape, catNodes, catStart);
  writeTree(ext, extShape, extNodes, extStart);
  if (o.attributesFile) writeTree(attr, attrShape, attrNodes, attrStart);

  // Allocation bitmap: everything placed is in use, except the blocks of
  // deleted files and the gaps between fragments.
  const std::uint32_t treesEnd = attrStart + attrNodes * nodeBlocks;
  const std::uint32_t dataStart =
      o.journaled ? std::max(journalStart + static_cast<std::uint32_t>(journalSize / bs), treesEnd) : treesEnd;
  std::vector<bool> used(totalBlocks, false);
  for (std::uint32_t b = 0; b < dataStart; ++b) used[b] = true;
  for (std::uint32_t b = 0; b < tailBlocks; ++b) used[totalBlocks - 1 - b] = true;
  for (Entry* e : m_entries) {
    if (e->deleted) continue;
    for (const auto* list : {&e->extents, &e->plainRsrcExtents}) {
      for (const Extent& x : *list) {
        for (std::uint32_t b = x.start; b < x.start + x.count; ++b) used[b] = true;
      }
    }
  }
  std::uint32_t freeBlocks = 0;
  Bytes bitmap(static_cast<std::size_t>(allocBlocks) * bs, 0);
  for (std::uint32_t b = 0; b < totalBlocks; ++b) {
    if (used[b]) {
      bitmap[b / 8] |= static_cast<std::uint8_t>(0x80 >> (b % 8));
    } else {
      ++freeBlocks;
    }
  }
  put(std::uint64_t{allocStart} * bs, bitmap);

  // Volume header and its alternate copy.
  Bytes vh(512, 0);
  PutBe16(vh, 0, o.hfsx ? 0x4858 : 0x482B);
  PutBe16(vh, 2, o.hfsx ? 5 : 4);
  PutBe32(vh, 4, 0x100 | (o.journaled ? 0x2000 : 0));
  PutBe32(vh, 8, o.journaled ? 0x4846534A : 0x31302E30);  // "HFSJ" / "10.0"
  PutBe32(vh, 12, jibBlock);
  PutBe32(vh, 16, date);
  PutBe32(vh, 20, date);
  PutBe32(vh, 28, date);
  PutBe32(vh, 32, fileCount);
  PutBe32(vh, 36, folderCount);
  PutBe32(vh, 40, bs);
  PutBe32(vh, 44, totalBlocks);
  PutBe32(vh, 48, freeBlocks);
  PutBe32(vh, 52, next);
  PutBe32(vh, 56, bs);
  PutBe32(vh, 60, bs);
  PutBe32(vh, 64, m_nextId);
  PutBe32(vh, 68, 1);
  PutBe64(vh, 72, 1);
  PutBe32(vh, 104, static_cast<std::uint32_t>(o.volumeId >> 32));
  PutBe32(vh, 108, static_cast<std::uint32_t>(o.volumeId));
  auto special = [&](std::size_t at, std::uint32_t start, std::uint32_t blocks) {
    const Bytes f = blocks == 0 ? ForkData(0, {}, 0) : ForkData(std::uint64_t{blocks} * bs, {{start, blocks}}, blocks);
    std::copy(f.begin(), f.end(), vh.begin() + static_cast<long>(at));
  };
  special(112, allocStart, allocBlocks);
  special(192, extStart, extNodes * nodeBlocks);
  special(272, catStart, catNodes * nodeBlocks);
  special(352, attrStart, attrNodes * nodeBlocks);
  put(1024, vh);
  put(img.size() - 1024, vh);

  // Journal: info block, header, one transaction with the older leaves.
  if (o.journaled) {
    Bytes jib(bs, 0xDB);
    std::fill(jib.begin(), jib.begin() + 180, 0);
    PutBe32(jib, 0, 1);
    PutBe64(jib, 36, std::uint64_t{journalStart} * bs);
    PutBe64(jib, 44, journalSize);
    put(std::uint64_t{jibBlock} * bs, jib);

    struct Copy {
      std::uint64_t bnum;
      Bytes node;
    };
    std::vector<Copy> copies;
    auto addCopies = [&](const std::vector<TreeRecord>& recs, const TreeShape& shape, std::uint32_t nodes,
                         std::uint32_t start) {
      if (recs.empty()) return;
      const auto written = WriteTree(recs, shape, nodes);
      for (std::uint32_t n : LeafNodes(recs, shape)) {
        const std::uint64_t at = std::uint64_t{start} * bs + std::uint64_t{n} * shape.nodeSize;
        copies.push_back({at / jhdr, written[n]});
      }
    };
    if (o.journalVolumeHeader) {
      Bytes sector(jhdr, 0);
      std::copy(vh.begin(), vh.end(), sector.begin() + static_cast<long>(1024 % jhdr));
      copies.push_back({1024 / jhdr, std::move(sector)});
    }
    addCopies(oldCat, catShape, catNodes, catStart);
    addCopies(oldExt, extShape, extNodes, extStart);
    if (o.attributesFile) addCopies(oldAttr, attrShape, attrNodes, attrStart);

    Bytes tx(blhdr, 0);
    PutLe16(tx, 0, static_cast<std::uint16_t>(blhdr / 16 - 1));
    PutLe16(tx, 2, static_cast<std::uint16_t>(copies.size() + 1));
    std::uint32_t bytesUsed = blhdr;
    for (std::size_t i = 0; i < copies.size(); ++i) {
      PutLe64(tx, 16 * (i + 2), copies[i].bnum);
      PutLe32(tx, 16 * (i + 2) + 8, static_cast<std::uint32_t>(copies[i].node.size()));
      bytesUsed += static_cast<std::uint32_t>(copies[i].node.size());
    }
    PutLe32(tx, 4, bytesUsed);
    for (const Copy& c : copies) Append(tx, c.node);

    const std::uint64_t base = std::uint64_t{journalStart} * bs;
    std::uint64_t pos = jhdr;
    if (o.wrapJournal) pos = jhdr < kBlhdrBase ? journalSize - blhdr - jhdr : journalSize - jhdr;
    for (std::uint8_t byte : tx) {
      img[base + pos] = byte;
      if (++pos == journalSize) pos = jhdr;
    }
    Bytes jh;
    PutLe32(jh, 0, 0x4A4E4C78);
    PutLe32(jh, 4, 0x12345678);
    PutLe64(jh, 8, pos);
    PutLe64(jh, 16, pos);
    PutLe64(jh, 24, journalSize);
    PutLe32(jh, 32, blhdr);
    PutLe32(jh, 36, 0);
    PutLe32(jh, 40, jhdr);
    put(base, jh);
  }
  return img;
}

}  // namespace hfsbuilder
