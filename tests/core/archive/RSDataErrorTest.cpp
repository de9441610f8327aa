#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ArchiveTestUtil.h"
#include "core/archive/RSData.h"
#include "support/TempDir.h"

namespace {

using namespace archivetest;

// Header with status 2 and description "x", then frame A (5 bytes) and
// frame B (100 bytes).
class RSDataFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = m_dir.File("scan.bin");
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(m_path.c_str(), 1), 1);
    FILEHEADER header;
    header.status = 2;
    header.descriptionLength = 1;
    header.description[0] = 'x';
    ASSERT_EQ(rs.WriteFileHeader(header), 1);
    ASSERT_EQ(rs.OpenFrame(kTagA), 1);
    ASSERT_EQ(rs.WriteCurFrame("hello", 5), 1);
    ASSERT_EQ(rs.CloseFrame(), 1);
    ASSERT_EQ(rs.OpenFrame(kTagB), 1);
    m_payloadB = Pattern(100, 9);
    ASSERT_EQ(rs.WriteCurFrame(m_payloadB.data(), 100), 1);
    ASSERT_EQ(rs.CloseFrame(), 1);
    ASSERT_EQ(rs.EndRS(), 1);
    m_bytes = ReadFileBytes(m_path);
  }

  testsupport::TempDir m_dir;
  std::string m_path;
  std::vector<std::uint8_t> m_bytes;
  std::vector<std::uint8_t> m_payloadB;
};

TEST_F(RSDataFile, HeaderFieldsAtTheirOffsets) {
  ASSERT_GE(m_bytes.size(), FILEHEADER::kSize);
  EXPECT_EQ(m_bytes[16] | m_bytes[17] << 8, 5800);
  EXPECT_EQ(m_bytes[20] | m_bytes[21] << 8, 0x20CB);
  EXPECT_EQ(m_bytes[24], 2);
  EXPECT_EQ(m_bytes[28], 1);
  EXPECT_EQ(m_bytes[32], 'x');
}

TEST_F(RSDataFile, WrongTagThrows7) {
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  EXPECT_EQ(ThrownCode([&] { rs.OpenFrame(kTagMissing); }), CRSException::kFrameNotFound);
  // No frame is open afterwards.
  EXPECT_EQ(ThrownCode([&] { rs.GetFrameSize(); }), CRSException::kNoFrameOpen);
  // The file is still usable.
  ASSERT_EQ(rs.OpenFrame(kTagB), 1);
  EXPECT_EQ(rs.GetFrameSize(), 100u);
}

TEST_F(RSDataFile, ReadPastTheFrameEndDeliversTheRestThenThrows5) {
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  ASSERT_EQ(rs.OpenFrame(kTagA), 1);
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  ASSERT_EQ(rs.ReadCurFrame(buf, 2), 1);
  EXPECT_EQ(ThrownCode([&] { rs.ReadCurFrame(buf, 8); }), CRSException::kShortRead);
  // Only the frame's own bytes, never the next frame's; the rest zeroed.
  EXPECT_EQ(std::string(buf, 8), std::string("llo\0\0\0\0\0", 8));
  EXPECT_EQ(ThrownCode([&] { rs.ReadCurFrame(buf, 1); }), CRSException::kShortRead);
  EXPECT_EQ(rs.ReadCurFrame(buf, 0), 1);
}

TEST_F(RSDataFile, TruncatedFrameThrows5) {
  m_bytes.resize(m_bytes.size() - 40);
  WriteFileBytes(m_path, m_bytes);
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  ASSERT_EQ(rs.OpenFrame(kTagB), 1);
  EXPECT_EQ(rs.GetFrameSize(), 100u);
  std::vector<std::uint8_t> buf(100, 0xEE);
  EXPECT_EQ(ThrownCode([&] { rs.ReadCurFrame(buf.data(), 100); }), CRSException::kShortRead);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 60, m_payloadB.begin()));
  EXPECT_EQ(buf[60], 0);
  EXPECT_EQ(buf[99], 0);
}

