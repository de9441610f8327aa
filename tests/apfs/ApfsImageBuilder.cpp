#include "apfs/ApfsImageBuilder.h"

#include <algorithm>
#include <cstring>

#include "apfs/ApfsObject.h"
#include "core/util/ByteView.h"

namespace apfstest {

void PutU16(Bytes& b, std::size_t off, std::uint16_t v) { ByteWriter(b).PutU16Le(off, v); }
void PutU32(Bytes& b, std::size_t off, std::uint32_t v) { ByteWriter(b).PutU32Le(off, v); }
void PutU64(Bytes& b, std::size_t off, std::uint64_t v) { ByteWriter(b).PutU64Le(off, v); }

Bytes MakeObject(std::uint64_t oid, std::uint32_t type, std::uint32_t subtype, std::uint64_t xid) {
  Bytes b(kBlock, 0);
  PutU64(b, 8, oid);
  PutU64(b, 16, xid);
  PutU32(b, 24, type);
  PutU32(b, 28, subtype);
  return b;
}

void Seal(Bytes& block) { PutU64(block, 0, apfs::ComputeChecksum(ByteView(block.data(), block.size()))); }

void SealAt(Bytes& image, std::uint64_t block) {
  const std::size_t off = At(block);
  const std::uint64_t sum = apfs::ComputeChecksum(ByteView(image.data() + off, kBlock));
  ByteWriter(std::span<std::uint8_t>(image.data() + off, kBlock)).PutU64Le(0, sum);
}

Bytes MakeFsNode(std::uint64_t oid, std::uint32_t type, std::uint16_t flags, const std::vector<Record>& records) {
  Bytes b = MakeObject(oid, type, 14);
  const bool root = (flags & 1) != 0;
  const std::size_t areaEnd = kBlock - (root ? 40 : 0);
  const std::size_t tocLen = records.size() * 8;
  PutU16(b, 32, flags);
  PutU32(b, 36, static_cast<std::uint32_t>(records.size()));
  PutU16(b, 40, 0);
  PutU16(b, 42, static_cast<std::uint16_t>(tocLen));
  std::size_t keyOff = 0;
  std::size_t valueOff = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Record& r = records[i];
    const std::size_t k = 56 + tocLen + keyOff;
    valueOff += r.value.size();
    const std::size_t v = areaEnd - valueOff;
    std::copy(r.key.begin(), r.key.end(), b.begin() + static_cast<long>(k));
    std::copy(r.value.begin(), r.value.end(), b.begin() + static_cast<long>(v));
    PutU16(b, 56 + i * 8, static_cast<std::uint16_t>(keyOff));
    PutU16(b, 56 + i * 8 + 2, static_cast<std::uint16_t>(r.key.size()));
    PutU16(b, 56 + i * 8 + 4, static_cast<std::uint16_t>(valueOff));
    PutU16(b, 56 + i * 8 + 6, static_cast<std::uint16_t>(r.value.size()));
    keyOff += (r.key.size() + 7) & ~std::size_t{7};
  }
  Seal(b);
  return b;
}

Bytes MakeOmapRootLeaf(std::uint64_t oid, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& map) {
  Bytes b = MakeObject(oid, 0x40000002, 11);
  const std::size_t tocLen = map.size() * 4;
  PutU16(b, 32, 7);
  PutU32(b, 36, static_cast<std::uint32_t>(map.size()));
  PutU16(b, 42, static_cast<std::uint16_t>(tocLen));
  const std::size_t areaEnd = kBlock - 40;
  for (std::size_t i = 0; i < map.size(); ++i) {
    const std::size_t k = 56 + tocLen + i * 16;
    const std::size_t valueOff = (i + 1) * 16;
    PutU64(b, k, map[i].first);
    PutU64(b, k + 8, 1);
    PutU32(b, areaEnd - valueOff, 0);
    PutU32(b, areaEnd - valueOff + 4, 4096);
    PutU64(b, areaEnd - valueOff + 8, map[i].second);
    PutU16(b, 56 + i * 4, static_cast<std::uint16_t>(i * 16));
    PutU16(b, 56 + i * 4 + 2, static_cast<std::uint16_t>(valueOff));
  }
  Seal(b);
  return b;
}

namespace {

Bytes Key(std::uint64_t oid, std::uint8_t kind, std::size_t size) {
  Bytes k(size, 0);
  PutU64(k, 0, (static_cast<std::uint64_t>(kind) << 56) | oid);
  return k;
}

}  // namespace

namespace {

Bytes XattrKey(std::uint64_t owner, const std::string& name) {
  Bytes k = Key(owner, 0x40, 10);
  PutU16(k, 8, static_cast<std::uint16_t>(name.size() + 1));
  k.insert(k.end(), name.begin(), name.end());
  k.push_back(0);
  return k;
}

}  // namespace

Record XattrEmbedded(std::uint64_t owner, const std::string& name, const Bytes& data) {
  Record r;
  r.key = XattrKey(owner, name);
  r.value.assign(4, 0);
  PutU16(r.value, 0, 2);
  PutU16(r.value, 2, static_cast<std::uint16_t>(data.size()));
  r.value.insert(r.value.end(), data.begin(), data.end());
  return r;
}

