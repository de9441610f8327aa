// Files that APFS stores compressed (the BSD compressed flag, a
// "com.apple.decmpfs" attribute and, for the chunked kinds, a resource fork
// inline or in a stream of its own): their content comes back whole, and a
// kind that cannot be decoded fails its recovery with a log line instead of
// an empty file counted as recovered.

#include <gtest/gtest.h>

#include <string>

#include "apfs/APFSFileNode.h"
#include "apfs/ApfsImageBuilder.h"
#include "apfs/ApfsScanSupport.h"
#include "hfsplus_builder/Compressors.h"
#include "support/MemoryDevice.h"

namespace apfstest {
namespace {

using testsupport::MemoryDevice;

constexpr std::uint64_t kFile = 20;
constexpr std::uint64_t kStream = 21;
constexpr std::uint64_t kForkBlock = 12;

Bytes Text(std::size_t size, unsigned seed) {
  Bytes out;
  for (unsigned line = 0; out.size() < size; ++line) {
    const std::string s = "line " + std::to_string(line * seed % 9973) + " of a compressed text\n";
    out.insert(out.end(), s.begin(), s.end());
  }
  out.resize(size);
  return out;
}

enum class Fork { kNone, kInline, kStream };

struct CompressedCase {
  const char* what;
  std::uint32_t type;
  std::size_t size;
  Fork fork;
};

// The container with the file: its inode flagged compressed, its decmpfs
// attribute and its resource fork where the case puts it.
Container WithCompressedFile(const CompressedCase& c, const Bytes& content) {
  Container box;
  Record inode = Inode(kFile, 2, kTime2020, 0x81A4, "packed.txt", 0, false);
  SetBsdFlags(inode, 0x20);
  box.records = {Inode(2, 1, kTime2020, 0x41ED, "root", 0), inode};
  Bytes payload;
  Bytes fork;
  if (c.type == 3) payload = hfsbuilder::ZlibCompress(content);
  if (c.type == 7) payload = hfsbuilder::LzvnCompress(content);
  if (c.type == 4) fork = hfsbuilder::ZlibResourceFork(content, false);
  if (c.type == 8) fork = hfsbuilder::LzvnResourceFork(content, false);
  if (c.type == 11) payload = Bytes(64, 0x5A);  // LZFSE, not decoded here
  box.records.push_back(
      XattrEmbedded(kFile, "com.apple.decmpfs", hfsbuilder::DecmpfsAttribute(c.type, content.size(), payload)));
  if (c.fork == Fork::kInline) box.records.push_back(XattrEmbedded(kFile, "com.apple.ResourceFork", fork));
  if (c.fork == Fork::kStream) {
    box.records.push_back(XattrStream(kFile, "com.apple.ResourceFork", kStream, fork.size()));
    box.records.push_back(Extent(kStream, 0, (fork.size() + kBlock - 1) / kBlock * kBlock, kForkBlock));
    for (std::size_t at = 0; at < fork.size(); at += kBlock) {
      const std::size_t n = std::min(kBlock, fork.size() - at);
      box.dataBlocks.push_back({kForkBlock + at / kBlock,
                                Bytes(fork.begin() + static_cast<long>(at), fork.begin() + static_cast<long>(at + n))});
    }
  }
  box.records.push_back(DirEntry(2, "packed.txt", kFile, kTime2020, false));
  return box;
}

class ApfsCompressed : public ::testing::TestWithParam<CompressedCase> {};

TEST_P(ApfsCompressed, ContentComesBackOrTheRecoveryFails) {
  const CompressedCase c = GetParam();
  const Bytes content = Text(c.size, 7);
  MemoryDevice device(BuildContainer(WithCompressedFile(c, content)));
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  const auto paths = builder.ByPath();
  ASSERT_TRUE(paths.count("packed.txt"));
  IFileNode* node = paths.at("packed.txt");
  EXPECT_EQ(node->IsCompressed(), 1);
  EXPECT_EQ(node->GetFileSize(), static_cast<long long>(c.size));

  testsupport::TempDir tmp;
  std::string recovered;
  testing::internal::CaptureStdout();
  const bool ok = RecoverNode(scan.get(), &device, node, tmp, "packed", recovered);
  const std::string log = testing::internal::GetCapturedStdout();
  if (c.type == 11) {
    EXPECT_FALSE(ok);
    EXPECT_NE(log.find("packed.txt] cannot be recovered: this compression type cannot be decoded (decmpfs type 11)"),
              std::string::npos)
        << log;
    return;
  }
  ASSERT_TRUE(ok);
  EXPECT_EQ(recovered, std::string(content.begin(), content.end()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ApfsCompressed,
                         ::testing::Values(CompressedCase{"ZlibInline", 3, 3000, Fork::kNone},
                                           CompressedCase{"LzvnInline", 7, 1200, Fork::kNone},
                                           CompressedCase{"ZlibForkInline", 4, 2500, Fork::kInline},
                                           CompressedCase{"ZlibForkStream", 4, 150000, Fork::kStream},
                                           CompressedCase{"LzvnForkStream", 8, 150000, Fork::kStream},
                                           CompressedCase{"Lzfse", 11, 5000, Fork::kNone}),
                         [](const ::testing::TestParamInfo<CompressedCase>& info) {
                           return std::string(info.param.what);
                         });

// A compressed file whose resource fork was never found fails as well.
TEST(ApfsCompressedMissingFork, RecoveryFailsWithALogLine) {
  const CompressedCase c{"LzvnForkMissing", 8, 70000, Fork::kNone};
  MemoryDevice device(BuildContainer(WithCompressedFile(c, Text(c.size, 3))));
  CollectingBuilder builder;
  auto scan = Sweep(&device, builder);
  const auto paths = builder.ByPath();
  ASSERT_TRUE(paths.count("packed.txt"));
  testsupport::TempDir tmp;
  std::string recovered;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(RecoverNode(scan.get(), &device, paths.at("packed.txt"), tmp, "packed", recovered));
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("resource fork is missing or damaged"), std::string::npos) << log;
}

}  // namespace
}  // namespace apfstest
