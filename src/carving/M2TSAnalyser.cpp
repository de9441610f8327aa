#include "carving/M2TSAnalyser.h"

namespace BruteForce {

bool CM2TSAnalyser::s_open = false;
int CM2TSAnalyser::s_packetSize = 188;

namespace {

bool AllFF(const unsigned char* p) {
  for (int k = 0; k < 8; ++k) {
    if (p[k] != 0xFF) return false;
  }
  return true;
}

bool PidByte(unsigned char b) { return b == 0x10 || b == 0x40 || b == 0x41 || b == 0x50; }

}  // namespace

int CM2TSAnalyser::AnalyseBuffer(unsigned char* s, CRawFileInfo& probe) {
  if (s == nullptr || s_open) return 0;
  int size = 0;
  if (s[4] == 'G' && PidByte(s[5]) && s[196] == 'G' && !AllFF(s + 8) && !AllFF(s + 200)) {
    size = 192;
  } else if (s[0] == 'G' && PidByte(s[1]) && s[188] == 'G' && !AllFF(s + 8) && !AllFF(s + 196)) {
    size = 188;
  }
  if (size == 0) return 0;
  s_packetSize = size;
  s_open = true;
  probe.m_eType = kRawTypeM2ts;
  return 1;
}

CM2TSAnalyser::CM2TSFileInfo::~CM2TSFileInfo() {
  if (m_bOpen) CM2TSAnalyser::s_open = false;
}

int CM2TSAnalyser::CM2TSFileInfo::Finish(long long size) {
  m_bOpen = false;
  CM2TSAnalyser::s_open = false;
  if (size <= kMinSize) size = 0;
  if (size > kCap) size = kCap;
  m_llSize = size;
  return 1;
}

int CM2TSAnalyser::CM2TSFileInfo::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                                              SearchContext&) {
  if (!m_bOpen) return kSizeDone;
  if (sector == nullptr || sectorSize <= 0 || sectorNumber < m_llStartSector) return kSizeNeedMore;
  const int ps = CM2TSAnalyser::s_packetSize == 192 ? 192 : 188;
  const int sync = ps == 192 ? 4 : 0;
  while (m_iOffset + sync < sectorSize) {
    if (sector[m_iOffset + sync] != 'G') return Finish(m_llWalked + static_cast<long long>(m_iGroup) * ps);
    m_iOffset += ps;
    if (++m_iGroup == 32) {
      m_llWalked += 32LL * ps;
      m_iGroup = 0;
      if (m_llWalked > kCap) return Finish(m_llWalked);
    }
  }
  m_iOffset -= sectorSize;
  return kSizeNeedMore;
}

}  // namespace BruteForce
