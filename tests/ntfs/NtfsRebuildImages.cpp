#include "ntfs/NtfsRebuildImages.h"

#include <fstream>

#include "support/TempDir.h"

namespace ntfstest {
namespace {

// Shared start of every script: a fresh volume, deterministic sources, and
// a mount helper whose trap unmounts whatever happens.
constexpr const char* kPrologue = R"SH(set -e
I=$1; S=$2; M=$S.mnt
truncate -s 64M "$I"
mkntfs -F -Q -q -c 4096 "$I" >/dev/null 2>&1
mkdir -p "$M" "$S"
trap 'if mountpoint -q "$M"; then umount "$M" 2>/dev/null || fusermount -u "$M" 2>/dev/null; fi; rmdir "$M" 2>/dev/null; true' EXIT
# Writes the deterministic sources in one interpreter: the lines read from
# stdin are "size seed path".
pats() { python3 -c "
import sys
for line in sys.stdin:
    n, s, path = line.rstrip('\\n').split(' ', 2)
    n, s = int(n), int(s)
    open(path, 'wb').write(bytes(((i*7+s*13+(i>>8)*3)&255) for i in range(n)))
"; }
mnt() { ntfs-3g "$I" "$M"; }
umnt() { sync; umount "$M"; }
)SH";

constexpr const char* kReformat = R"SH(
mkdir -p "$S/Top/Sub"
for i in $(seq -w 0 39); do
  echo "$((3000 + 10#$i * 517)) $((10#$i + 1)) $S/Top/Sub/sub$i.bin"
  echo "$((2000 + 10#$i * 301)) $((10#$i + 50)) $S/root$i.bin"
done | pats
mnt
mkdir -p "$M/Top/Sub"
cp "$S"/Top/Sub/*.bin "$M/Top/Sub/"
cp "$S"/root*.bin "$M/"
umnt
mkntfs -F -Q -q -c 4096 "$I" >/dev/null 2>&1
)SH";

// Copies the $MFT's clusters to cluster $3 (which must be unused) and makes
// the copy's own record name it as one run there.
constexpr const char* kTwoMft = R"SH(
for i in $(seq -w 0 9); do
  echo "$((5000 + 10#$i * 700)) $((10#$i + 100)) $S/a$i.bin"
  echo "$((6000 + 10#$i * 900)) $((10#$i + 200)) $S/b$i.bin"
done | pats
mnt
cp "$S"/a*.bin "$M/"
umnt
python3 - "$I" "$3" <<'PY'
import struct, sys
path, X = sys.argv[1], int(sys.argv[2])
d = bytearray(open(path, 'rb').read())
cs = struct.unpack_from('<H', d, 11)[0] * d[13]
rec = struct.unpack_from('<q', d, 0x30)[0] * cs
def data_attr(r):
    off = struct.unpack_from('<H', d, r + 0x14)[0]
    while True:
        t, l = struct.unpack_from('<II', d, r + off)
        assert t != 0xFFFFFFFF
        if t == 0x80:
            return r + off, l
        off += l
a, l = data_attr(rec)
ro = struct.unpack_from('<H', d, a + 0x20)[0]
pos, lcn, runs = a + ro, 0, []
while d[pos]:
    ln, on = d[pos] & 15, d[pos] >> 4
    length = int.from_bytes(d[pos + 1:pos + 1 + ln], 'little')
    lcn += int.from_bytes(d[pos + 1 + ln:pos + 1 + ln + on], 'little', signed=True)
    runs.append((lcn, length))
    pos += 1 + ln + on
data = b''.join(bytes(d[c * cs:(c + n) * cs]) for c, n in runs)
assert not any(d[X * cs:X * cs + len(data)])
d[X * cs:X * cs + len(data)] = data
total = len(data) // cs
pairs = bytes([0x32]) + total.to_bytes(2, 'little') + X.to_bytes(3, 'little') + b'\0'
ca = a - rec + X * cs
assert len(pairs) <= l - ro and (ca + ro - X * cs) + len(pairs) < 510
d[ca + ro:ca + l] = pairs + bytes(l - ro - len(pairs))
open(path, 'wb').write(d)
PY
mnt
rm "$M"/a*.bin
sync
cp "$S"/b*.bin "$M/"
umnt
)SH";

constexpr const char* kMany = R"SH(
mkdir -p "$S/Many"
{
  for i in $(seq -w 0 59); do echo "$((1500 + 10#$i * 211)) $((10#$i + 7)) $S/Many/a file with a long name number $i.bin"; done
  for i in $(seq -w 0 4); do echo "$((9000 + 10#$i * 1000)) $((10#$i + 90)) $S/root$i.bin"; done
} | pats
mnt
mkdir -p "$M/Many"
cp "$S"/Many/*.bin "$M/Many/"
cp "$S"/root*.bin "$M/"
umnt
)SH";

bool RunScript(const std::string& body, const std::string& image, const std::string& sources,
               const std::string& extra) {
  const std::string script = sources + ".sh";
  {
    std::ofstream out(script);
    out << kPrologue << body;
  }
  return testsupport::Run("bash '" + script + "' '" + image + "' '" + sources + "' " + extra + " >/dev/null 2>&1") == 0;
}

}  // namespace

bool MakeReformattedVolume(const std::string& image, const std::string& sources) {
  return RunScript(kReformat, image, sources, "");
}

bool MakeTwoMftVolume(const std::string& image, const std::string& sources, long long copyCluster) {
  return RunScript(kTwoMft, image, sources, std::to_string(copyCluster));
}

bool MakeManyFilesVolume(const std::string& image, const std::string& sources) {
  return RunScript(kMany, image, sources, "");
}

}  // namespace ntfstest
