#include "hfsplus/CompressFileReader.h"

#include <algorithm>
#include <vector>

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
  if (m_bPrepared) return m_content.IsReady();
  m_bPrepared = true;
  if (m_pVolume == nullptr || m_pVolume->GetVolumeHeader() == nullptr || m_pNode == nullptr) return false;
  auto* hfsNode = dynamic_cast<CHFSPlusFileNode*>(m_pNode);
  const std::uint32_t id =
      hfsNode != nullptr ? hfsNode->GetContentId() : static_cast<std::uint32_t>(m_pNode->GetCurrentNodeID());
  std::vector<std::uint8_t> attribute;
  if (m_pVolume->getAttribute(id, kDecmpfsName, attribute) == 0) return false;
  const ByteView view(attribute.data(), attribute.size());
  const auto header = DecodeDecmpfsHeader(view);
  if (!header) return false;
  const bool resource = header->type == kDecmpfsZlibResource || header->type == kDecmpfsLzvnResource;
  if (resource && m_pNode->GetDataRunList() == nullptr) {
    CatchExeception::WriteLog("%s decompress flag %d,got empty IDataRunList\n", "ReadData",
                              static_cast<int>(header->type));
    return false;
  }
  auto fork = [this](std::uint64_t offset, std::uint8_t* dst, std::uint64_t length) {
    return ReadFork(offset, dst, length);
  };
  return m_content.Open(view, fork, resource ? ForkSize() : 0) == DecmpfsContent::Status::kReady;
}

std::uint64_t CHFSPlusCompressFileReader::ForkSize() {
  std::uint64_t runBytes = 0;
  IDataRunList* list = m_pNode->GetDataRunList()->Clone();
  if (list == nullptr) return 0;
  const std::uint64_t bs = m_pVolume->GetVolumeHeader()->blockSize;
  for (const DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext()) {
    if (run->length > 0) runBytes += static_cast<std::uint64_t>(run->length) * bs;
  }
  list->Release();
  auto* hfsNode = dynamic_cast<CHFSPlusFileNode*>(m_pNode);
  if (hfsNode != nullptr && hfsNode->GetForkSize() > 0) {
    return std::min<std::uint64_t>(runBytes, static_cast<std::uint64_t>(hfsNode->GetForkSize()));
  }
  return runBytes;
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

int CHFSPlusCompressFileReader::ReadData(long long pos, char* buf, unsigned len, int* err) {
  if (err != nullptr) *err = 0;
  if (buf == nullptr || pos < 0 || !Prepare()) {
    if (err != nullptr) *err = -1;
    return 0;
  }
  const std::uint64_t done = m_content.Read(static_cast<std::uint64_t>(pos), reinterpret_cast<std::uint8_t*>(buf), len);
  const DecmpfsHeader& h = m_content.Header();
  const bool inlineData = h.type == kDecmpfsZlibInline || h.type == kDecmpfsLzvnInline;
  if (done == 0 && !inlineData && static_cast<std::uint64_t>(pos) < h.uncompressedSize && err != nullptr) *err = -1;
  return static_cast<int>(done);
}