TEST_F(RSDataFile, EveryTruncationFailsCleanly) {
  // Cut the file at every length: each frame reads back whole or fails
  // with 5 (cut payload) or 7 (cut or missing frame header).
  const std::vector<std::uint8_t> full = m_bytes;
  const std::vector<std::pair<tagGUIDSIGN, std::vector<std::uint8_t>>> frames = {{kTagA, {'h', 'e', 'l', 'l', 'o'}},
                                                                                 {kTagB, m_payloadB}};
  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    WriteFileBytes(m_path, std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<long>(cut)));
    CRSData rs(RSModeRead);
    ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
    FILEHEADER header;
    EXPECT_EQ(rs.ReadFileHeader(header), cut >= FILEHEADER::kSize ? 1 : 0) << cut;
    for (const auto& frame : frames) {
      const std::vector<std::uint8_t>& payload = frame.second;
      std::vector<std::uint8_t> got;
      const unsigned int code = ThrownCode([&] {
        rs.OpenFrame(frame.first);
        got.resize(rs.GetFrameSize());
        rs.ReadCurFrame(got.data(), static_cast<unsigned int>(got.size()));
      });
      if (code == 0) {
        EXPECT_EQ(got, payload) << "cut " << cut;
      } else {
        EXPECT_TRUE(code == CRSException::kShortRead || code == CRSException::kFrameNotFound)
            << "cut " << cut << " code " << code;
      }
    }
  }
}

TEST_F(RSDataFile, GarbageFrameLengthEndsTheSearch) {
  // Frame A's length made huge: the walk jumps past the end of the file.
  m_bytes[FILEHEADER::kSize + 32] = 0xFF;
  m_bytes[FILEHEADER::kSize + 35] = 0xFF;
  WriteFileBytes(m_path, m_bytes);
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  ASSERT_EQ(rs.OpenFrame(kTagA), 1);
  EXPECT_EQ(rs.GetFrameSize(), 0xFF0000FFu);
  EXPECT_EQ(ThrownCode([&] { rs.OpenFrame(kTagB); }), CRSException::kFrameNotFound);
}

TEST_F(RSDataFile, FrameWithoutSignatureIsNotMatched) {
  m_bytes[FILEHEADER::kSize] ^= 0x01;  // frame A's signature
  WriteFileBytes(m_path, m_bytes);
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  EXPECT_EQ(ThrownCode([&] { rs.OpenFrame(kTagA); }), CRSException::kFrameNotFound);
  ASSERT_EQ(rs.OpenFrame(kTagB), 1);  // still reached through A's length
  EXPECT_EQ(rs.GetFrameSize(), 100u);
}

// ---- single-byte header corruptions ----

class HeaderByteFlip : public RSDataFile, public ::testing::WithParamInterface<int> {};

