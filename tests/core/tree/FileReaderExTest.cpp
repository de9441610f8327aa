// Reading a node's bytes through its data runs.

#include <gtest/gtest.h>

#include <climits>
#include <numeric>

#include "TreeTestNodes.h"
#include "core/reader/FileReaderEx.h"
#include "support/MemoryDevice.h"

namespace {

constexpr int kSector = 512;

// Every byte of the device holds (sector number + offset) mod 251.
std::vector<std::uint8_t> PatternDisk(int sectors) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(sectors) * kSector);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>((i / kSector + i % kSector) % 251);
  return bytes;
}

std::uint8_t PatternAt(long long sector, int offset) { return static_cast<std::uint8_t>((sector + offset) % 251); }

class ResidentList : public CDataRunList {
 public:
  ResidentList() { m_iResident = 1; }
};

class FileReaderExTest : public ::testing::Test {
 protected:
  TreeNode* File(long long size, std::initializer_list<DataRun> runs) {
    m_node = std::make_unique<TreeNode>(NodeSpec{1, 0, "f", false, true, size}, kSearcherNtfs);
    IDataRunList* list = CreateDataRunList();
    for (const DataRun& r : runs) list->AddDataRun(&r);
    m_node->SetDataRunList(list);
    return m_node.get();
  }

  testsupport::MemoryDevice m_device{PatternDisk(64), kSector};
  std::unique_ptr<TreeNode> m_node;
};

TEST_F(FileReaderExTest, OpenRefusesWhatCannotBeRead) {
  CFileReaderEx reader;
  TreeNode* node = File(100, {{2, 1}});
  EXPECT_EQ(reader.Open(nullptr, node, 0, 1), 0);
  EXPECT_EQ(reader.Open(&m_device, nullptr, 0, 1), 0);
  EXPECT_EQ(reader.Open(&m_device, node, 0, 0), 0);
  EXPECT_EQ(reader.Open(&m_device, node, 0, -4), 0);
  EXPECT_EQ(reader.Open(&m_device, node, 0, 1 << 20), 0) << "cluster over 32 MiB";
  EXPECT_EQ(reader.Open(&m_device, File(0, {{2, 1}}), 0, 1), 0);
  TreeNode noRuns({2, 0, "g", false, true, 10}, kSearcherNtfs);
  EXPECT_EQ(reader.Open(&m_device, &noRuns, 0, 1), 0);
  EXPECT_EQ(reader.Open(&m_device, File(100, {{2, 1}}), 0, 1), 1);
}

TEST_F(FileReaderExTest, ReadSpansRunsInOrder) {
  CFileReaderEx reader;
  ASSERT_EQ(reader.Open(&m_device, File(1024, {{2, 1}, {5, 1}}), 0, 1), 1);
  std::vector<unsigned char> out(24);
  int got = -1;
  ASSERT_EQ(reader.Read(500, out.data(), 24, got), 1);
  ASSERT_EQ(got, 24);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(out[i], PatternAt(2, 500 + i)) << i;
  for (int i = 12; i < 24; ++i) EXPECT_EQ(out[i], PatternAt(5, i - 12)) << i;
}

TEST_F(FileReaderExTest, ClustersCountFromTheBaseSector) {
  CFileReaderEx reader;
  ASSERT_EQ(reader.Open(&m_device, File(2 * kSector, {{1, 1}}), 4, 2), 1);
  std::vector<unsigned char> out(2 * kSector);
  int got = 0;
  ASSERT_EQ(reader.Read(0, out.data(), static_cast<int>(out.size()), got), 1);
  EXPECT_EQ(got, 2 * kSector);
  EXPECT_EQ(out[0], PatternAt(6, 0));
  EXPECT_EQ(out[kSector], PatternAt(7, 0));
}

