#include "hfsplus/CompressFileReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/model/FileNode.h"
#include "core/util/Log.h"
#include "hfsplus/HfsPlusFileNode.h"
#include "hfsplus/HfsPlusVolume.h"

namespace {
constexpr const char* kDecmpfsName = "com.apple.decmpfs";
}  // namespace

CHFSPlusCompressFileReader::CHFSPlusCompressFileReader(CHFSPlusVolume* volume, CFileNode* node)
    : m_pVolume(volume), m_pNode(node) {}

IFileReader* CHFSPlusCompressFileReader::Clone() { return new CHFSPlusCompressFileReader(m_pVolume, m_pNode); }

long long CHFSPlusCompressFileReader::GetDataSize() { return m_pNode == nullptr ? 0 : m_pNode->GetFileSize(); }

int CHFSPlusCompressFileReader::IsCompressFile() { return m_pNode == nullptr ? 0 : m_pNode->IsCompressed(); }

bool CHFSPlusCompressFileReader::Prepare() {
  if (m_bPrepared) return m_bUsable;
  m_bPrepared = true;
  if (m_pVolume == nullptr || m_pVolume->GetVolumeHeader() == nullptr || m_pNode == nullptr) return false;
  auto* hfsNode = dynamic_cast<CHFSPlusFileNode*>(m_pNode);
  const std::uint32_t id = hfsNode != nullptr ? hfsNode->GetContentId()
                                              : static_cast<std::uint32_t>(m_pNode->GetCurrentNodeID());
  std::vector<std::uint8_t> attribute;
  if (m_pVolume->getAttribute(id, kDecmpfsName, attribute) == 0) return false;
  const auto header = DecodeDecmpfsHeader(ByteView(attribute.data(), attribute.size()));
  if (!header) return false;
  m_header = *header;
  switch (m_header.type) {
    case kDecmpfsZlibInline:
    case kDecmpfsLzvnInline:
      m_bUsable = PrepareInline(attribute);
      break;
    case kDecmpfsZlibResource:
    case kDecmpfsLzvnResource:
      m_bUsable = PrepareResourceFork();
      break;
    default:
      m_bUsable = false;
      break;
  }
  return m_bUsable;
}

bool CHFSPlusCompressFileReader::PrepareInline(const std::vector<std::uint8_t>& attribute) {
  const std::uint64_t want = std::min(m_header.uncompressedSize, kMaxInlineOutput);
  if (want == 0) return true;
  try {
    m_inline.resize(static_cast<std::size_t>(want));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const ByteView payload(attribute.data() + kDecmpfsHeaderSize, attribute.size() - kDecmpfsHeaderSize);
  const std::size_t produced = DecodeDecmpfsChunk(m_header.type, payload, m_inline);
  if (produced != m_header.uncompressedSize) std::fprintf(stderr, "decmpfs: size mismatch\n");
  m_inline.resize(produced);
  return true;
}

std::uint64_t CHFSPlusCompressFileReader::ReadFork(std::uint64_t offset, std::uint8_t* dst, std::uint64_t length) {
  IDataRunList* runs = m_pNode->GetDataRunList();
  if (runs == nullptr) return 0;
  IDataRunList* list = runs->Clone();  // the node's own list keeps a shared cursor
  if (list == nullptr) return 0;
  const std::uint64_t bs = m_pVolume->GetVolumeHeader()->blockSize;
  std::uint64_t done = 0;
  std::uint64_t skip = offset;
  for (const DataRun* run = list->GetFirst(); run != nullptr && done < length; run = list->GetNext()) {
    if (run->start < 0 || run->length <= 0) continue;
    const std::uint64_t bytes = static_cast<std::uint64_t>(run->length) * bs;
    if (skip >= bytes) {
      skip -= bytes;
      continue;
    }
    const std::uint64_t take = std::min(bytes - skip, length - done);
    const std::uint64_t got = m_pVolume->Read(static_cast<std::uint64_t>(run->start) * bs + skip, dst + done, take);
    done += got;
    if (got != take) break;
    skip = 0;
  }
  list->Release();
  return done;
}

bool CHFSPlusCompressFileReader::PrepareResourceFork() {
  if (m_pNode->GetDataRunList() == nullptr) {
    CatchExeception::WriteLog("%s decompress flag %d,got empty IDataRunList\n", "ReadData",
                              static_cast<int>(m_header.type));
    return false;
  }
  std::uint64_t runBytes = 0;
  {
    IDataRunList* list = m_pNode->GetDataRunList()->Clone();
    const std::uint64_t bs = m_pVolume->GetVolumeHeader()->blockSize;
    for (const DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext()) {
      if (run->length > 0) runBytes += static_cast<std::uint64_t>(run->length) * bs;
    }
    list->Release();
  }
  auto* hfsNode = dynamic_cast<CHFSPlusFileNode*>(m_pNode);
  m_forkSize = runBytes;
  if (hfsNode != nullptr && hfsNode->GetForkSize() > 0) {
    m_forkSize = std::min<std::uint64_t>(runBytes, static_cast<std::uint64_t>(hfsNode->GetForkSize()));
  }
  // The table's size comes from its head; both are read from the fork.
  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(m_forkSize, 512)));
  if (head.empty() || ReadFork(0, head.data(), head.size()) != head.size()) return false;
  const bool zlib = m_header.type == kDecmpfsZlibResource;
  const ByteView headView(head.data(), head.size());
  std::uint64_t tableBytes = 0;
  if (zlib) {
    // The resource header names where the block table starts.
    const std::uint64_t r = headView.U32Be(0);
    if (r + 8 > m_forkSize) return false;
    std::vector<std::uint8_t> probe(static_cast<std::size_t>(r + 8));
    if (ReadFork(0, probe.data(), probe.size()) != probe.size()) return false;
    tableBytes = ZlibForkTableBytes(ByteView(probe.data(), probe.size()), m_forkSize);
  } else {
    tableBytes = LzvnForkTableBytes(headView, m_forkSize);
  }
  if (tableBytes == 0) return false;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(tableBytes));
  if (ReadFork(0, table.data(), table.size()) != table.size()) return false;
  const ByteView tableView(table.data(), table.size());
  auto chunks = zlib ? DecodeZlibForkTable(tableView, m_forkSize) : DecodeLzvnForkTable(tableView, m_forkSize);
  if (!chunks) return false;
  m_chunks = std::move(*chunks);
  return true;
}

