#include "launcher/PrivateData.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/ProcessPaths.h"

namespace launcher {

struct PrivateData::Dict {
  plist_t node = nullptr;
  explicit Dict(plist_t n) : node(n) {}
  ~Dict() {
    if (node != nullptr) plist_free(node);
  }
  Dict(const Dict&) = delete;
  Dict& operator=(const Dict&) = delete;
};

namespace {

enum class ReadState { Missing, Unreadable, Ok };

// Reads a property list whose root is a dictionary.
ReadState ReadDictionary(const std::string& path, plist_t* out) {
  *out = nullptr;
  struct stat st {};
  if (path.empty()) return ReadState::Missing;
  if (stat(path.c_str(), &st) != 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? ReadState::Missing : ReadState::Unreadable;
  }
  if (!S_ISREG(st.st_mode) || st.st_size > 16 * 1024 * 1024) return ReadState::Unreadable;
  std::ifstream in(path, std::ios::binary);
  if (!in) return ReadState::Unreadable;
  std::stringstream text;
  text << in.rdbuf();
  const std::string data = text.str();
  if (data.empty()) return ReadState::Unreadable;
  plist_t root = nullptr;
  plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
  if (root == nullptr) return ReadState::Unreadable;
  if (plist_get_node_type(root) != PLIST_DICT) {
    plist_free(root);
    return ReadState::Unreadable;
  }
  *out = root;
  return ReadState::Ok;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Writes `text` to `path` through a temporary file and a rename.
bool WriteAtomically(const std::string& path, const std::string& text) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return false;
  const std::string folder = path.substr(0, slash);
  if (!platform::MakeDirectories(folder)) return false;
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0644) == 0 && WriteAll(fd, text.data(), text.size()) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

}  // namespace

PrivateData::PrivateData() = default;
PrivateData::~PrivateData() = default;
PrivateData::PrivateData(PrivateData&&) noexcept = default;
PrivateData& PrivateData::operator=(PrivateData&&) noexcept = default;

PrivateData PrivateData::Load(const std::vector<std::string>& shipped, const std::string& overlay) {
  PrivateData data;
  for (const std::string& path : shipped) {
    plist_t root = nullptr;
    const ReadState state = ReadDictionary(path, &root);
    if (state == ReadState::Missing) continue;
    if (state == ReadState::Ok) data.m_shipped = std::make_unique<Dict>(root);
    break;
  }
  data.m_overlayPath = overlay;
  plist_t root = nullptr;
  const ReadState state = ReadDictionary(overlay, &root);
  if (state == ReadState::Ok) data.m_overlay = std::make_unique<Dict>(root);
  data.m_overlayUnreadable = state == ReadState::Unreadable;
  return data;
}

const void* PrivateData::Lookup(const std::string& key) const {
  for (const Dict* dict : {m_overlay.get(), m_shipped.get()}) {
    if (dict == nullptr) continue;
    plist_t value = plist_dict_get_item(dict->node, key.c_str());
    if (value != nullptr) return value;
  }
  return nullptr;
}

bool PrivateData::Has(const std::string& key) const { return Lookup(key) != nullptr; }

std::optional<std::string> PrivateData::String(const std::string& key) const {
  plist_t value = const_cast<void*>(Lookup(key));
  if (value == nullptr || plist_get_node_type(value) != PLIST_STRING) return std::nullopt;
  uint64_t length = 0;
  const char* text = plist_get_string_ptr(value, &length);
  if (text == nullptr) return std::string();
  return std::string(text, static_cast<std::size_t>(length));
}

std::optional<long long> PrivateData::Integer(const std::string& key) const {
  plist_t value = const_cast<void*>(Lookup(key));
  if (value == nullptr) return std::nullopt;
  if (plist_get_node_type(value) == PLIST_UINT) {
    uint64_t number = 0;
    plist_get_uint_val(value, &number);
    return static_cast<long long>(number);
  }
  const std::optional<std::string> text = String(key);
  return text ? LeadingInteger(*text) : std::nullopt;
}

std::optional<long long> PrivateData::LeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative || (i < text.size() && text[i] == '+')) ++i;
  long long number = 0;
  bool any = false;
  // Digits past 15 add nothing (and cannot overflow).
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, any = true)
    if (number < 100000000000000LL) number = number * 10 + (text[i] - '0');
  if (!any) return std::nullopt;
  return negative ? -number : number;
}

std::vector<std::pair<std::string, std::string>> PrivateData::StringEntries(const std::string& key) const {
  std::vector<std::pair<std::string, std::string>> entries;
  plist_t dict = const_cast<void*>(Lookup(key));
  if (dict == nullptr || plist_get_node_type(dict) != PLIST_DICT) return entries;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(dict, &iter);
  if (iter == nullptr) return entries;
  for (;;) {
    char* name = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, iter, &name, &value);
    if (name == nullptr) break;
    if (value != nullptr && plist_get_node_type(value) == PLIST_STRING) {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(value, &length);
      entries.emplace_back(name, text == nullptr ? std::string() : std::string(text, static_cast<std::size_t>(length)));
    }
    std::free(name);
  }
  std::free(iter);
  return entries;
}

std::vector<std::string> PrivateData::StringArray(const std::string& key) const {
  std::vector<std::string> items;
  plist_t array = const_cast<void*>(Lookup(key));
  if (array == nullptr || plist_get_node_type(array) != PLIST_ARRAY) return items;
  const uint32_t count = plist_array_get_size(array);
  for (uint32_t i = 0; i < count; ++i) {
    plist_t value = plist_array_get_item(array, i);
    if (value == nullptr || plist_get_node_type(value) != PLIST_STRING) continue;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(value, &length);
    items.emplace_back(text == nullptr ? std::string() : std::string(text, static_cast<std::size_t>(length)));
  }
  return items;
}

bool PrivateData::SetString(const std::string& key, const std::string& value) {
  return SetItem(key, plist_new_string(value.c_str()));
}

bool PrivateData::SetStringArray(const std::string& key, const std::vector<std::string>& values) {
  plist_t array = plist_new_array();
  for (const std::string& value : values) plist_array_append_item(array, plist_new_string(value.c_str()));
  return SetItem(key, array);
}

bool PrivateData::SetItem(const std::string& key, void* value) {
  if (m_overlayPath.empty() || m_overlayUnreadable) {
    plist_free(static_cast<plist_t>(value));
    return false;
  }
  plist_t updated = m_overlay ? plist_copy(m_overlay->node) : plist_new_dict();
  plist_dict_set_item(updated, key.c_str(), static_cast<plist_t>(value));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(updated, &xml, &length);
  if (xml == nullptr) {
    plist_free(updated);
    return false;
  }
  const bool written = WriteAtomically(m_overlayPath, std::string(xml, length));
  plist_to_xml_free(xml);
  if (!written) {
    plist_free(updated);
    return false;
  }
  m_overlay = std::make_unique<Dict>(updated);
  return true;
}

}  // namespace launcher
