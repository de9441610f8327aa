#include "ntfs/NtfsTestImages.h"

#include <cstdio>
#include <ctime>
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
mkdir -p "$M" "$S/DOCS/SUB" "$S/Long Folder Name" "$S/ZIPPED"
pat() { python3 -c "import sys;n=int(sys.argv[1]);s=int(sys.argv[2]);sys.stdout.buffer.write(bytes(((i*7+s*13+(i>>8)*3+(i>>16))&255) for i in range(n)))" $1 $2; }
txt() { python3 -c "import sys;n=int(sys.argv[1]);sys.stdout.write(''.join('row %06d: the quick brown fox jumps over the lazy dog\n'%i for i in range(n//56+1))[:n])" $1; }
pat 300 1 > "$S/DOCS/note.txt"
pat 20000 2 > "$S/DOCS/Long File Name Report.txt"
pat 5000 3 > "$S/DOCS/keep.txt"
pat 100 4 > "$S/DOCS/SUB/sub_a.txt"
pat 300000 5 > "$S/DOCS/SUB/sub_b.bin"
pat 50000 6 > "$S/Long Folder Name/Ünïcödé ñame 日本.bin"
: > "$S/empty.txt"
pat 1048576 7 > "$S/fill1.bin"; pat 1048576 8 > "$S/fill2.bin"; pat 1048576 9 > "$S/fill3.bin"
pat 3145728 10 > "$S/big.bin"
txt 1048576 > "$S/ZIPPED/comp.txt"; txt 2000 > "$S/ZIPPED/keepc.txt"; txt 300 > "$S/ZIPPED/tiny.txt"
ntfs-3g -o compression "$I" "$M"
trap 'umount "$M" 2>/dev/null || fusermount -u "$M" 2>/dev/null; rmdir "$M" 2>/dev/null' EXIT
mkdir -p "$M/DOCS/SUB" "$M/Long Folder Name" "$M/ZIPPED"
setfattr -h -v 0x00000800 -n system.ntfs_attrib_be "$M/ZIPPED"
for f in DOCS/note.txt "DOCS/Long File Name Report.txt" DOCS/keep.txt DOCS/SUB/sub_a.txt DOCS/SUB/sub_b.bin \
         "Long Folder Name/Ünïcödé ñame 日本.bin" empty.txt fill1.bin fill2.bin fill3.bin; do cp "$S/$f" "$M/$f"; done
sync; rm "$M/fill2.bin"; sync
cp "$S/big.bin" "$M/big.bin"
for f in ZIPPED/comp.txt ZIPPED/keepc.txt ZIPPED/tiny.txt; do cp "$S/$f" "$M/$f"; done
sync
rm "$M/DOCS/note.txt" "$M/DOCS/Long File Name Report.txt" "$M/Long Folder Name/Ünïcödé ñame 日本.bin" \
   "$M/empty.txt" "$M/big.bin" "$M/ZIPPED/comp.txt" "$M/ZIPPED/tiny.txt"
rm -r "$M/DOCS/SUB"
sync
)SH";

}  // namespace

std::string ImageToolsMissing() {
  for (const char* tool : {"mkntfs", "ntfs-3g", "setfattr", "python3", "fls", "icat"}) {
    if (!testsupport::HaveProgram(tool)) return std::string(tool) + " is not installed";
  }
  if (geteuid() != 0) return "mounting ntfs-3g images needs root";
  if (access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse is not available";
  return "";
}

bool MakeTestVolume(const std::string& image, const std::string& sources, int clusterBytes, int sectorBytes) {
  const std::string script = sources + ".sh";
  {
    std::ofstream out(script);
    out << kScript;
  }
  const std::string cmd = "bash '" + script + "' '" + image + "' '" + sources + "' " + std::to_string(clusterBytes) +
                          " " + std::to_string(sectorBytes) + " >/dev/null 2>&1";
  return testsupport::Run(cmd) == 0;
}

std::string Capture(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return "";
  std::string out;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0) out.append(buf, n);
  return out;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::map<std::string, FlsEntry> DeletedWithFls(const std::string& image, long long offset) {
  std::map<std::string, FlsEntry> out;
  const std::string cmd = "fls -r -d -p -l -z UTC " + (offset ? "-o " + std::to_string(offset) + " " : std::string()) +
                          "'" + image + "' 2>/dev/null";
  std::istringstream lines(Capture(cmd));
  std::string line;
  while (std::getline(lines, line)) {
    // "-/r * 71-128-2:\tPATH\tmtime\tatime\tctime\tcrtime\tsize\tuid\tgid"
    const auto tab = line.find('\t');
    if (tab == std::string::npos || line.size() < 4) continue;
    std::vector<std::string> fields;
    std::size_t at = tab + 1;
    while (true) {
      const auto next = line.find('\t', at);
      fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
      if (next == std::string::npos) break;
      at = next + 1;
    }
    FlsEntry e;
    e.path = fields[0];
    if (e.path.rfind("$OrphanFiles", 0) == 0) continue;
    e.directory = line[2] == 'd';
    const auto colon = line.find(':');
    const auto space = line.rfind(' ', colon);
    e.inode = std::stoull(line.substr(space + 1, colon - space - 1));
    if (fields.size() > 5) e.size = std::stoll(fields[5]);
    if (fields.size() > 1) e.mtime = fields[1].substr(0, 19);
    out[e.path] = e;
  }
  return out;
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
