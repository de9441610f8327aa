#pragma once
// Shared helpers of the bridge and the windows: main-thread notifications,
// FILETIME conversion, name matching, node paths and the node's tree root.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/model/FileNode.h"
#include "core/model/SearcherTypes.h"

// Seconds since 1970 of a FILETIME (unsigned division, then the epoch shift).
std::int64_t convertWindowsTimeToUnixTime(std::uint64_t fileTime);

// One conversion of `inLength` bytes of UTF-8 into the host's wide
// characters (wchar_t, 4 bytes) in `out` of `outLength` bytes; no
// terminator is written (callers pass a zeroed buffer). The converter's
// result (0 when all was converted), or -1: invalid or cut-off input, too
// small an output (what fitted is there), null buffers, or no converter.
long UTF82WCHAR(char* in, std::size_t inLength, char* out, std::size_t outLength);

class QVUIPublic {
 public:
  // Posts `key` on the default notification centre from the main thread.
  static void NotifyMainThread(const std::string& key);
  // Runs `step` on a thread of its own, then posts `key` on the main thread.
  static void NotifyMainThreadByPostKey(const std::string& key, std::function<void()> step);
  // Local date and time text; "" for a zero time.
  static std::string FormatFileTimeToString(std::uint64_t fileTime);
  static void GetYearAndMonthByFileTime(int* year, int* month, std::uint64_t fileTime);
  // Case-insensitive containment; an empty text matches everything.
  static bool IsStringInString(const char* text, const char* name);
  static bool IsStringInFileNode(const char* text, IFileNode* node);
  static bool IsStringInFileNodeVector(const char* text, const std::vector<IFileNode*>* nodes);
  // "/" + each name from the tree's root down to the node; the root gives its
  // volume name. Names are as found on the disk.
  static std::string GetPathByFileNode(IFileNode* node);
  // The name of the folder that recovered files of a searcher type go into,
  // before its four-digit counter; `date` is today's "yyyy-MM-dd".
  static std::string GetFileSystemStrByType(int searcherType, const std::string& date);
  static std::string GetFileSystemStrByType(int searcherType);
};

class QVCPPPublic {
 public:
  static QVCPPPublic* instance();
  virtual ~QVCPPPublic() = default;

  // The root above the node (the node itself when it has no parent); null
  // for a null node or a parent chain that loops.
  IFilesystemNode* GetFileSystemNode(IFileNode* node);
  unsigned GetNodeSearcheType(IFileNode* node);
  void GetYearMonthByTimeT(int* year, int* month, std::int64_t t);
  void GetYearMonthByFileTime(int* year, int* month, std::uint64_t fileTime);
  // Sorts newest first (keys 2, 3, 4: creation, modification, access time)
  // or by name, descending (any other key).
  void SortFileNodeVector(std::vector<IFileNode*>& nodes, int key);
  const char* GetStringByID(unsigned id);
  std::string FilterTypeToString(unsigned type);
  unsigned StringToFilterType(const char* text);
  int IsTypeString(const char* text, unsigned type);
  int IsStringInFileNode(const char* text, IFileNode* node);
  // 1 when another copy of the program runs for this user (it holds the
  // lock file in the runtime folder); the first caller takes the lock.
  int IsAppRunning();
};

namespace bridge {

// "2024-03-08T10:00:02Z"; nullopt for a zero time.
std::optional<std::string> FileTimeToIsoUtc(std::uint64_t fileTime);

// One name from a disk made safe as a single path component: "/" and NUL
// and control bytes become "_", "." and ".." and "" become "_", at most 255
// bytes, cut on a UTF-8 boundary.
std::string SafeComponent(const std::string& name);

// The node's path below its tree (the root's volume name first), each
// component made safe; begins with "/".
std::string SafeRelativePath(IFileNode* node);

}  // namespace bridge
