#pragma once
// FILETIME (100-ns intervals since 1601-01-01 UTC) to Unix time stamps.

#include <optional>

#include "platform/FileTimes.h"

// The stamp of a FILETIME; none for 0 (unknown) and negative values.
[[nodiscard]] std::optional<platform::UnixTimeStamp> FileTimeToUnixStamp(long long fileTime);
