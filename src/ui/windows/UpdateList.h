#pragma once
// The remote version list: a property list (XML or binary) with the build
// number "VersionCheck", the version text "Version" and the feature lines
// "1" to "n". Read from untrusted bytes: anything that is not a dictionary
// is no list at all.

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace windows {

struct UpdateList {
  long long versionCheck = 0;  // 0 when missing or not a number
  QString version;
  // Every other key with its value as text (numbers written out).
  std::map<QString, QString> lines;
};

// Lists larger than this are refused.
constexpr qsizetype kMaxUpdateListBytes = 1 << 20;

std::optional<UpdateList> ParseUpdateList(const QByteArray& bytes);

}  // namespace windows
