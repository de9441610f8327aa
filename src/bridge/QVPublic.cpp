#include "bridge/QVPublic.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <set>

#include "bridge/BridgeServices.h"
#include "bridge/MainThreadDispatcher.h"
#include "bridge/NotificationCenter.h"
#include "platform/SingleInstance.h"
#include "platform/Threads.h"

std::int64_t convertWindowsTimeToUnixTime(std::uint64_t fileTime) {
  return static_cast<std::int64_t>(fileTime / 10000000ull) - 11644473600LL;
}

long UTF82WCHAR(char* in, std::size_t inLength, char* out, std::size_t outLength) {
  if (in == nullptr || out == nullptr) return -1;
  // glibc's name for the host's wide characters (4 bytes, host order).
  const iconv_t cd = ::iconv_open("WCHAR_T", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
  char* from = in;
  char* to = out;
  std::size_t fromLeft = inLength;
  std::size_t toLeft = outLength;
  const std::size_t result = ::iconv(cd, &from, &fromLeft, &to, &toLeft);
  ::iconv_close(cd);
  return result == static_cast<std::size_t>(-1) ? -1 : static_cast<long>(result);
}

namespace {

std::u32string DecodeUtf8Lower(const char* text) {
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::u32string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    char32_t c = *p;
    int extra = 0;
    if (c >= 0xF0 && c < 0xF8) {
      c &= 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      extra = 1;
    }
    ++p;
    for (int i = 0; i < extra && (*p & 0xC0) == 0x80; ++i, ++p) c = (c << 6) | (*p & 0x3F);
    if (utf8 != static_cast<locale_t>(nullptr))
      c = static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8));
    else if (c < 0x80)
      c = static_cast<char32_t>(std::tolower(static_cast<int>(c)));
    out.push_back(c);
  }
  return out;
}

std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
  return buf;
}

}  // namespace

void QVUIPublic::NotifyMainThread(const std::string& key) {
  bridge::MainThread().Post([key] { bridge::NotificationCenter::Default().Post(key); });
}

void QVUIPublic::NotifyMainThreadByPostKey(const std::string& key, std::function<void()> step) {
  const bool started = platform::StartDetachedThread(
      [key, step = std::move(step)] {
        if (step) step();
        NotifyMainThread(key);
      },
      0);
  if (!started) {
    if (step) step();
    NotifyMainThread(key);
  }
}

std::string QVUIPublic::FormatFileTimeToString(std::uint64_t fileTime) {
  if (fileTime == 0) return "";
  const std::time_t t = static_cast<std::time_t>(convertWindowsTimeToUnixTime(fileTime));
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return "";
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
  return buf;
}

void QVUIPublic::GetYearAndMonthByFileTime(int* year, int* month, std::uint64_t fileTime) {
  QVCPPPublic::instance()->GetYearMonthByFileTime(year, month, fileTime);
}

bool QVUIPublic::IsStringInString(const char* text, const char* name) {
  if (text == nullptr || *text == 0) return true;
  if (name == nullptr) return false;
  return DecodeUtf8Lower(name).find(DecodeUtf8Lower(text)) != std::u32string::npos;
}

bool QVUIPublic::IsStringInFileNode(const char* text, IFileNode* node) {
  if (text == nullptr || *text == 0) return true;
  if (node == nullptr) return false;
  const bool desktop = bridge::Settings().GetBool("isSelectDesktopDisk", false);
  if (!node->IsDirectory()) {
    if (!desktop) return IsStringInString(text, node->GetFileName());
    IFileNode* parent = node->GetParent();
    if (parent == nullptr) return false;
    const char* pname = parent->GetFileName();
    return pname != nullptr && std::string(pname) == "Desktop";
  }
  // A folder matches through any file below it; walked without recursion.
  std::vector<IFileNode*> stack;
  std::set<IFileNode*> seen;
  for (IFileNode* c = node->GetFirstChild(); c != nullptr; c = c->GetNextNode()) stack.push_back(c);
  while (!stack.empty()) {
    IFileNode* n = stack.back();
    stack.pop_back();
    if (!seen.insert(n).second) continue;
    if (n->IsDirectory()) {
      for (IFileNode* c = n->GetFirstChild(); c != nullptr; c = c->GetNextNode()) stack.push_back(c);
    } else if (IsStringInFileNode(text, n)) {
      return true;
    }
  }
  return false;
}

bool QVUIPublic::IsStringInFileNodeVector(const char* text, const std::vector<IFileNode*>* nodes) {
  if (text == nullptr || *text == 0) return true;
  if (nodes == nullptr) return false;
  for (IFileNode* n : *nodes) {
    if (n != nullptr && IsStringInString(text, n->GetFileName())) return true;
  }
  return false;
}

namespace {

// The chain from the node up to its root, node first; empty on a loop.
std::vector<IFileNode*> ChainToRoot(IFileNode* node) {
  std::vector<IFileNode*> chain;
  std::set<IFileNode*> seen;
  for (IFileNode* n = node; n != nullptr; n = n->GetParent()) {
    if (!seen.insert(n).second) return {};
    chain.push_back(n);
  }
  return chain;
}

std::string NameOf(IFileNode* n, bool top) {
  const char* name = top ? n->GetVolumeName() : n->GetFileName();
  return name != nullptr ? name : "";
}

}  // namespace

std::string QVUIPublic::GetPathByFileNode(IFileNode* node) {
  if (node == nullptr) return "";
  const std::vector<IFileNode*> chain = ChainToRoot(node);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += '/';
    path += NameOf(*it, (*it)->GetParent() == nullptr);
  }
  return path;
}

