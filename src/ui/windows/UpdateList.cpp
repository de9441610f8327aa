#include "ui/windows/UpdateList.h"

#include <plist/plist.h>

#include <memory>

#include "launcher/PrivateData.h"

namespace windows {
namespace {

struct PlistFree {
  void operator()(plist_t p) const { plist_free(p); }
};

// A leaf value as text; nothing for containers and data.
std::optional<QString> textOf(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return text == nullptr ? QString() : QString::fromUtf8(text, static_cast<qsizetype>(length));
    }
    case PLIST_UINT: {
      uint64_t v = 0;
      plist_get_uint_val(node, &v);
      return QString::number(static_cast<qlonglong>(v));
    }
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      return QString::number(v);
    }
    case PLIST_BOOLEAN: {
      uint8_t v = 0;
      plist_get_bool_val(node, &v);
      return v != 0 ? QStringLiteral("1") : QStringLiteral("0");
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<UpdateList> ParseUpdateList(const QByteArray& bytes) {
  if (bytes.isEmpty() || bytes.size() > kMaxUpdateListBytes) return std::nullopt;
  plist_t raw = nullptr;
  plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &raw);
  std::unique_ptr<void, PlistFree> root(raw);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
  UpdateList list;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(root.get(), &iter);
  if (iter == nullptr) return list;
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(root.get(), iter, &key, &value);
    if (key == nullptr || value == nullptr) {
      free(key);
      break;
    }
    const QString name = QString::fromUtf8(key);
    free(key);
    const std::optional<QString> text = textOf(value);
    if (name == QStringLiteral("VersionCheck")) {
      if (plist_get_node_type(value) == PLIST_UINT) {
        uint64_t v = 0;
        plist_get_uint_val(value, &v);
        list.versionCheck = static_cast<long long>(v);
      } else if (text) {
        list.versionCheck = launcher::PrivateData::LeadingInteger(text->toStdString()).value_or(0);
      }
    } else if (name == QStringLiteral("Version")) {
      list.version = text.value_or(QString());
    } else {
      list.lines[name] = text.value_or(QString());
    }
  }
  free(iter);
  return list;
}

}  // namespace windows
