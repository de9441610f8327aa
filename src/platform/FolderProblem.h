#pragma once
// Why files cannot be written into a folder: checked before a recovery and
// told for every file that fails.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// "" when `folder` is (or can be made as) a writable folder with free space;
// else the reason ("... is not a folder", "... is on a read-only file
// system", "... permission denied", "no space left on the device that
// holds ...").
std::string FolderWriteProblem(const std::string& folder);

// Bytes free for this user on the file system that holds `folder` (or its
// nearest existing parent); empty when it cannot be told.
std::optional<std::uint64_t> FreeBytesAt(const std::string& folder);

}  // namespace platform
