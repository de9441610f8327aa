#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveTestUtil.h"
#include "core/archive/RSData.h"
#include "support/TempDir.h"

namespace {

using namespace archivetest;

struct Frame {
  tagGUIDSIGN tag;
  std::vector<std::uint8_t> payload;
};

// Writes the frames, each payload in pieces of `piece` bytes.
void WriteContainer(const std::string& path, FileStatus status, const std::vector<Frame>& frames, std::size_t piece) {
  CRSData rs(RSModeWrite);
  ASSERT_EQ(rs.StartRS(path.c_str(), 1), 1);
  FILEHEADER header;
  header.status = status;
  ASSERT_EQ(rs.WriteFileHeader(header), 1);
  for (const Frame& f : frames) {
    ASSERT_EQ(rs.OpenFrame(f.tag), 1);
    for (std::size_t at = 0; at < f.payload.size(); at += piece) {
      const auto n = static_cast<unsigned int>(std::min(piece, f.payload.size() - at));
      ASSERT_EQ(rs.WriteCurFrame(f.payload.data() + at, n), 1);
    }
    ASSERT_EQ(rs.CloseFrame(), 1);
  }
  ASSERT_EQ(rs.EndRS(), 1);
}

std::vector<std::uint8_t> ReadFrame(CRSData& rs, const tagGUIDSIGN& tag, std::size_t piece) {
  EXPECT_EQ(rs.OpenFrame(tag), 1);
  std::vector<std::uint8_t> out(rs.GetFrameSize());
  for (std::size_t at = 0; at < out.size(); at += piece) {
    const auto n = static_cast<unsigned int>(std::min(piece, out.size() - at));
    EXPECT_EQ(rs.ReadCurFrame(out.data() + at, n), 1);
  }
  EXPECT_EQ(rs.CloseFrame(), 1);
  return out;
}

class RSDataRoundTrip : public ::testing::TestWithParam<std::size_t> {};

TEST_P(RSDataRoundTrip, FramesReadBackIdentical) {
  const std::size_t piece = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  const std::vector<Frame> frames = {
      {kTagA, Pattern(12, 1)},
      {kTagB, {}},                                              // empty payload
      {kTagC, Pattern(3 * CRSData::kWriteBufferSize + 17, 2)},  // larger than the buffer
  };
  WriteContainer(path, 1, frames, piece);

  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  FILEHEADER header;
  ASSERT_EQ(rs.ReadFileHeader(header), 1);
  EXPECT_EQ(rs.GetStatus(), 1);
  EXPECT_EQ(rs.CheckFile(), 1);
  // Any order: frames are found by tag.
  EXPECT_EQ(ReadFrame(rs, kTagC, piece), frames[2].payload);
  EXPECT_EQ(ReadFrame(rs, kTagA, piece), frames[0].payload);
  EXPECT_EQ(ReadFrame(rs, kTagB, piece), frames[1].payload);

  std::size_t expectedSize = FILEHEADER::kSize;
  for (const Frame& f : frames) expectedSize += FRAMEHEADER::kSize + f.payload.size();
  EXPECT_EQ(ReadFileBytes(path).size(), expectedSize);
}

// Small pieces go through the buffer, large ones straight to the file.
INSTANTIATE_TEST_SUITE_P(PieceSizes, RSDataRoundTrip,
                         ::testing::Values(std::size_t{1} << 30, 4, 4093, CRSData::kWriteBufferSize - 1,
                                           CRSData::kWriteBufferSize));

TEST(RSData, ExactFileBytes) {
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  WriteContainer(path, 1, {{kTagA, {'a', 'b', 'c'}}}, 64);

  std::vector<std::uint8_t> expected = {0xEA, 0xF4, 0xB3, 0x1C, 0x05, 0x43, 0xB6, 0x4A, 0xB4, 0xB8, 0x24,
                                        0x4A, 0x33, 0xD9, 0x13, 0xBB, 0xA8, 0x16, 0x00, 0x00, 0xCE, 0x1D,
                                        0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  expected.resize(FILEHEADER::kSize, 0);
  expected.insert(expected.end(), {0xEA, 0xF4, 0xB3, 0x1C, 0x05, 0x43, 0xB6, 0x4A, 0xB4, 0xB8, 0x24, 0x4A, 0x33,
                                   0xD9, 0x13, 0xBB, 0x94, 0x63, 0x9B, 0x40, 0x81, 0xF6, 0x88, 0x4E, 0xA2, 0x0F,
                                   0x5D, 0x63, 0x57, 0x82, 0xED, 0x75, 0x03, 0x00, 0x00, 0x00, 'a',  'b',  'c'});
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(RSData, SameTagTwiceFindsTheFirst) {
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  WriteContainer(path, 2, {{kTagB, {1}}, {kTagA, {2, 2}}, {kTagA, {3, 3, 3}}}, 64);
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  EXPECT_EQ(ReadFrame(rs, kTagA, 64), (std::vector<std::uint8_t>{2, 2}));
}

TEST(RSData, ReopenAppendsAfterExistingFramesHeaderUntouched) {
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  WriteContainer(path, 3, {{kTagA, Pattern(100, 3)}}, 64);
  const std::vector<std::uint8_t> before = ReadFileBytes(path);
  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
    ASSERT_EQ(rs.OpenFrame(kTagB), 1);
    ASSERT_EQ(rs.WriteCurFrame("tail", 4), 1);
    ASSERT_EQ(rs.CloseFrame(), 1);
  }
  const std::vector<std::uint8_t> after = ReadFileBytes(path);
  ASSERT_EQ(after.size(), before.size() + FRAMEHEADER::kSize + 4);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));

  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  EXPECT_EQ(rs.GetStatus(), 3);
  EXPECT_EQ(ReadFrame(rs, kTagA, 64), Pattern(100, 3));
  EXPECT_EQ(ReadFrame(rs, kTagB, 64), (std::vector<std::uint8_t>{'t', 'a', 'i', 'l'}));
}

