#include "support/CliProgram.h"
#include "hfsplus/HfsTestSupport.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "support/TempDir.h"

namespace hfstest {

bool HaveSleuthKit() {
  return testsupport::HaveProgram("fls") && testsupport::HaveProgram("icat") && testsupport::HaveProgram("fsstat");
}

std::map<std::string, FlsEntry> ListWithFls(const std::string& image, long long offset) {
  std::map<std::string, FlsEntry> out;
  for (const FlsEntry& e : testsupport::FlsLong(image, offset)) {
    if (!e.path.empty() && e.path[0] != '$') out[e.path] = e;
  }
  return out;
}

namespace {
std::string UtcText(long long unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}
}  // namespace

std::string HfsDateText(std::uint32_t s) { return UtcText(static_cast<long long>(s) - 2082844800LL); }

std::string FileTimeText(long long ft) { return UtcText((ft - 116444736000000000LL) / 10000000LL); }

Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes b(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<std::uint8_t>(x);
  }
  return b;
}

}  // namespace hfstest
