// The tar device reader sizes every member header of an archive as a
// candidate of its own: the sizes do not depend on the order in which the
// candidates come or on what the reader sized before, and the archive's
// headers are read once, not once per candidate.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "carving/BufferStorageDevice.h"
#include "carving/FileTARAnalyser.h"
#include "carving/RawFileInfo.h"
#include "carving/Samples.h"
#include "carving/TarHeader.h"
#include "support/Absent.h"
#include "support/MemoryDevice.h"
#include "support/TempDir.h"

using namespace carvingtest;

namespace {

constexpr long long kSector = 512;

// An image with a tar archive of `members` files at sector 8, zeros after it.
struct TarImage {
  Bytes bytes;
  std::vector<long long> headers;  // sectors of the member headers
};

TarImage MakeTarImage(int members) {
  testsupport::TempDir dir;
  const std::string d = dir.Path().string();
  std::string names;
  for (int i = 0; i < members; ++i) {
    const std::string name = "m" + std::to_string(100 + i) + ".bin";
    // Sizes from 0 (an empty member) to several records, some not whole.
    WriteAll(d + "/" + name, Noise(static_cast<std::size_t>((i * 1237) % 9000), 40u + static_cast<unsigned>(i)));
    names += " " + name;
  }
  const Bytes tar = RunAndRead(
      "tar --format=ustar --sort=name --mtime=@0 --owner=0 --group=0 -cf '" + d + "/a.tar' -C '" + d + "'" + names,
      d + "/a.tar");
  TarImage image;
  image.bytes.assign(8 * kSector, 0);
  image.bytes.insert(image.bytes.end(), tar.begin(), tar.end());
  image.bytes.resize(image.bytes.size() + 64 * kSector, 0);
  for (long long at = 8 * kSector; at + kSector <= static_cast<long long>(image.bytes.size()); at += kSector) {
    if (IsTarHeader(image.bytes.data() + at)) image.headers.push_back(at / kSector);
  }
  return image;
}

long long SizeAt(FileTARAnalyser& reader, IStorageDevice& device, long long sector) {
  CRawFileInfo info;
  info.m_llStartSector = sector;
  return reader.GetRawFileSize(info, &device) ? info.m_llSize : -1;
}

// What a reader that has sized nothing before gives for each header.
std::vector<long long> FreshSizes(const TarImage& image) {
  std::vector<long long> sizes;
  for (long long sector : image.headers) {
    testsupport::MemoryDevice device(image.bytes);
    FileTARAnalyser reader;
    sizes.push_back(SizeAt(reader, device, sector));
  }
  return sizes;
}

TEST(TarReader, EveryMemberSizesAsAloneInAnyOrder) {
  if (!testsupport::HaveProgram("tar")) QUARNEL_SKIP_NO_TOOL() << "tar is not installed";
  const TarImage image = MakeTarImage(40);
  ASSERT_GT(image.headers.size(), 30u);
  const std::vector<long long> fresh = FreshSizes(image);
  // Each header gives the rest of the archive (its zero padding counted from
  // the candidate's start).
  const long long end = 8 * kSector + fresh[0];
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    EXPECT_GT(fresh[i], 0) << i;
    EXPECT_LE(image.headers[i] * kSector + fresh[i], end + kTarBlocking) << i;
  }

  std::vector<std::size_t> order(image.headers.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const std::vector<std::vector<std::size_t>> orders = {
      order, std::vector<std::size_t>(order.rbegin(), order.rend()), {5, 0, 30, 2, 17, 39, 1, 6}};
  for (const auto& o : orders) {
    testsupport::MemoryDevice device(image.bytes);
    FileTARAnalyser reader;
    for (std::size_t i : o) {
      if (i < image.headers.size()) {
        EXPECT_EQ(SizeAt(reader, device, image.headers[i]), fresh[i]) << i;
      }
    }
  }
}

TEST(TarReader, HeadersAreReadOnceForAllMembers) {
  if (!testsupport::HaveProgram("tar")) QUARNEL_SKIP_NO_TOOL() << "tar is not installed";
  // Members of 40 KiB and more, so that each header lies in a window of its own.
  testsupport::TempDir dir;
  const std::string d = dir.Path().string();
  std::string names;
  for (int i = 0; i < 60; ++i) {
    const std::string name = "big" + std::to_string(100 + i);
    WriteAll(d + "/" + name, Noise(70000 + static_cast<std::size_t>(i) * 100, 90u + static_cast<unsigned>(i)));
    names += " " + name;
  }
  const Bytes tar = RunAndRead("tar --format=ustar -cf '" + d + "/a.tar' -C '" + d + "'" + names, d + "/a.tar");
  ASSERT_FALSE(tar.empty());
  Bytes bytes(tar);
  bytes.resize(bytes.size() + 256 * kSector, 0);
  std::vector<long long> headers;
  for (long long at = 0; at + kSector <= static_cast<long long>(bytes.size()); at += kSector) {
    if (IsTarHeader(bytes.data() + at)) headers.push_back(at / kSector);
  }
  ASSERT_EQ(headers.size(), 60u);
  testsupport::MemoryDevice device(bytes);
  FileTARAnalyser reader;
  for (long long sector : headers) {
    const long long end = sector * kSector + SizeAt(reader, device, sector);
    EXPECT_GE(end, static_cast<long long>(tar.size()) - kTarBlocking);
    EXPECT_LE(end, static_cast<long long>(tar.size()));
  }
  // One window per header for the walk and one per candidate for its start
  // and end: linear in the members, where walking each rest again would
  // take about 60 * 60 / 2.
  EXPECT_LT(device.Reads().size(), 4 * headers.size());
}

TEST(TarReader, ARingOverTheDeviceSharesTheWalksOfTheDevice) {
  if (!testsupport::HaveProgram("tar")) QUARNEL_SKIP_NO_TOOL() << "tar is not installed";
  const TarImage image = MakeTarImage(12);
  const std::vector<long long> fresh = FreshSizes(image);
  testsupport::MemoryDevice device(image.bytes);
  CBufferStorageDevice ring;
  ASSERT_EQ(ring.InitBufferDevice(&device, 0, kSector, 16, 2), 1);
  ring.AddBlockToBuffer(image.bytes.data(), 0, 16);
  FileTARAnalyser reader;
  for (std::size_t i = 0; i < image.headers.size(); ++i) {
    IStorageDevice& through = i % 2 == 0 ? static_cast<IStorageDevice&>(ring) : device;
    EXPECT_EQ(SizeAt(reader, through, image.headers[i]), fresh[i]) << i;
  }
  // Another device with other bytes at the same places is walked anew.
  Bytes other(image.bytes.size(), 0);
  testsupport::MemoryDevice empty(other);
  EXPECT_EQ(SizeAt(reader, empty, image.headers[0]), -1);
}

TEST(TarReader, AWalkCutByAnUnreadableSectorIsTriedAgainFromTheNextCandidate) {
  if (!testsupport::HaveProgram("tar")) QUARNEL_SKIP_NO_TOOL() << "tar is not installed";
  const TarImage image = MakeTarImage(20);
  const std::vector<long long> fresh = FreshSizes(image);
  testsupport::MemoryDevice device(image.bytes);
  FileTARAnalyser reader;
  const long long bad = image.headers[10];
  device.FailSector(bad);
  EXPECT_EQ(SizeAt(reader, device, image.headers[0]), -1);
  EXPECT_EQ(SizeAt(reader, device, image.headers[11]), fresh[11]);
  EXPECT_EQ(SizeAt(reader, device, image.headers[3]), -1);
}

}  // namespace