std::string QVUIPublic::GetFileSystemStrByType(int searcherType, const std::string& date) {
  const std::string base = "Recovered Data" + date;
  switch (searcherType) {
    case kSearcherHfsPlus:
      return "HFS+_" + base + "_";
    case kSearcherFat:
      return "Fat_" + base + "_";
    case kSearcherExFat:
      return "ExFat_" + base + "_";
    case kSearcherRawByType:
      return "RAW_";
    case kSearcherRawByLabel:
      return "Lable_RAW_" + base + "_";
    case kSearcherApfs:
      return "APFS_" + base + "_";
    default:
      return "";
  }
}

std::string QVUIPublic::GetFileSystemStrByType(int searcherType) {
  return GetFileSystemStrByType(searcherType, TodayText());
}

QVCPPPublic* QVCPPPublic::instance() {
  // Never destroyed: a job or polling thread may still use it at exit.
  static QVCPPPublic* object = new QVCPPPublic();
  return object;
}

IFilesystemNode* QVCPPPublic::GetFileSystemNode(IFileNode* node) {
  if (node == nullptr) return nullptr;
  const std::vector<IFileNode*> chain = ChainToRoot(node);
  if (chain.empty()) return nullptr;
  return dynamic_cast<IFilesystemNode*>(chain.back());
}

unsigned QVCPPPublic::GetNodeSearcheType(IFileNode* node) {
  IFilesystemNode* root = GetFileSystemNode(node);
  return root == nullptr ? static_cast<unsigned>(kSearcherNone) : static_cast<unsigned>(root->GetSearcheType());
}

void QVCPPPublic::GetYearMonthByTimeT(int* year, int* month, std::int64_t t) {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  if (year != nullptr) *year = tm.tm_year + 1900;
  if (month != nullptr) *month = tm.tm_mon + 1;
}

void QVCPPPublic::GetYearMonthByFileTime(int* year, int* month, std::uint64_t fileTime) {
  GetYearMonthByTimeT(year, month, convertWindowsTimeToUnixTime(fileTime));
}

void QVCPPPublic::SortFileNodeVector(std::vector<IFileNode*>& nodes, int key) {
  auto timeOf = [key](IFileNode* n) -> std::int64_t {
    const long long ft = key == 2 ? n->GetCreationTime() : key == 3 ? n->GetModificationTime() : n->GetLastAccessTime();
    return convertWindowsTimeToUnixTime(static_cast<std::uint64_t>(ft));
  };
  std::sort(nodes.begin(), nodes.end(), [&](IFileNode* a, IFileNode* b) {
    if (a == nullptr || b == nullptr) return false;
    if (key >= 2 && key <= 4) return timeOf(a) > timeOf(b);
    const char* na = a->GetFileName();
    const char* nb = b->GetFileName();
    return std::string(na != nullptr ? na : "") > std::string(nb != nullptr ? nb : "");
  });
}

const char* QVCPPPublic::GetStringByID(unsigned) { return "abc"; }

std::string QVCPPPublic::FilterTypeToString(unsigned type) {
  switch (type) {
    case kFilterDocument:
      return bridge::Localizer().Text("NQT_TWO_DOCUMENT_TITLE");
    case kFilterPicture:
      return bridge::Localizer().Text("NQT_TWO_PICTURE_TITLE");
    case kFilterMovie:
      return bridge::Localizer().Text("NQT_TWO_MOVIE_TITLE");
    case kFilterMusic:
      return bridge::Localizer().Text("NQT_TWO_MUSIC_TITLE");
    case kFilterArchive:
      return bridge::Localizer().Text("NQT_TWO_ARCHIVES_TITLE");
    case kFilterEmail:
      return bridge::Localizer().Text("NQT_TWO_EMAIL_TITLE");
    case kFilterOther:
      return bridge::Localizer().Text("NQT_TWO_OTHER_TITLE");
    default:
      return "";
  }
}

int QVCPPPublic::IsTypeString(const char* text, unsigned type) {
  if (text == nullptr) return 0;
  return FilterTypeToString(type) == text ? 1 : 0;
}

unsigned QVCPPPublic::StringToFilterType(const char* text) {
  for (unsigned t : {1u, 2u, 4u, 8u, 16u, 32u}) {
    if (IsTypeString(text, t)) return t;
  }
  return kFilterOther;
}

int QVCPPPublic::IsStringInFileNode(const char* text, IFileNode* node) {
  return QVUIPublic::IsStringInFileNode(text, node) ? 1 : 0;
}

namespace bridge {

std::optional<std::string> FileTimeToIsoUtc(std::uint64_t fileTime) {
  if (fileTime == 0) return std::nullopt;
  const std::time_t t = static_cast<std::time_t>(convertWindowsTimeToUnixTime(fileTime));
  std::tm tm{};
  if (gmtime_r(&t, &tm) == nullptr) return std::nullopt;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return std::string(buf);
}

std::string SafeComponent(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (unsigned char c : name) out.push_back((c == '/' || c < 0x20 || c == 0x7F) ? '_' : static_cast<char>(c));
  if (out.empty() || out == "." || out == "..") return "_";
  if (out.size() > 255) {
    std::size_t cut = 255;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  return out;
}

std::string SafeRelativePath(IFileNode* node) {
  if (node == nullptr) return "";
  const std::vector<IFileNode*> chain = ChainToRoot(node);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += '/';
    path += SafeComponent(NameOf(*it, (*it)->GetParent() == nullptr));
  }
  return path;
}

}  // namespace bridge

int QVCPPPublic::IsAppRunning() { return platform::IsAnotherInstanceRunning(platform::InstanceLockPath()) ? 1 : 0; }
