#include "bridge/VolumeConfig.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <plist/plist.h>

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

constexpr long long kMaxConfigBytes = 1 << 20;

std::mutex g_configLock;

// The whole file when it is a plain file of a sane size; empty otherwise.
// Non-blocking open: a FIFO planted on a volume must not stall the reader.
std::vector<char> ReadSmallFile(const std::string& path) {
  std::vector<char> data;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return data;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= kMaxConfigBytes) {
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < data.size()) {
      const ssize_t n = ::pread(fd, data.data() + got, data.size() - got, static_cast<off_t>(got));
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    data.resize(got);
  }
  ::close(fd);
  return data;
}

VolumeConfigValue ValueOf(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return b != 0;
    }
    case PLIST_UINT: {
      std::uint64_t v = 0;
      plist_get_uint_val(node, &v);
      return static_cast<std::int64_t>(v);
    }
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      return v;
    }
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return std::string(text != nullptr ? text : "", text != nullptr ? static_cast<std::size_t>(length) : 0);
    }
    default:
      return VolumeConfigOther{};
  }
}

// How the system reads a text as a truth value: leading blanks, an
// optional sign and zeros skipped, then Y, y, T, t or a digit 1-9.
bool TextAsBool(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && text[i] == '0') ++i;
  if (i >= text.size()) return false;
  const char c = text[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

}  // namespace

VolumeConfigDictionary WXGetConfigDictionary(const std::string& volumePath) {
  std::lock_guard<std::mutex> guard(g_configLock);
  VolumeConfigDictionary dictionary;
  if (volumePath.empty()) return dictionary;
  const std::vector<char> data = ReadSmallFile(volumePath + "/.Quarnelfiles/config.plist");
  if (data.empty()) return dictionary;
  plist_t root = nullptr;
  plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
  if (root == nullptr) return dictionary;
  if (plist_get_node_type(root) == PLIST_DICT) {
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(root, &iter);
    for (; iter != nullptr;) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(root, iter, &key, &value);
      if (key == nullptr) break;
      if (value != nullptr) dictionary[key] = ValueOf(value);
      std::free(key);
    }
    std::free(iter);
  }
  plist_free(root);
  return dictionary;
}

bool WXConfigBool(const VolumeConfigDictionary& dictionary, const std::string& key) {
  const auto it = dictionary.find(key);
  if (it == dictionary.end()) return false;
  const VolumeConfigValue& v = it->second;
  if (const bool* b = std::get_if<bool>(&v)) return *b;
  if (const std::int64_t* i = std::get_if<std::int64_t>(&v)) return *i != 0;
  if (const double* d = std::get_if<double>(&v)) return *d != 0.0;
  if (const std::string* s = std::get_if<std::string>(&v)) return TextAsBool(*s);
  return false;
}

bool WXGetCompleteProtect(const std::string& volumePath) {
  return WXConfigBool(WXGetConfigDictionary(volumePath), kWXKeyCompleteProtect);
}

bool WXGetQuickProtect(const std::string& volumePath) {
  return WXConfigBool(WXGetConfigDictionary(volumePath), kWXKeyQuickProtect);
}
