#pragma once
// Folders below a destination that one recovery run has made or checked,
// each kept open. A folder found here is neither walked nor checked again:
// files are opened, looked for and stamped relative to its descriptor. The
// descriptor names the folder that was checked, so a folder swapped for a
// symbolic link after the check is never followed. Thread-safe; at most a
// fixed number of folders stay open (the least recently used are closed and
// walked again when next needed).

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/FileTimes.h"

namespace platform {

class HeldFolders {
 public:
  static constexpr std::size_t kMostOpen = 128;

  explicit HeldFolders(std::size_t mostOpen = kMostOpen);
  ~HeldFolders();
  HeldFolders(const HeldFolders&) = delete;
  HeldFolders& operator=(const HeldFolders&) = delete;

  // As MakeFoldersBelow: creates each folder of `relative` ("a/b/c", no "."
  // or ".." parts) below the existing folder `root`, mode 0755; false when a
  // part exists but is not a real folder (a file or a symbolic link), or
  // cannot be made. Every folder on the way, `root` included, stays held
  // under its path: `root` without trailing slashes, then "/" and each part.
  bool MakeBelow(const std::string& root, const std::string& relative);

  // Whether something (a file, folder or link, even a dangling one) is at
  // `path`, looked for in its held folder; none when that folder is not held.
  std::optional<bool> EntryExists(const std::string& path);

  // Opens `path` for writing in its held folder (created with mode 0644;
  // `truncate` empties it), never through a symbolic link at its name.
  // The descriptor, or -1 with errno set; none when the folder is not held.
  // A held folder that has been removed is forgotten.
  std::optional<int> OpenFile(const std::string& path, bool truncate);

  // Sets the times of the held `folder` (null leaves that time); none when
  // it is not held, else false with errno when the system refuses.
  std::optional<bool> SetFolderTimes(const std::string& folder, const UnixTimeStamp* access,
                                     const UnixTimeStamp* modification);

  // Closes every held folder.
  void Clear();

 private:
  struct Held {
    int fd = -1;
    std::uint64_t used = 0;
  };

  // The held descriptor of `folder` (marked as just used), or -1.
  int FindLocked(const std::string& folder);
  void HoldLocked(const std::string& folder, int fd);
  void ForgetLocked(const std::string& folder);

  std::mutex m_mutex;
  std::unordered_map<std::string, Held> m_folders;
  std::size_t m_mostOpen;
  std::uint64_t m_clock = 0;
};

}  // namespace platform
