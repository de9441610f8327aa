#include "apfs/ApfsCompressFileReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "apfs/APFSContainerReader.h"
#include "apfs/APFSFileNode.h"
#include "core/device/StorageDevice.h"
#include "core/util/Log.h"

namespace {

ByteView View(const std::string& s) { return ByteView(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()); }

void LogRefusal(APFSFileNode& node, const char* why, unsigned type) {
  CatchExeception::WriteLog("APFS compressed file [%s] cannot be recovered: %s (decmpfs type %u)\n",
                            node.PlainName().c_str(), why, type);
}

}  // namespace

IFileReader* APFSFileNode::CreateCompressFileReader(void* device) {
  return CApfsCompressFileReader::Create(static_cast<IStorageDevice*>(device), *this);
}

CApfsCompressFileReader::CApfsCompressFileReader(Source source) : m_source(std::move(source)) {}

IFileReader* CApfsCompressFileReader::Create(IStorageDevice* device, APFSFileNode& node) {
  const auto header = DecodeDecmpfsHeader(View(node.m_decmpfs));
  if (device == nullptr || !header) {
    LogRefusal(node, "its com.apple.decmpfs attribute was not found", 0);
    return nullptr;
  }
  if (!DecmpfsContent::IsDecodableType(header->type)) {
    LogRefusal(node, "this compression type cannot be decoded", header->type);
    return nullptr;
  }
  Source source;
  source.device = device;
  source.decmpfs = node.m_decmpfs;
  source.resourceInline = node.m_resourceInline;
  source.resourceSize = node.m_resourceSize;
  if (node.m_reader != nullptr) {
    source.baseSector = static_cast<long long>(node.m_reader->StartSector());
    source.sectorSize = node.m_reader->SectorSize();
    if (node.m_resourceKey != 0) source.resourceRuns = node.m_reader->StreamRuns(node.m_resourceKey);
  }
  auto* reader = new CApfsCompressFileReader(std::move(source));
  switch (reader->Open()) {
    case DecmpfsContent::Status::kReady:
      return reader;
    case DecmpfsContent::Status::kUnsupportedType:
      LogRefusal(node, "this compression type cannot be decoded", header->type);
      break;
    case DecmpfsContent::Status::kDamaged:
      LogRefusal(node, "its compressed data or resource fork is missing or damaged", header->type);
      break;
  }
  reader->Release();
  return nullptr;
}

DecmpfsContent::Status CApfsCompressFileReader::Open() {
  std::uint64_t forkSize = m_source.resourceInline.size();
  if (forkSize == 0) {
    std::uint64_t runBytes = 0;
    for (const DataRun& run : m_source.resourceRuns) {
      if (run.length > 0) runBytes += static_cast<std::uint64_t>(run.length) * m_source.sectorSize;
    }
    forkSize = std::min(runBytes, m_source.resourceSize);
  }
  auto fork = [this](std::uint64_t offset, std::uint8_t* dst, std::uint64_t length) {
    return ReadFork(offset, dst, length);
  };
  return m_content.Open(View(m_source.decmpfs), fork, forkSize);
}

IFileReader* CApfsCompressFileReader::Clone() {
  auto* copy = new CApfsCompressFileReader(m_source);
  if (copy->Open() != DecmpfsContent::Status::kReady) {
    copy->Release();
    return nullptr;
  }
  return copy;
}

long long CApfsCompressFileReader::GetDataSize() {
  return static_cast<long long>(std::min<std::uint64_t>(m_content.Header().uncompressedSize, 0x7FFFFFFFFFFFFFFFull));
}

std::uint64_t CApfsCompressFileReader::ReadFork(std::uint64_t offset, std::uint8_t* dst, std::uint64_t length) {
  if (!m_source.resourceInline.empty()) {
    if (offset >= m_source.resourceInline.size()) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(length, m_source.resourceInline.size() - offset);
    std::memcpy(dst, m_source.resourceInline.data() + offset, static_cast<std::size_t>(n));
    return n;
  }
  const std::uint64_t ss = m_source.sectorSize;
  std::vector<std::uint8_t> sectors;
  std::uint64_t done = 0;
  std::uint64_t runOffset = 0;  // fork offset of the run's first byte
  for (const DataRun& run : m_source.resourceRuns) {
    if (done == length || run.length <= 0) break;
    const std::uint64_t runBytes = static_cast<std::uint64_t>(run.length) * ss;
    const std::uint64_t at = offset + done;
    if (at >= runOffset + runBytes) {
      runOffset += runBytes;
      continue;
    }
    const std::uint64_t inRun = at - runOffset;
    const std::uint64_t take = std::min(runBytes - inRun, length - done);
    if (run.start < 0) {
      std::memset(dst + done, 0, static_cast<std::size_t>(take));
    } else {
      const std::uint64_t first = inRun / ss;
      const std::uint64_t count = (inRun + take + ss - 1) / ss - first;
      sectors.assign(static_cast<std::size_t>(count * ss), 0);
      const long long sector = m_source.baseSector + run.start + static_cast<long long>(first);
      if (m_source.device->ReadSector(sectors.data(), sector, static_cast<long long>(count)) == 0) return done;
      std::memcpy(dst + done, sectors.data() + (inRun - first * ss), static_cast<std::size_t>(take));
    }
    done += take;
    runOffset += runBytes;
  }
  return done;
}

int CApfsCompressFileReader::ReadData(long long pos, char* buf, unsigned len, int* err) {
  if (err != nullptr) *err = 0;
  if (buf == nullptr || pos < 0) {
    if (err != nullptr) *err = -1;
    return 0;
  }
  const std::uint64_t done = m_content.Read(static_cast<std::uint64_t>(pos), reinterpret_cast<std::uint8_t*>(buf), len);
  if (done < len && static_cast<std::uint64_t>(pos) + done < m_content.Header().uncompressedSize && err != nullptr) {
    *err = -1;
  }
  return static_cast<int>(done);
}