Record XattrStream(std::uint64_t owner, const std::string& name, std::uint64_t stream, std::uint64_t size) {
  Record r;
  r.key = XattrKey(owner, name);
  r.value.assign(4 + 48, 0);
  PutU16(r.value, 0, 1);
  PutU16(r.value, 2, 48);
  PutU64(r.value, 4, stream);
  PutU64(r.value, 12, size);
  PutU64(r.value, 20, (size + kBlock - 1) / kBlock * kBlock);
  return r;
}

void SetBsdFlags(Record& inode, std::uint32_t flags) { PutU32(inode.value, 68, flags); }

Record Inode(std::uint64_t oid, std::uint64_t parent, std::int64_t created, std::uint16_t mode, const std::string& name,
             std::uint64_t size, bool withSize) {
  Record r;
  r.key = Key(oid, 0x30, 8);
  const std::size_t nameSize = name.size() + 1;
  const std::size_t nameSlot = (nameSize + 7) & ~std::size_t{7};
  const std::uint16_t fields = withSize ? 2 : 1;
  Bytes v(96 + 4 * fields + nameSlot + (withSize ? 40 : 0), 0);
  PutU64(v, 0, parent);
  PutU64(v, 8, oid);
  PutU64(v, 16, static_cast<std::uint64_t>(created));
  PutU64(v, 24, static_cast<std::uint64_t>(created + 1000000000LL));
  PutU64(v, 32, static_cast<std::uint64_t>(created + 2000000000LL));
  PutU64(v, 40, static_cast<std::uint64_t>(created + 3000000000LL));
  PutU16(v, 80, mode);
  PutU16(v, 92, fields);
  v[96] = 4;
  v[97] = 2;
  PutU16(v, 98, static_cast<std::uint16_t>(nameSize));
  std::size_t data = 96 + 4 * fields;
  std::memcpy(v.data() + data, name.c_str(), nameSize);
  data += nameSlot;
  if (withSize) {
    v[100] = 8;
    v[101] = 0x20;
    PutU16(v, 102, 40);
    PutU64(v, data, size);
  }
  r.value = v;
  return r;
}

Record DirEntry(std::uint64_t parent, const std::string& name, std::uint64_t fileId, std::int64_t dateAdded,
                bool folder) {
  Record r;
  r.key = Key(parent, 0x90, 12 + name.size() + 1);
  PutU32(r.key, 8, static_cast<std::uint32_t>(name.size() + 1) | 0xABCD000u);
  std::memcpy(r.key.data() + 12, name.c_str(), name.size() + 1);
  r.value.assign(18, 0);
  PutU64(r.value, 0, fileId);
  PutU64(r.value, 8, static_cast<std::uint64_t>(dateAdded));
  PutU16(r.value, 16, folder ? 4 : 8);
  return r;
}

Record Extent(std::uint64_t owner, std::uint64_t logical, std::uint64_t length, std::uint64_t physical) {
  Record r;
  r.key = Key(owner, 0x80, 16);
  PutU64(r.key, 8, logical);
  r.value.assign(24, 0);
  PutU64(r.value, 0, length);
  PutU64(r.value, 8, physical);
  return r;
}

Bytes BuildContainer(const Container& c) {
  Bytes image(c.blockCount * kBlock, 0);
  auto place = [&image](std::uint64_t block, const Bytes& b) {
    std::copy(b.begin(), b.end(), image.begin() + static_cast<long>(At(block)));
  };
  Bytes nx = MakeObject(1, 0x80000001, 0);
  PutU32(nx, 32, 0x4253584E);
  PutU32(nx, 36, 4096);
  PutU64(nx, 40, c.blockCount);
  for (int i = 0; i < 16; ++i) nx[72 + i] = static_cast<std::uint8_t>(0xA0 + i);
  PutU32(nx, 136, 0);
  PutU64(nx, 160, 2);
  Seal(nx);
  place(0, nx);

  Bytes omap = MakeObject(2, 0x4000000B, 0);
  PutU64(omap, 48, 3);
  Seal(omap);
  place(2, omap);
  place(3, MakeOmapRootLeaf(3, {{1026, 4}}));

  Bytes apsb = MakeObject(1026, 0x0000000D, 0);
  PutU32(apsb, 32, 0x42535041);
  PutU64(apsb, 128, 5);
  for (int i = 0; i < 16; ++i) apsb[240 + i] = static_cast<std::uint8_t>(0x10 + i);
  std::memcpy(apsb.data() + 704, c.volumeName.data(), std::min<std::size_t>(c.volumeName.size(), 255));
  Seal(apsb);
  place(4, apsb);

  Bytes vomap = MakeObject(5, 0x4000000B, 0);
  PutU64(vomap, 48, 6);
  Seal(vomap);
  place(5, vomap);
  place(6, MakeOmapRootLeaf(6, {{1028, 7}}));
  place(7, MakeFsNode(1028, 2, 3, c.records));
  for (const auto& [block, data] : c.dataBlocks) {
    Bytes padded = data;
    padded.resize(kBlock, 0);
    place(block, padded);
  }
  return image;
}

}  // namespace apfstest
