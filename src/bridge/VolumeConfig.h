#pragma once
// A volume's own settings: the property list ".Quarnelfiles/config.plist"
// at the top of a volume, a dictionary whose boolean keys
// "WXKeyCompleteProtect" and "WXKeyQuickProtect" say which scans the volume
// asks to be protected from. The file lies on the scanned volume, so it is
// read as untrusted: a plain file of at most 1 MiB, anything else counts as
// absent.

#include <cstdint>
#include <map>
#include <string>
#include <variant>

inline constexpr const char* kWXKeyCompleteProtect = "WXKeyCompleteProtect";
inline constexpr const char* kWXKeyQuickProtect = "WXKeyQuickProtect";

// A value of the dictionary's top level; arrays, dictionaries, data and
// dates are kept as their kind only.
struct VolumeConfigOther {
  bool operator==(const VolumeConfigOther&) const = default;
};
using VolumeConfigValue = std::variant<bool, std::int64_t, double, std::string, VolumeConfigOther>;
using VolumeConfigDictionary = std::map<std::string, VolumeConfigValue>;

// The dictionary in "<volumePath>/.Quarnelfiles/config.plist" (XML or
// binary property list); empty when the file is absent, unreadable, too
// large or not a dictionary. Reads are serialised by one process-wide lock.
VolumeConfigDictionary WXGetConfigDictionary(const std::string& volumePath);
// The key's value taken as a truth value (numbers: non-zero; texts as the
// system reads "YES", "true" or a leading non-zero digit); false when absent.
bool WXConfigBool(const VolumeConfigDictionary& dictionary, const std::string& key);
bool WXGetCompleteProtect(const std::string& volumePath);
bool WXGetQuickProtect(const std::string& volumePath);
