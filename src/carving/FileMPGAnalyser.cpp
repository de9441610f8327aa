#include "carving/FileMPGAnalyser.h"

#include <cstring>
#include <vector>

#include "carving/RawFileBuffer.h"
#include "core/util/ByteView.h"

namespace {
constexpr unsigned char kPatterns[][4] = {{0x21, 0x00, 0x01, 0x00}, {0x21, 0x00, 0x71, 0x6F}, {0x44, 0x00, 0x2C, 0x48},
                                          {0x21, 0x00, 0x01, 0x09}, {0x44, 0x00, 0x04, 0x00}, {0x2F, 0xFF, 0xFF, 0x13},
                                          {0x44, 0x00, 0x04, 0x04}};
constexpr unsigned char kLong[][4] = {
    {0x44, 0x00, 0x2C, 0x48}, {0x44, 0x00, 0x04, 0x00}, {0x44, 0x00, 0x04, 0x04}, {0x44, 0x00, 0x14, 0x80}};

bool StartCode(const ByteView& v, std::size_t at) { return v.U8(at) == 0 && v.U8(at + 1) == 0 && v.U8(at + 2) == 1; }
}  // namespace

bool MpgWalk::IsMpgHeader(const unsigned char* sector) {
  if (sector == nullptr || sector[0] != 0 || sector[1] != 0 || sector[2] != 1) return false;
  if (sector[3] != 0xB3 && sector[3] != 0xBA) return false;
  for (const auto& pattern : kPatterns) {
    if (std::memcmp(sector + 4, pattern, 4) == 0) return true;
  }
  return false;
}

void MpgWalk::Start(const unsigned char* sector) {
  headerLength = 12;
  for (const auto& pattern : kLong) {
    if (std::memcmp(sector + 4, pattern, 4) == 0) headerLength = 14;
  }
}

MpgWalk::Result MpgWalk::StepRaw(const unsigned char* at, long long available, long long& p) {
  const long long hl = headerLength;
  if (available < 4) return kNeedBytes;
  const ByteView v(at, static_cast<std::size_t>(available));
  const unsigned q = v.U32Be(0);
  if (q == 0x1B9) {
    p += 4;
    return kProgramEnd;
  }
  if (q == 0x1B3 || q == 0x1BA) {
    if (available < hl + 6) return kNeedBytes;
    const long long length = v.U16Be(static_cast<std::size_t>(hl + 4));
    if (v.U32Be(static_cast<std::size_t>(hl)) == 0x1BB) {
      const long long next = hl + length + 6;
      if (available < next + 6) return kNeedBytes;
      zeroRun = 0;
      lastPacket = length;
      if (!StartCode(v, static_cast<std::size_t>(next))) {
        p += next;
        return p <= kNoFileBelow ? kNoFile : kEnd;
      }
      const long long packet = v.U16Be(static_cast<std::size_t>(next + 4));
      p += next + (packet != 0 ? packet + 6 : 4);
    } else {
      zeroRun = 0;
      lastPacket = length;
      p += length != 0 ? hl + length + 6 : 4;
    }
    return kGoOn;
  }
  if (q != 0 && q != 1) {
    zeroRun = 0;
    if (StartCode(v, 0)) {
      if (available < 6) return kNeedBytes;
      const long long packet = v.U16Be(4);
      lastPacket = packet;
      p += packet != 0 ? packet + 6 : 4;
      return kGoOn;
    }
    if (++misses == 1) {
      p -= 2;  // resynchronise once
      return kGoOn;
    }
    if (p > lastPacket) p -= lastPacket;
    return kEnd;
  }
  if (zeroRun == 0) zeroRunStart = p;
  ++p;
  if (++zeroRun >= kZeroRunLimit) {
    p = zeroRunStart;
    return kEnd;
  }
  return kGoOn;
}

MpgWalk::Result MpgWalk::Step(const unsigned char* at, long long available, long long& p) {
  const long long before = p;
  const Result r = StepRaw(at, available, p);
  if (r == kGoOn && p > before && available >= 4 && (at[0] | at[1]) == 0 && at[2] == 1) {
    packetEnd = p;  // a pack or packet was walked
  } else if (r == kEnd && packetEnd > 0) {
    // Packets walked whole prove the end better than the rules above.
    p = packetEnd;
    return kProgramEnd;
  }
  return r;
}

int FileMPGAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& probe) {
  if (!MpgWalk::IsMpgHeader(sector)) return 0;
  probe.m_eType = kRawTypeMpg;
  return 1;
}

bool FileMPGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
  info.m_llSize = 0;
  if (device == nullptr) return false;
  RawFileBuffer reader(device, static_cast<unsigned long long>(info.m_llStartSector));
  unsigned char head[8];
  if (!reader.Read(0, head, sizeof(head)) || !MpgWalk::IsMpgHeader(head)) return false;
  MpgWalk walk;
  walk.Start(head);
  std::vector<unsigned char> straddle(70000);
  long long p = 0;
  while (p >= 0 && p <= kLimit) {
    const unsigned char* at = reader.GetRawFileBuffer(static_cast<unsigned long long>(p));
    if (at == nullptr) break;
    const auto available = static_cast<long long>(reader.Available(static_cast<unsigned long long>(p)));
    MpgWalk::Result r = walk.Step(at, available, p);
    if (r == MpgWalk::kNeedBytes) {
      // The structure straddles the window: read it whole.
      if (!reader.Read(static_cast<unsigned long long>(p), straddle.data(), straddle.size())) break;
      r = walk.Step(straddle.data(), static_cast<long long>(straddle.size()), p);
    }
    if (r == MpgWalk::kNoFile) return false;
    if (r == MpgWalk::kProgramEnd) {
      info.m_llSize = p;
      info.m_eType = kRawTypeMpg;
      return true;
    }
    if (r == MpgWalk::kEnd) {
      info.m_llSize = walk.zeroRun >= MpgWalk::kZeroRunLimit ? p : p + 18;
      info.m_eType = kRawTypeMpg;
      return info.m_llSize > 0;
    }
    if (r == MpgWalk::kNeedBytes) break;
  }
  info.m_llSize = p > 0 ? p : 0;
  info.m_eType = kRawTypeMpg;
  return info.m_llSize > 0;
}
