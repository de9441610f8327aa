#include "core/compress/CompressFileReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/compress/Lznt1.h"
#include "core/model/Progress.h"
#include "platform/FileWriter.h"

CCompressFileReader::CCompressFileReader(const CCompressFileReader& other)
    : CFileReader(other), m_bGrouped(other.m_bGrouped), m_pieces(other.m_pieces) {}

IFileReader* CCompressFileReader::Clone() { return new CCompressFileReader(*this); }

bool CCompressFileReader::EnsureUnits() {
  if (m_pNode == nullptr || m_pDataRunList == nullptr || m_bResident) return false;
  if (UnitBytes() <= 0 || UnitBytes() > kMaxUnitBytes) return false;
  if (!m_bGrouped) {
    std::vector<DataRun> runs;
    runs.reserve(m_runs.size());
    for (const RunSpan& r : m_runs) runs.push_back({r.start, r.clusters});
    m_pieces = ReGroupCompressDataRunList(runs);
    m_bGrouped = true;
  }
  return true;
}

const std::vector<tagCompressDataRun>& CCompressFileReader::Pieces() {
  EnsureUnits();
  return m_pieces;
}

bool CCompressFileReader::LoadUnit(long long index) {
  if (index == m_llCachedUnit) return true;
  const auto unitBytes = static_cast<std::size_t>(UnitBytes());
  m_unitOut.assign(unitBytes, 0);
  m_unitIn.assign(unitBytes, 0);
  m_llCachedUnit = -1;
  m_llCachedDamage = 0;

  const long long firstVcn = index * kClustersPerCompressUnit;
  const long long endVcn = firstVcn + kClustersPerCompressUnit;
  std::size_t i = FindCompressPiece(m_pieces, firstVcn);
  if (i == m_pieces.size() || m_pieces[i].s64VCN >= endVcn) {
    // The runs end before the file does.
    m_llCachedDamage = 1;
    m_llCachedUnit = index;
    return true;
  }
  const CompressUnitType type = m_pieces[i].eType;
  const long long clusterSize = m_iClusterSize;

  if (type == SPARSE_UNIT) {
    m_llCachedUnit = index;
    return true;
  }

  // Each allocated piece of the unit: in place for a stored unit, one after
  // the other for a compressed one.
  std::size_t packed = 0;
  for (; i < m_pieces.size() && m_pieces[i].s64VCN < endVcn; ++i) {
    const tagCompressDataRun& p = m_pieces[i];
    const long long from = std::max(p.s64VCN, firstVcn);
    const long long to = std::min(p.s64VCN + p.length, endVcn);
    if (p.s64LCN < 1 || to <= from) continue;
    const auto bytes = static_cast<std::size_t>((to - from) * clusterSize);
    const long long lcn = p.s64LCN + (from - p.s64VCN);
    std::uint8_t* dst = type == NONECOMPRESSED_UNIT
                            ? m_unitOut.data() + static_cast<std::size_t>((from - firstVcn) * clusterSize)
                            : m_unitIn.data() + packed;
    m_llCachedDamage += ReadClusterBytes(lcn, 0, dst, bytes);
    packed += bytes;
  }

  if (type == COMPRESSED_UNIT && packed > 0) {
    // Chunks are decoded within the cleared unit buffer: a last chunk that
    // ntfs-3g cut at the end of the allocation reads zeros, never old bytes.
    const ByteView in(m_unitIn.data(), m_unitIn.size());
    if (in.U16Le(0) == 0) {
      std::memcpy(m_unitOut.data(), m_unitIn.data(), packed);
    } else {
      const lznt1::UnitResult r = lznt1::DecompressUnit(in, m_unitOut);
      if (!r.ok) ++m_llCachedDamage;
    }
  }
  m_llCachedUnit = index;
  return true;
}

int CCompressFileReader::ReadDecompressed(long long pos, char* buf, unsigned len, int* err) {
  if (err != nullptr) *err = 0;
  if (buf == nullptr || m_pNode == nullptr || pos < 0 || pos >= m_llFileSize) {
    if (err != nullptr) *err = -1;
    return 0;
  }
  if (m_bResident) return CFileReader::ReadData(pos, buf, len, err);
  if (!EnsureUnits()) {
    if (err != nullptr) *err = -1;
    return 0;
  }
  const long long wanted = std::min<long long>({static_cast<long long>(len), m_llFileSize - pos, INT_MAX});
  const long long unitBytes = UnitBytes();
  long long done = 0;
  long long damage = 0;
  while (done < wanted) {
    const long long at = pos + done;
    const long long unit = at / unitBytes;
    if (!LoadUnit(unit)) break;
    damage += m_llCachedDamage;
    const long long inUnit = at - unit * unitBytes;
    const long long take = std::min(wanted - done, unitBytes - inUnit);
    std::memcpy(buf + done, m_unitOut.data() + inUnit, static_cast<std::size_t>(take));
    done += take;
  }
  if (err != nullptr) *err = done == 0 ? -1 : static_cast<int>(std::min<long long>(damage, INT_MAX));
  return static_cast<int>(done);
}

int CCompressFileReader::ReadData(long long pos, char* buf, unsigned len) {
  return ReadDecompressed(pos, buf, len, nullptr);
}

bool CCompressFileReader::Recovery(const char* path, IProgress* sink, bool& resident) {
  resident = false;
  if (path == nullptr) return false;
  platform::FileWriter out;
  if (!out.Open(path, true)) return false;
  if (m_pDataRunList == nullptr) return false;
  if (m_bResident) {
    resident = true;
    return true;
  }
  if (!EnsureUnits()) return false;

  _PROGRESS_INFO info{};
  info.total = static_cast<std::uint64_t>(m_llFileSize);
  const long long unitBytes = UnitBytes();
  std::vector<char> block(static_cast<std::size_t>(unitBytes));
  for (long long done = 0; done < m_llFileSize;) {
    const auto len = static_cast<unsigned>(std::min(unitBytes, m_llFileSize - done));
    const int got = ReadDecompressed(done, block.data(), len, nullptr);
    if (got <= 0 || !out.WriteAt(done, block.data(), static_cast<std::size_t>(got))) return false;
    done += got;
    info.done = static_cast<std::uint64_t>(done);
    if (sink != nullptr) sink->UpdateProgress(&info);
  }
  return out.Close();
}

bool CCompressFileReader::Recovery(char* buffer, long size, IProgress* sink) {
  if (buffer == nullptr || m_pDataRunList == nullptr || size <= 0) return false;
  if (!m_bResident && !EnsureUnits()) return false;
  const long long total = std::min<long long>(size, m_llFileSize);
  _PROGRESS_INFO info{};
  info.total = static_cast<std::uint64_t>(m_llFileSize);
  for (long long done = 0; done < total;) {
    const auto len = static_cast<unsigned>(std::min<long long>(total - done, 1 << 20));
    const int got = ReadDecompressed(done, buffer + done, len, nullptr);
    if (got <= 0) return false;
    done += got;
    info.done = static_cast<std::uint64_t>(done);
    if (sink != nullptr) sink->UpdateProgress(&info);
  }
  return true;
}
