#include "core/compress/DecmpfsContent.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

bool DecmpfsContent::IsDecodableType(std::uint32_t type) {
  return type == kDecmpfsZlibInline || type == kDecmpfsLzvnInline || type == kDecmpfsZlibResource ||
         type == kDecmpfsLzvnResource;
}

DecmpfsContent::Status DecmpfsContent::Open(const ByteView& attribute, ForkReader fork, std::uint64_t forkSize) {
  m_bReady = false;
  m_inline.clear();
  m_chunks.clear();
  m_cachedIndex.reset();
  const auto header = DecodeDecmpfsHeader(attribute);
  if (!header) return Status::kDamaged;
  m_header = *header;
  m_fork = std::move(fork);
  m_forkSize = forkSize;
  Status status = Status::kUnsupportedType;
  switch (m_header.type) {
    case kDecmpfsZlibInline:
    case kDecmpfsLzvnInline:
      status = OpenInline(attribute);
      break;
    case kDecmpfsZlibResource:
    case kDecmpfsLzvnResource:
      status = OpenResourceFork();
      break;
    default:
      break;
  }
  m_bReady = status == Status::kReady;
  return status;
}

DecmpfsContent::Status DecmpfsContent::OpenInline(const ByteView& attribute) {
  const std::uint64_t want = std::min(m_header.uncompressedSize, kMaxInlineOutput);
  if (want == 0) return Status::kReady;
  try {
    m_inline.resize(static_cast<std::size_t>(want));
  } catch (const std::bad_alloc&) {
    return Status::kDamaged;
  }
  const ByteView payload = attribute.Sub(kDecmpfsHeaderSize, attribute.Size() - kDecmpfsHeaderSize);
  const std::size_t produced = DecodeDecmpfsChunk(m_header.type, payload, m_inline);
  if (produced != m_header.uncompressedSize) std::fprintf(stderr, "decmpfs: size mismatch\n");
  m_inline.resize(produced);
  return Status::kReady;
}

DecmpfsContent::Status DecmpfsContent::OpenResourceFork() {
  if (!m_fork || m_forkSize == 0) return Status::kDamaged;
  // The table's size comes from its head; both are read from the fork.
  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(m_forkSize, 512)));
  if (m_fork(0, head.data(), head.size()) != head.size()) return Status::kDamaged;
  const bool zlib = m_header.type == kDecmpfsZlibResource;
  const ByteView headView(head.data(), head.size());
  std::uint64_t tableBytes = 0;
  if (zlib) {
    // The resource header names where the block table starts.
    const std::uint64_t r = headView.Has(0, 4) ? headView.U32Be(0) : m_forkSize;
    if (r + 8 > m_forkSize) return Status::kDamaged;
    std::vector<std::uint8_t> probe(static_cast<std::size_t>(r + 8));
    if (m_fork(0, probe.data(), probe.size()) != probe.size()) return Status::kDamaged;
    tableBytes = ZlibForkTableBytes(ByteView(probe.data(), probe.size()), m_forkSize);
  } else {
    tableBytes = LzvnForkTableBytes(headView, m_forkSize);
  }
  if (tableBytes == 0) return Status::kDamaged;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(tableBytes));
  if (m_fork(0, table.data(), table.size()) != table.size()) return Status::kDamaged;
  const ByteView tableView(table.data(), table.size());
  auto chunks = zlib ? DecodeZlibForkTable(tableView, m_forkSize) : DecodeLzvnForkTable(tableView, m_forkSize);
  if (!chunks) return Status::kDamaged;
  m_chunks = std::move(*chunks);
  return Status::kReady;
}

const std::vector<std::uint8_t>* DecmpfsContent::Chunk(std::size_t index) {
  if (m_cachedIndex && *m_cachedIndex == index) return &m_cached;
  if (index >= m_chunks.size()) return nullptr;
  const std::uint64_t first = static_cast<std::uint64_t>(index) * kDecmpfsChunkSize;
  if (first >= m_header.uncompressedSize) return nullptr;
  const std::uint64_t expected = std::min(kDecmpfsChunkSize, m_header.uncompressedSize - first);
  const DecmpfsChunk& c = m_chunks[index];
  if (c.size > kMaxChunkInput) return nullptr;
  std::vector<std::uint8_t> input(static_cast<std::size_t>(c.size));
  if (m_fork(c.offset, input.data(), input.size()) != input.size()) return nullptr;
  m_cachedIndex.reset();
  m_cached.assign(static_cast<std::size_t>(expected), 0);
  const std::size_t produced = DecodeDecmpfsChunk(m_header.type, ByteView(input.data(), input.size()), m_cached);
  if (produced != expected) return nullptr;
  m_cachedIndex = index;
  return &m_cached;
}

std::uint64_t DecmpfsContent::Read(std::uint64_t pos, std::uint8_t* dst, std::uint64_t length) {
  if (!m_bReady || dst == nullptr) return 0;
  if (m_header.type == kDecmpfsZlibInline || m_header.type == kDecmpfsLzvnInline) {
    if (pos >= m_inline.size()) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(length, m_inline.size() - pos);
    std::memcpy(dst, m_inline.data() + pos, static_cast<std::size_t>(n));
    return n;
  }
  if (pos >= m_header.uncompressedSize) return 0;
  const std::uint64_t want = std::min<std::uint64_t>(length, m_header.uncompressedSize - pos);
  std::uint64_t done = 0;
  while (done < want) {
    const std::uint64_t at = pos + done;
    const std::vector<std::uint8_t>* chunk = Chunk(static_cast<std::size_t>(at / kDecmpfsChunkSize));
    if (chunk == nullptr) break;
    const std::uint64_t inChunk = at % kDecmpfsChunkSize;
    if (inChunk >= chunk->size()) break;
    const std::uint64_t n = std::min<std::uint64_t>(chunk->size() - inChunk, want - done);
    std::memcpy(dst + done, chunk->data() + inChunk, static_cast<std::size_t>(n));
    done += n;
  }
  return done;
}