TEST(RSData, TruncatingStartDropsOldFrames) {
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  WriteContainer(path, 1, {{kTagA, Pattern(100, 3)}}, 64);
  WriteContainer(path, 1, {{kTagB, {7}}}, 64);
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  EXPECT_EQ(ThrownCode([&] { rs.OpenFrame(kTagA); }), CRSException::kFrameNotFound);
  EXPECT_EQ(ReadFrame(rs, kTagB, 64), (std::vector<std::uint8_t>{7}));
}

TEST(RSData, UnclosedFrameIsFinishedByEndOrDestructor) {
  testsupport::TempDir dir;
  for (const bool viaEnd : {true, false}) {
    const std::string path = dir.File(viaEnd ? "end.bin" : "dtor.bin");
    {
      CRSData rs(RSModeWrite);
      ASSERT_EQ(rs.StartRS(path.c_str(), 1), 1);
      FILEHEADER header;
      header.status = 1;
      ASSERT_EQ(rs.WriteFileHeader(header), 1);
      ASSERT_EQ(rs.OpenFrame(kTagA), 1);
      ASSERT_EQ(rs.WriteCurFrame("pending", 7), 1);
      if (viaEnd) {
        EXPECT_EQ(rs.EndRS(), 1);
      }
    }
    CRSData rs(RSModeRead);
    ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
    EXPECT_EQ(ReadFrame(rs, kTagA, 64), (std::vector<std::uint8_t>{'p', 'e', 'n', 'd', 'i', 'n', 'g'}))
        << (viaEnd ? "EndRS" : "destructor");
  }
}

TEST(RSData, HeaderWrittenAfterTheFrames) {
  // A writer may seal the header last; the frames keep clear of it.
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 1), 1);
    ASSERT_EQ(rs.OpenFrame(kTagA), 1);
    ASSERT_EQ(rs.WriteCurFrame("body", 4), 1);
    ASSERT_EQ(rs.CloseFrame(), 1);
    ASSERT_EQ(rs.SetStatus(1), 1);
  }
  EXPECT_EQ(ReadFileBytes(path).size(), FILEHEADER::kSize + FRAMEHEADER::kSize + 4);
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  EXPECT_EQ(rs.GetStatus(), 1);
  EXPECT_EQ(ReadFrame(rs, kTagA, 64), (std::vector<std::uint8_t>{'b', 'o', 'd', 'y'}));
}

