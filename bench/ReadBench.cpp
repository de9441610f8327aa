// Cost of the device reader (pieces on a reader thread with a time limit)
// against plain pread of the same bytes, from the page cache, per request
// size. Both run in one process, alternately, and the ratio is printed.
//
//   quarnel_read_bench [--size-mib N] [--rounds N]

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/device/AsyncReader.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Reads `total` bytes in requests of `request` bytes, stepping through the
// file; returns seconds.
template <typename Read>
double Pass(long long total, long long request, long long fileBytes, Read read) {
  const auto start = Clock::now();
  long long offset = 0;
  for (long long done = 0; done < total; done += request) {
    if (offset + request > fileBytes) offset = 0;
    if (!read(offset, request)) {
      std::fprintf(stderr, "read failed at %lld\n", offset);
      std::exit(1);
    }
    offset += request;
  }
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  long long sizeMiB = 256;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size-mib") == 0) sizeMiB = std::atoll(argv[i + 1]);
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
  }
  const std::string path = "read-bench.bin";
  const long long fileBytes = sizeMiB << 20;
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<unsigned char> chunk(1 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<unsigned char>(i * 31 + 7);
    for (long long i = 0; i < sizeMiB; ++i) {
      if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) return 1;
    }
    ::close(fd);
  }
  const int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<unsigned char> buffer(static_cast<std::size_t>(kAsyncReadPiece));
  const auto viaReader = [&](long long offset, long long n) {
    return QVReadAsyncData(buffer.data(), fd, offset, n) == n;
  };
  const auto viaPread = [&](long long offset, long long n) {
    return ::pread(fd, buffer.data(), static_cast<std::size_t>(n), offset) == n;
  };
  std::printf("%-10s %12s %12s %8s\n", "request", "reader MB/s", "pread MB/s", "ratio");
  for (long long request : {512LL, 4096LL, 65536LL, 1LL << 20, kAsyncReadPiece}) {
    // Small requests move less in all, so that each size takes similar time.
    const long long total = request >= (1 << 20) ? fileBytes : fileBytes / (request >= 65536 ? 4 : 64);
    double reader = 0;
    double plain = 0;
    for (int r = 0; r < rounds; ++r) {
      plain += Pass(total, request, fileBytes, viaPread);
      reader += Pass(total, request, fileBytes, viaReader);
    }
    const double mb = static_cast<double>(total) * rounds / 1e6;
    std::printf("%-10lld %12.1f %12.1f %8.2f\n", request, mb / reader, mb / plain, reader / plain);
  }
  ::close(fd);
  ::unlink(path.c_str());
  return 0;
}