const std::vector<std::uint8_t>* CHFSPlusCompressFileReader::Chunk(std::size_t index) {
  if (m_cachedIndex && *m_cachedIndex == index) return &m_cached;
  if (index >= m_chunks.size()) return nullptr;
  const std::uint64_t first = static_cast<std::uint64_t>(index) * kDecmpfsChunkSize;
  if (first >= m_header.uncompressedSize) return nullptr;
  const std::uint64_t expected = std::min(kDecmpfsChunkSize, m_header.uncompressedSize - first);
  const DecmpfsChunk& c = m_chunks[index];
  if (c.size > kMaxChunkInput) return nullptr;
  std::vector<std::uint8_t> input(static_cast<std::size_t>(c.size));
  if (ReadFork(c.offset, input.data(), input.size()) != input.size()) return nullptr;
  m_cachedIndex.reset();
  m_cached.assign(static_cast<std::size_t>(expected), 0);
  const std::size_t produced = DecodeDecmpfsChunk(m_header.type, ByteView(input.data(), input.size()), m_cached);
  if (produced != expected) return nullptr;
  m_cachedIndex = index;
  return &m_cached;
}

int CHFSPlusCompressFileReader::ReadData(long long pos, char* buf, unsigned len, int* err) {
  if (err != nullptr) *err = 0;
  if (buf == nullptr || pos < 0 || !Prepare()) {
    if (err != nullptr) *err = -1;
    return 0;
  }
  const auto upos = static_cast<std::uint64_t>(pos);
  if (m_header.type == kDecmpfsZlibInline || m_header.type == kDecmpfsLzvnInline) {
    if (upos >= m_inline.size()) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(len, m_inline.size() - upos));
    std::memcpy(buf, m_inline.data() + upos, n);
    return static_cast<int>(n);
  }
  if (upos >= m_header.uncompressedSize) return 0;
  const std::uint64_t want = std::min<std::uint64_t>(len, m_header.uncompressedSize - upos);
  std::uint64_t done = 0;
  while (done < want) {
    const std::uint64_t at = upos + done;
    const std::vector<std::uint8_t>* chunk = Chunk(static_cast<std::size_t>(at / kDecmpfsChunkSize));
    if (chunk == nullptr) break;
    const std::uint64_t inChunk = at % kDecmpfsChunkSize;
    if (inChunk >= chunk->size()) break;
    const std::uint64_t n = std::min<std::uint64_t>(chunk->size() - inChunk, want - done);
    std::memcpy(buf + done, chunk->data() + inChunk, static_cast<std::size_t>(n));
    done += n;
  }
  if (done == 0 && err != nullptr) *err = -1;
  return static_cast<int>(done);
}