TEST(RSData, StatusAndDescriptionRoundTrip) {
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 1), 1);
    // No header yet: a fresh one is written.
    ASSERT_EQ(rs.SetStatus(4), 1);
    ASSERT_EQ(rs.SetFileDescription("Macintosh HD"), 1);
    ASSERT_EQ(rs.OpenFrame(kTagA), 1);
    ASSERT_EQ(rs.WriteCurFrame("abc", 3), 1);
    // Header updates while a frame is open leave the frame intact.
    ASSERT_EQ(rs.SetStatus(2), 1);
    ASSERT_EQ(rs.WriteCurFrame("def", 3), 1);
    ASSERT_EQ(rs.CloseFrame(), 1);
  }
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  EXPECT_EQ(rs.GetStatus(), 2);
  char text[64];
  ASSERT_EQ(rs.GetFileDescription(text, sizeof text), 1);
  EXPECT_STREQ(text, "Macintosh HD");
  EXPECT_EQ(ReadFrame(rs, kTagA, 2), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd', 'e', 'f'}));
  // Reading the header during a frame read does not disturb it.
  ASSERT_EQ(rs.OpenFrame(kTagA), 1);
  char two[2];
  ASSERT_EQ(rs.ReadCurFrame(two, 2), 1);
  EXPECT_EQ(rs.GetStatus(), 2);
  ASSERT_EQ(rs.ReadCurFrame(two, 2), 1);
  EXPECT_EQ(std::string(two, 2), "cd");
}

TEST(RSData, DescriptionLimits) {
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  const std::string longText(150, 'q');
  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 1), 1);
    // Without a valid header there is nothing to describe.
    EXPECT_EQ(rs.SetFileDescription("early"), 0);
    ASSERT_EQ(rs.SetStatus(1), 1);
    EXPECT_EQ(rs.SetFileDescription(nullptr), 0);
    ASSERT_EQ(rs.SetFileDescription("0123456789"), 1);
  }
  {
    CRSData rs(RSModeRead);
    ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
    char small[5];
    ASSERT_EQ(rs.GetFileDescription(small, sizeof small), 1);
    EXPECT_STREQ(small, "0123");
    char one[1] = {'z'};
    ASSERT_EQ(rs.GetFileDescription(one, 1), 1);
    EXPECT_EQ(one[0], '\0');
    EXPECT_EQ(rs.GetFileDescription(one, 0), 0);
    EXPECT_EQ(rs.GetFileDescription(nullptr, 10), 0);
  }
  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
    ASSERT_EQ(rs.SetFileDescription(longText.c_str()), 1);
  }
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), FILEHEADER::kSize);
  EXPECT_EQ(bytes[28], 100);  // cut to 100 bytes
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  char text[200];
  ASSERT_EQ(rs.GetFileDescription(text, sizeof text), 1);
  EXPECT_EQ(std::string(text), std::string(100, 'q'));
  EXPECT_EQ(rs.GetStatus(), 1);
}

TEST(RSData, StartRefusesEmptyPaths) {
  CRSData rs(RSModeWrite);
  EXPECT_EQ(rs.StartRS(nullptr, 1), 0);
  EXPECT_EQ(rs.StartRS("", 1), 0);
  CRSData reader(RSModeRead);
  testsupport::TempDir dir;
  EXPECT_EQ(reader.StartRS(dir.File("missing.bin").c_str(), 0), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing.bin")));
  EXPECT_EQ(reader.CheckFile(), 0);
}

TEST(RSData, WrittenFileIs0644) {
  UmaskGuard mask(022);
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  WriteContainer(path, 1, {{kTagA, {1}}}, 64);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

}  // namespace