TEST_F(FileReaderExTest, ReadStopsAtTheFileSizeAndTheRunsEnd) {
  CFileReaderEx reader;
  ASSERT_EQ(reader.Open(&m_device, File(700, {{3, 1}}), 0, 1), 1);
  std::vector<unsigned char> out(1000, 0xAA);
  int got = 0;
  EXPECT_EQ(reader.Read(700, out.data(), 10, got), 0) << "at the end of the file";
  EXPECT_EQ(reader.Read(-1, out.data(), 10, got), 0);
  ASSERT_EQ(reader.Read(600, out.data(), 1000, got), 1);
  EXPECT_EQ(got, 0) << "the runs cover only the first 512 bytes";
  ASSERT_EQ(reader.Read(0, out.data(), 1000, got), 1);
  EXPECT_EQ(got, kSector);
  EXPECT_EQ(out[kSector], 0xAA) << "nothing written past what was read";
}

TEST_F(FileReaderExTest, SparseRunsReadAsZeros) {
  CFileReaderEx reader;
  ASSERT_EQ(reader.Open(&m_device, File(2 * kSector, {{-1, 1}, {9, 1}}), 0, 1), 1);
  std::vector<unsigned char> out(2 * kSector, 0xAA);
  int got = 0;
  ASSERT_EQ(reader.Read(0, out.data(), static_cast<int>(out.size()), got), 1);
  EXPECT_EQ(got, 2 * kSector);
  EXPECT_EQ(std::accumulate(out.begin(), out.begin() + kSector, 0), 0);
  EXPECT_EQ(out[kSector], PatternAt(9, 0));
}

TEST_F(FileReaderExTest, FailedOrImpossibleReadsFail) {
  CFileReaderEx reader;
  std::vector<unsigned char> out(kSector);
  int got = 0;
  m_device.FailSector(3);
  ASSERT_EQ(reader.Open(&m_device, File(kSector, {{3, 1}}), 0, 1), 1);
  EXPECT_EQ(reader.Read(0, out.data(), kSector, got), 0);
  ASSERT_EQ(reader.Open(&m_device, File(kSector, {{1000, 1}}), 0, 1), 1);
  EXPECT_EQ(reader.Read(0, out.data(), kSector, got), 0) << "past the device end";
  ASSERT_EQ(reader.Open(&m_device, File(kSector, {{LLONG_MAX - 1, 1}}), 0, 8), 1);
  EXPECT_EQ(reader.Read(0, out.data(), kSector, got), 0) << "sector number overflows";
  ASSERT_EQ(reader.Open(&m_device, File(kSector, {{0, 1}}), LLONG_MAX - 2, 8), 1);
  EXPECT_EQ(reader.Read(0, out.data(), kSector, got), 0) << "base sector overflows";
  ASSERT_EQ(reader.Open(&m_device, File(2 * kSector, {{4, 1}, {2, LLONG_MAX}}), 0, 1), 1);
  std::vector<unsigned char> two(2 * kSector);
  EXPECT_EQ(reader.Read(0, two.data(), 2 * kSector, got), 1);
  EXPECT_EQ(got, kSector) << "a run whose end overflows ends the walk";
}

int FakeResident(IStorageDevice&, CFileNode&, long long offset, unsigned char* dst, int len, int& got) {
  for (int i = 0; i < len; ++i) dst[i] = static_cast<unsigned char>(offset + i);
  got = len;
  return 1;
}

TEST_F(FileReaderExTest, ResidentDataGoesToTheInstalledReader) {
  m_node = std::make_unique<TreeNode>(NodeSpec{1, 0, "f", false, true, 10}, kSearcherNtfs);
  m_node->SetDataRunList(new ResidentList());
  CFileReaderEx reader;
  ASSERT_EQ(reader.Open(&m_device, m_node.get(), 0, 1), 1);
  unsigned char out[16] = {};
  int got = 0;
  EXPECT_EQ(reader.Read(0, out, 16, got), 0) << "no resident reader installed";
  CFileReaderEx::SetResidentDataReader(&FakeResident);
  EXPECT_EQ(reader.Read(4, out, 16, got), 1);
  EXPECT_EQ(got, 6) << "clipped to the file size";
  EXPECT_EQ(out[0], 4);
  CFileReaderEx::SetResidentDataReader(nullptr);
}

}  // namespace
