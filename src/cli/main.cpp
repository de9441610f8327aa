// quarnel-cli: the engine driven from a terminal.

#include <cstdio>
#include <cstring>

namespace {

void PrintUsage(FILE* out) {
  std::fputs(
      "Usage: quarnel-cli [--help] [--version]\n"
      "\n"
      "Quarnel finds deleted files and the files of lost or reformatted\n"
      "partitions (HFS+, APFS, FAT, exFAT, NTFS) on a disk, a partition or a\n"
      "disk image, and copies them to another volume. Sources are only read.\n"
      "\n"
      "  --help      show this text\n"
      "  --version   show the version\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::puts("quarnel-cli 0.1.0");
    return 0;
  }
  std::fprintf(stderr, "quarnel-cli: unknown argument '%s'\n\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
