#include "support/CliProgram.h"
#include "ntfs/NtfsTestImages.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "support/TempDir.h"

namespace ntfstest {
namespace {

// Mounts with ntfs-3g, fills the volume and deletes part of it; the trap
// unmounts whatever happens.
constexpr const char* kScript = R"SH(set -e
I=$1; S=$2; CS=$3; SS=$4; M=$S.mnt
truncate -s 64M "$I"
mkntfs -F -Q -q -L NTFSFX -c $CS -s $SS "$I" >/dev/null 2>&1
mkdir -p "$M" "$S/DOCS/SUB/DEEP" "$S/Long Folder Name" "$S/ZIPPED"
# Every source in one interpreter: starting python3 per file costs seconds
# on a busy machine.
python3 - "$S" <<'PY'
import os, sys
s = sys.argv[1]
def pat(n, seed):
    return bytes(((i * 7 + seed * 13 + (i >> 8) * 3 + (i >> 16)) & 255) for i in range(n))
def txt(n):
    return "".join("row %06d: the quick brown fox jumps over the lazy dog\n" % i for i in range(n // 56 + 1))[:n].encode()
files = {
    "DOCS/note.txt": pat(300, 1), "DOCS/Long File Name Report.txt": pat(20000, 2), "DOCS/keep.txt": pat(5000, 3),
    "DOCS/SUB/sub_a.txt": pat(100, 4), "DOCS/SUB/sub_b.bin": pat(300000, 5), "DOCS/SUB/DEEP/deep.bin": pat(7000, 11),
    "Long Folder Name/\u00dcn\u00efc\u00f6d\u00e9 \u00f1ame \u65e5\u672c.bin": pat(50000, 6), "empty.txt": b"",
    "fill1.bin": pat(1048576, 7), "fill2.bin": pat(1048576, 8), "fill3.bin": pat(1048576, 9),
    "big.bin": pat(3145728, 10), "ZIPPED/comp.txt": txt(1048576), "ZIPPED/keepc.txt": txt(2000),
    "ZIPPED/tiny.txt": txt(300),
}
for name, data in files.items():
    with open(os.path.join(s, name), "wb") as out:
        out.write(data)
os.makedirs(s + ".parts", exist_ok=True)
for n, seed in ((8192, 12), (20000, 13), (12288, 14)):
    with open("%s.parts/%d" % (s, seed), "wb") as out:
        out.write(pat(n, seed))
PY
ntfs-3g -o compression "$I" "$M"
trap 'umount "$M" 2>/dev/null || fusermount -u "$M" 2>/dev/null; rmdir "$M" 2>/dev/null' EXIT
mkdir -p "$M/DOCS/SUB/DEEP" "$M/Long Folder Name" "$M/ZIPPED"
setfattr -h -v 0x00000800 -n system.ntfs_attrib_be "$M/ZIPPED"
for f in DOCS/note.txt "DOCS/Long File Name Report.txt" DOCS/keep.txt DOCS/SUB/sub_a.txt DOCS/SUB/sub_b.bin DOCS/SUB/DEEP/deep.bin \
         "Long Folder Name/Ünïcödé ñame 日本.bin" empty.txt fill1.bin fill2.bin fill3.bin; do cp "$S/$f" "$M/$f"; done
sync; rm "$M/fill2.bin"; sync
cp "$S/big.bin" "$M/big.bin"
for f in ZIPPED/comp.txt ZIPPED/keepc.txt ZIPPED/tiny.txt; do cp "$S/$f" "$M/$f"; done
# Sparse files: a size set by truncate, data written at offsets inside.
sparse() { for d in "$S" "$M"; do truncate -s $2 "$d/$1"; dd if="$S.parts/$4" of="$d/$1" bs=4096 seek=$5 conv=notrunc status=none; done; }
sparse sparse_keep.bin 4194304 8192 12 256
sparse DOCS/sparse.bin 6291456 20000 13 300
sparse ZIPPED/sparsec.bin 2097152 12288 14 100
sync
rm "$M/DOCS/note.txt" "$M/DOCS/Long File Name Report.txt" "$M/Long Folder Name/Ünïcödé ñame 日本.bin" \
   "$M/empty.txt" "$M/big.bin" "$M/ZIPPED/comp.txt" "$M/ZIPPED/tiny.txt" "$M/DOCS/sparse.bin" "$M/ZIPPED/sparsec.bin"
rm -r "$M/DOCS/SUB"
sync
)SH";

// A recycle bin as Windows leaves it: "$I" records naming the original paths
// beside the "$R" files with the data; all four are then deleted.
constexpr const char* kRecycleScript = R"SH(set -e
I=$1; S=$2; M=$S.mnt
truncate -s 64M "$I"
mkntfs -F -Q -q -L RECYCLE -c 4096 -s 512 "$I" >/dev/null 2>&1
mkdir -p "$M" "$S"
python3 - "$S" <<'PY'
import struct, sys
s = sys.argv[1]
def info(path, size):
    p = (path + "\0").encode("utf-16le")
    return struct.pack("<QQQI", 2, size, 133000000000000000, len(p) // 2) + p
big = bytes((i * 11 + 5) & 255 for i in range(30000))
small = b"a small recycled note\n" * 5
open(s + "/big", "wb").write(big)
open(s + "/small", "wb").write(small)
open(s + "/ibig", "wb").write(info("C:\\Users\\me\\Documents\\Quarterly report.docx", len(big)))
open(s + "/ismall", "wb").write(info("C:\\Users\\me\\Desktop\\Notizen für später.txt", len(small)))
PY
ntfs-3g "$I" "$M"
trap 'umount "$M" 2>/dev/null || fusermount -u "$M" 2>/dev/null; rmdir "$M" 2>/dev/null' EXIT
B='$Recycle.Bin/S-1-5-21-1000'
mkdir -p "$M/$B"
cp "$S/big" "$M/$B/\$RQ1W2E3.docx"; cp "$S/ibig" "$M/$B/\$IQ1W2E3.docx"
cp "$S/small" "$M/$B/\$RA9B8C7.txt"; cp "$S/ismall" "$M/$B/\$IA9B8C7.txt"
sync
rm "$M/$B/\$RQ1W2E3.docx" "$M/$B/\$IQ1W2E3.docx" "$M/$B/\$RA9B8C7.txt" "$M/$B/\$IA9B8C7.txt"
sync
)SH";

bool RunScript(const char* text, const std::string& scriptPath, const std::string& arguments) {
  {
    std::ofstream out(scriptPath);
    out << text;
  }
  return testsupport::Run("bash '" + scriptPath + "' " + arguments + " >/dev/null 2>&1") == 0;
}

}  // namespace

testsupport::Lack ImageToolsMissing() {
  testsupport::Lack lack = testsupport::MissingTool({"mkntfs", "ntfs-3g", "setfattr", "python3", "fls", "icat"});
  return lack.empty() ? testsupport::MissingFuse() : lack;
}

bool MakeTestVolume(const std::string& image, const std::string& sources, int clusterBytes, int sectorBytes) {
  return RunScript(
      kScript, sources + ".sh",
      "'" + image + "' '" + sources + "' " + std::to_string(clusterBytes) + " " + std::to_string(sectorBytes));
}

bool MakeRecycleBinVolume(const std::string& image, const std::string& sources) {
  return RunScript(kRecycleScript, sources + ".sh", "'" + image + "' '" + sources + "'");
}

namespace {

std::map<std::string, FlsEntry> ListWithFls(const std::string& image, long long offset, bool deletedOnly) {
  std::map<std::string, FlsEntry> out;
  for (const FlsEntry& e : testsupport::FlsLong(image, offset, deletedOnly)) {
    if (e.path.rfind("$OrphanFiles", 0) == 0 || (!deletedOnly && e.path.rfind("$", 0) == 0)) continue;
    out[e.path] = e;
  }
  return out;
}

}  // namespace

std::map<std::string, FlsEntry> DeletedWithFls(const std::string& image, long long offset) {
  return ListWithFls(image, offset, true);
}

std::map<std::string, FlsEntry> AllWithFls(const std::string& image, long long offset) {
  return ListWithFls(image, offset, false);
}

Bytes IcatData(const std::string& image, std::uint64_t inode, long long offset) {
  const std::string cmd = "icat " + (offset ? "-o " + std::to_string(offset) + " " : std::string()) + "'" + image +
                          "' " + std::to_string(inode) + " 2>/dev/null";
  const std::string s = Capture(cmd);
  return Bytes(s.begin(), s.end());
}

std::string FileTimeText(long long fileTime) {
  const std::time_t t = static_cast<std::time_t>(fileTime / 10000000LL - 11644473600LL);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

}  // namespace ntfstest