TEST_P(HeaderByteFlip, ReadFileHeaderRejects) {
  const int offset = GetParam();
  for (const std::uint8_t mask : {0x01, 0x80, 0xFF}) {
    std::vector<std::uint8_t> bytes = m_bytes;
    bytes[static_cast<std::size_t>(offset)] ^= mask;
    WriteFileBytes(m_path, bytes);
    CRSData rs(RSModeRead);
    ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
    FILEHEADER header;
    EXPECT_EQ(rs.ReadFileHeader(header), 0) << "offset " << offset << " mask " << int(mask);
    // Frames stay readable: the header guards only itself.
    ASSERT_EQ(rs.OpenFrame(kTagA), 1);
    EXPECT_EQ(rs.GetFrameSize(), 5u);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryHeaderByte, HeaderByteFlip, ::testing::Range(0, 132));

struct Corruption {
  const char* name;
  std::size_t offset;
  std::uint8_t value;
  int checkFile;
  int status;  // GetStatus: the raw status of a header that does not validate
};

class HeaderCorruption : public RSDataFile, public ::testing::WithParamInterface<Corruption> {};

TEST_P(HeaderCorruption, Outcome) {
  const Corruption& c = GetParam();
  m_bytes[c.offset] = c.value;
  WriteFileBytes(m_path, m_bytes);
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  FILEHEADER header;
  EXPECT_EQ(rs.ReadFileHeader(header), 0);
  EXPECT_EQ(rs.CheckFile(), c.checkFile);
  EXPECT_EQ(rs.GetStatus(), c.status);
  char text[8] = {'?'};
  EXPECT_EQ(rs.GetFileDescription(text, sizeof text), 0);
  EXPECT_EQ(text[0], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeaderCorruption,
    ::testing::Values(Corruption{"Signature", 0, 0x00, 0, 2}, Corruption{"SignatureLast", 15, 0x00, 0, 2},
                      Corruption{"Version", 16, 0xA9, 1, 2}, Corruption{"ChecksumLow", 20, 0x00, 1, 2},
                      Corruption{"ChecksumHigh", 21, 0x00, 1, 2}, Corruption{"ZeroField", 22, 0x01, 1, 2},
                      Corruption{"StatusZero", 24, 0x00, 0, 0}, Corruption{"StatusFive", 24, 0x05, 0, 5},
                      Corruption{"StatusHighByte", 27, 0x80, 0, static_cast<int>(0x80000002u)},
                      Corruption{"DescriptionLength", 28, 0x65, 1, 2}, Corruption{"DescriptionText", 32, 'y', 1, 2},
                      Corruption{"DescriptionTail", 131, 0x20, 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// A header with a correct checksum but out-of-range fields.
struct SealedCase {
  const char* name;
  FileStatus status;
  std::int32_t descriptionLength;
  unsigned int statusCode;       // thrown by GetStatus, 0 = none
  unsigned int descriptionCode;  // thrown by GetFileDescription, 0 = none
};

class SealedHeader : public ::testing::TestWithParam<SealedCase> {};

TEST_P(SealedHeader, RangeChecks) {
  const SealedCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string path = dir.File("scan.bin");
  {
    CRSData rs(RSModeWrite);
    ASSERT_EQ(rs.StartRS(path.c_str(), 1), 1);
    FILEHEADER header;
    header.status = c.status;
    header.descriptionLength = c.descriptionLength;
    header.description.fill('d');
    ASSERT_EQ(rs.WriteFileHeader(header), 1);
  }
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  FILEHEADER header;
  ASSERT_EQ(rs.ReadFileHeader(header), 1);
  EXPECT_EQ(ThrownCode([&] { rs.GetStatus(); }), c.statusCode);
  char text[200];
  EXPECT_EQ(ThrownCode([&] { rs.GetFileDescription(text, sizeof text); }), c.descriptionCode);
}

INSTANTIATE_TEST_SUITE_P(Table, SealedHeader,
                         ::testing::Values(SealedCase{"Valid", 4, 100, 0, 0},
                                           SealedCase{"StatusFive", 5, 0, CRSException::kBadHeader, 0},
                                           SealedCase{"Description101", 1, 101, 0, CRSException::kBadHeader},
                                           SealedCase{"DescriptionNegative", 1, -1, 0, CRSException::kBadHeader}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RSDataShortFile, HasNoHeader) {
  testsupport::TempDir dir;
  const std::string path = dir.File("short.bin");
  WriteFileBytes(path, std::vector<std::uint8_t>(131, 0));
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(path.c_str(), 0), 1);
  FILEHEADER header;
  header.status = 77;
  EXPECT_EQ(rs.ReadFileHeader(header), 0);
  EXPECT_EQ(header.status, 77);  // left as it was
  EXPECT_EQ(rs.GetStatus(), 0);
  EXPECT_EQ(rs.CheckFile(), 0);
}

// ---- operations in the wrong mode or state ----

struct MisuseCase {
  const char* name;
  RSMode mode;
  std::function<void(CRSData&)> op;
  unsigned int code;
};

class RSDataMisuse : public RSDataFile, public ::testing::WithParamInterface<MisuseCase> {};

TEST_P(RSDataMisuse, ThrowsCode) {
  const MisuseCase& c = GetParam();
  CRSData rs(c.mode);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  EXPECT_EQ(ThrownCode([&] { c.op(rs); }), c.code);
  // The error is not left pending: later calls work.
  if (c.mode == RSModeRead) {
    ASSERT_EQ(rs.OpenFrame(kTagA), 1);
  } else {
    ASSERT_EQ(rs.OpenFrame(kTagC), 1);
    EXPECT_EQ(rs.WriteCurFrame("z", 1), 1);
  }
}

char g_buffer[16];

INSTANTIATE_TEST_SUITE_P(
    Table, RSDataMisuse,
    ::testing::Values(
        MisuseCase{"WriteBeforeOpenFrame", RSModeWrite, [](CRSData& r) { r.WriteCurFrame("a", 1); },
                   CRSException::kNoFrameOpen},
        MisuseCase{"WriteInReadMode", RSModeRead, [](CRSData& r) { r.WriteCurFrame("a", 1); },
                   CRSException::kWrongMode},
        MisuseCase{"WriteInReadModeWithFrame", RSModeRead,
                   [](CRSData& r) {
                     r.OpenFrame(kTagA);
                     r.WriteCurFrame("a", 1);
                   },
                   CRSException::kWrongMode},
        MisuseCase{"ReadInWriteMode", RSModeWrite, [](CRSData& r) { r.ReadCurFrame(g_buffer, 1); },
                   CRSException::kWrongMode},
        MisuseCase{"ReadBeforeOpenFrame", RSModeRead, [](CRSData& r) { r.ReadCurFrame(g_buffer, 1); },
                   CRSException::kNoFrameOpen},
        MisuseCase{"ReadAfterCloseFrame", RSModeRead,
                   [](CRSData& r) {
                     r.OpenFrame(kTagA);
                     r.CloseFrame();
                     r.ReadCurFrame(g_buffer, 1);
                   },
                   CRSException::kNoFrameOpen},
        MisuseCase{"FrameSizeWithoutFrame", RSModeRead, [](CRSData& r) { r.GetFrameSize(); },
                   CRSException::kNoFrameOpen},
        MisuseCase{"GetStatusInWriteMode", RSModeWrite, [](CRSData& r) { r.GetStatus(); }, CRSException::kWrongMode},
        MisuseCase{"SetStatusInReadMode", RSModeRead, [](CRSData& r) { r.SetStatus(1); }, CRSException::kWrongMode},
        MisuseCase{"SetDescriptionInReadMode", RSModeRead, [](CRSData& r) { r.SetFileDescription("d"); },
                   CRSException::kWrongMode},
        MisuseCase{"GetDescriptionInWriteMode", RSModeWrite,
                   [](CRSData& r) { r.GetFileDescription(g_buffer, sizeof g_buffer); }, CRSException::kWrongMode},
        MisuseCase{"UnknownTag", RSModeRead, [](CRSData& r) { r.OpenFrame(kTagMissing); },
                   CRSException::kFrameNotFound}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RSDataFile, WriteFileHeaderInReadModeFails) {
  CRSData rs(RSModeRead);
  ASSERT_EQ(rs.StartRS(m_path.c_str(), 0), 1);
  EXPECT_EQ(rs.WriteFileHeader(FILEHEADER{}), 0);
  EXPECT_EQ(ReadFileBytes(m_path), m_bytes);
}

TEST(RSDataClosed, OperationsOnAClosedContainer) {
  CRSData writer(RSModeWrite);
  EXPECT_EQ(writer.WriteFileHeader(FILEHEADER{}), 0);
  EXPECT_EQ(ThrownCode([&] { writer.OpenFrame(kTagA); }), CRSException::kWriteFailed);
  EXPECT_EQ(writer.EndRS(), 1);
  CRSData reader(RSModeRead);
  EXPECT_EQ(reader.CheckFile(), 0);
  EXPECT_EQ(ThrownCode([&] { reader.OpenFrame(kTagA); }), CRSException::kFrameNotFound);
  EXPECT_EQ(reader.GetStatus(), 0);
}

}  // namespace
