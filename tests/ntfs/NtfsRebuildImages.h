#pragma once
// NTFS images that only a complete scan can rebuild, made by mkntfs and
// ntfs-3g: a quick reformat, a volume holding a second $MFT elsewhere, and a
// volume for a disk whose system records are then wiped.

#include <string>

namespace ntfstest {

// 64 MiB, 4 KiB clusters: 40 files in /Top/Sub and 40 in the root, then
// `mkntfs -Q` again over it. Sources under `sources` (Top/Sub/subNN.bin,
// rootNN.bin).
bool MakeReformattedVolume(const std::string& image, const std::string& sources);
// 64 MiB, 4 KiB clusters: a00..a09.bin in the root; the $MFT is then copied
// to cluster `copyCluster` (its record names the copy as its data), and the
// a-files are replaced by b00..b09.bin, which take over their records.
bool MakeTwoMftVolume(const std::string& image, const std::string& sources, long long copyCluster);
// 64 MiB, 4 KiB clusters: "Many" with 60 files (an index allocation of its
// own) and root files rootNN.bin; sources under `sources`.
bool MakeManyFilesVolume(const std::string& image, const std::string& sources);

}  // namespace ntfstest
