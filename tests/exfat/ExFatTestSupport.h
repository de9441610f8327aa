#pragma once
// Helpers of the exFAT tests: images made by mkfs.exfat and exfat-fuse, what
// The Sleuth Kit lists for them, volume devices and the trees of a scan.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/device/StorageDevice.h"
#include "core/model/Contracts.h"
#include "support/Absent.h"
#include "support/FakeSinks.h"
#include "support/Files.h"
#include "support/SleuthKit.h"

namespace exfattest {

// Why exFAT images cannot be made here: root, a loop device, FUSE or a tool is
// missing (empty when they can).
testsupport::Lack WhyNoFuseImages();
// Runs make_exfat_image.sh into `dir`; false when it fails.
bool MakeFuseImage(const std::string& dir);

// An entry of `fls -m`: path "/DOCS/note.txt", size, mtime in seconds.
using Listed = testsupport::FlsBodyEntry;
// The deleted entries `fls -r -d -m /` lists (optionally at an offset), TSK's
// own finds of stray entries left out.
std::vector<Listed> FlsDeleted(const std::string& image, long long sectorOffset = 0);
// fls cuts an entry set that crosses a cluster end after its first name
// entry and lists the head as deleted, also for a live file. True when
// `entry` is such a head of a file in `liveList` ("/path|size" lines).
bool IsCutHeadOfLiveFile(const std::string& liveList, const Listed& entry);

// A read-only volume device over a file, recorded as file-system `code`.
std::unique_ptr<IStorageDevice> OpenVolume(const std::string& path, int code);

struct Found {
  IFileNode* node = nullptr;
  std::string path;
};
// Every node under the roots of searcher type 33, by path ("/A/b").
std::map<std::string, Found> TreeByPath(const testsupport::RecordingTree& tree);

inline std::int64_t UnixSeconds(long long fileTime) { return fileTime / 10000000LL - 11644473600LL; }

using testsupport::ReadFileBytes;

}  // namespace exfattest
