#include "carving/RawFileNode.h"

#include <cstdio>
#include <cstdlib>

#include "carving/FileNameFilter.h"
#include "carving/RawFileInfo.h"
#include "carving/RawFileType.h"
#include "core/util/Log.h"

std::vector<int> g_s_CountPerFileTypeVector(kRawFileTypeCounters, 0);

void ResetRawFileNameCounters() { g_s_CountPerFileTypeVector.assign(kRawFileTypeCounters, 0); }

namespace {

constexpr std::size_t kNameBuffer = 1024;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

CRAWFileNode::~CRAWFileNode() { CRAWFileProperties::Destory(m_pProperties); }

std::string CRAWFileNode::BuildFileName(unsigned short type, const std::string& name) {
  const char* ext = RawFileExtName(type);
  if (type >= g_s_CountPerFileTypeVector.size()) g_s_CountPerFileTypeVector.resize(type + 1u, 0);
  const int n = g_s_CountPerFileTypeVector[type];
  char buffer[kNameBuffer];
  if (!name.empty() && isValidString(name.c_str()) != 0) {
    const std::string stem = CutUtf8(name, kRawFileNameStemLimit);
    std::snprintf(buffer, sizeof(buffer), "%s%03d.%s", stem.c_str(), n, ext);
  } else {
    std::snprintf(buffer, sizeof(buffer), "FILE%03d.%s", n, ext);
  }
  ++g_s_CountPerFileTypeVector[type];
  return buffer;
}

long long CRAWFileNode::ParseTimeText(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && text[start] == ' ') ++start;
  const std::string t = text.substr(start);
  if (t.size() <= 1) return 0;
  std::vector<std::string> fields(1);
  for (char c : t) {
    if (c == ' ' || c == '-' || c == ':') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  if (fields.size() < 6) return 0;
  long long v[6];
  for (int i = 0; i < 6; ++i) {
    const std::string& f = fields[static_cast<std::size_t>(i)];
    v[i] = f.size() > 9 ? 0 : std::strtoll(f.c_str(), nullptr, 10);
  }
  const long long year = v[0];
  const long long month = v[1];
  const long long day = v[2];
  if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || v[3] < 0 || v[3] > 23 ||
      v[4] < 0 || v[4] > 59 || v[5] < 0 || v[5] > 60) {
    return 0;
  }
  const long long seconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                            v[3] * 3600 + v[4] * 60 + v[5];
  return SecondsSince1970ToFileTime(seconds);
}

int CRAWFileNode::Initilaize(const CRawFileInfo* info, unsigned int attribute, long long parentId, long long nodeId,
                             int sectorSize) {
  if (info == nullptr) return 0;
  CRAWFileProperties* props = CRAWFileProperties::Create();
  props->InitRawFileProperties(*info, sectorSize);
  props->SetAttribute(static_cast<unsigned short>(attribute));
  std::string name;
  if ((attribute & 0x10) != 0) {
    name = info->GetRawFileName();
  } else {
    const auto type = static_cast<unsigned short>(info->m_eType < kRawTypeRaw ? 0 : info->m_eType);
    name = BuildFileName(type, info->GetRawFileName());
  }
  if (name.size() >= kNameBuffer) name = CutUtf8(name, kNameBuffer - 1);
  // A record without a time text may carry its time in its name.
  if (info->m_strTime.empty() && !info->GetRawFileName().empty()) props->SetRawFileTime(info->GetRawFileName());
  props->SetRawFileName(name.c_str());
  CRAWFileProperties::Destory(m_pProperties);
  m_pProperties = props;
  m_strName = name;
  m_llTime = ParseTimeText(props->GetRawFileTimeText());
  SetDataRunList(props->TakeDataRunList());
  m_llNodeId = nodeId;
  m_llParentNodeId = parentId;
  return 1;
}

IFileNode* CRAWFileNode::Clone() {
  auto* copy = new CRAWFileNode();
  copy->m_strName = m_strName;
  copy->m_llTime = m_llTime;
  copy->m_llNodeId = m_llNodeId;
  copy->m_llParentNodeId = m_llParentNodeId;
  copy->m_u64State = m_u64State;
  if (m_pProperties != nullptr) {
    copy->m_pProperties = static_cast<CRAWFileProperties*>(m_pProperties->Clone());
    copy->SetDataRunList(copy->m_pProperties->TakeDataRunList());
  } else if (m_pDataRunList != nullptr) {
    copy->SetDataRunList(m_pDataRunList->Clone());
  }
  return copy;
}
