// QuickTime/ISO movies and MP3 streams are sized exactly whatever follows
// them, typed by their brands, and named and labelled from their tags.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "carving/CarvingHarness.h"
#include "carving/FileMP3Analyser.h"
#include "carving/FileMP4Analyser.h"
#include "carving/MP3Analyzer.h"
#include "carving/MediaSamples.h"
#include "carving/MovAnalyzer.h"
#include "carving/Mp3TagText.h"
#include "support/MemoryDevice.h"

using namespace carvingtest;

namespace {

testsupport::MemoryDevice Place(const Bytes& file, long long at, const Bytes& tail, std::size_t extra = 100) {
  Bytes image((file.size() / 512 + extra) * 512 + tail.size(), 0);
  std::copy(file.begin(), file.end(), image.begin() + at * 512);
  std::copy(tail.begin(), tail.end(), image.begin() + at * 512 + static_cast<long long>(file.size()));
  return testsupport::MemoryDevice(std::move(image));
}

std::string Ext(const Found& f) { return f.name.substr(f.name.rfind('.') + 1); }

// The find that starts at `start` (frames inside a stream may start finds of their own).
Found At(const std::vector<Found>& files, long long start) {
  for (const Found& f : files) {
    if (f.start == start) return f;
  }
  return Found{};
}

struct MediaCase {
  const char* label;
  std::function<Bytes()> make;
  const char* extension;
};

Bytes Movie(const char* major, std::vector<const char*> compatible, bool wide, bool large) {
  MovieOptions o;
  o.major = major;
  o.compatible = std::move(compatible);
  o.wide = wide;
  o.largeMdat = large;
  return MakeMovie(o);
}

Bytes Id3Mp3() {
  return Concat({Id3v2("Artist Name", "Song Title"), Mp3Frames(80, 3), Id3v1("Song Title", "Artist Name")});
}

const MediaCase kCases[] = {
    {"mov_qt_large_mdat", [] { return Movie("qt  ", {"qt  "}, true, true); }, "MOV"},
    {"mov_qt", [] { return Movie("qt  ", {"qt  "}, true, false); }, "MOV"},
    {"mp4_isom_avc1",
     [] {
       return Movie("isom", {"isom", "avc1"}, false, false);
     },
     "MP4"},
    {"m4a",
     [] {
       return Movie("M4A ", {"M4A ", "mp42", "isom"}, false, false);
     },
     "M4A"},
    {"m4v",
     [] {
       return Movie("mp42", {"isom", "M4V "}, false, false);
     },
     "M4V"},
    {"mp42_single_mp41", [] { return Movie("mp42", {"mp41"}, false, false); }, "M4A"},
    {"3gp",
     [] {
       return Movie("3gp4", {"3gp4", "isom"}, false, false);
     },
     "3GP"},
    {"mp3_id3", [] { return Id3Mp3(); }, "MP3"},
    {"mp3_frames_id3v1",
     [] {
       return Concat({Mp3Frames(60, 4), Id3v1("Frame Song", "Frame Artist")});
     },
     "MP3"},
};

class MediaSize : public ::testing::TestWithParam<MediaCase> {};

TEST_P(MediaSize, SizeEqualsTheFileWithZerosAfter) {
  const Bytes file = GetParam().make();
  auto device = Place(file, 3, {});
  const auto files = Files(Carve(&device));
  const Found f = At(files, 3);
  EXPECT_EQ(f.size, static_cast<long long>(file.size()));
  EXPECT_EQ(Ext(f), GetParam().extension);
}

TEST_P(MediaSize, SizeEqualsTheFileWithGarbageAfter) {
  const Bytes file = GetParam().make();
  auto device = Place(file, 0, Noise(4096, 77));
  const auto files = Files(Carve(&device));
  const Found f = At(files, 0);
  EXPECT_EQ(f.size, static_cast<long long>(file.size()));
  EXPECT_EQ(Ext(f), GetParam().extension);
}

TEST_P(MediaSize, SmallBlocksGiveTheSameSize) {
  const Bytes file = GetParam().make();
  auto device = Place(file, 5, {});
  const auto files = Files(Carve(&device, 8));
  EXPECT_EQ(At(files, 5).size, static_cast<long long>(file.size()));
}

TEST_P(MediaSize, TwoScansGiveTheSameResult) {
  const Bytes file = GetParam().make();
  auto device = Place(file, 2, Noise(1500, 5));
  const auto a = Files(Carve(&device));
  const auto b = Files(Carve(&device));
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t k = 0; k < a.size(); ++k) {
    EXPECT_EQ(a[k].size, b[k].size);
    EXPECT_EQ(a[k].name, b[k].name);
  }
}

TEST_P(MediaSize, CutAndDamagedCopiesStayInsideTheDevice) {
  const Bytes file = GetParam().make();
  std::mt19937 rng(11);
  for (int round = 0; round < 12; ++round) {
    const Bytes copy = DamagedCopy(file, round, 12, rng, 8, 4);
    auto device = Place(copy, 1, Noise(700, static_cast<unsigned>(round)), 20);
    const long long room = static_cast<long long>(device.GetTotalSectors()) * 512;
    for (const Found& f : Files(Carve(&device))) {
      EXPECT_GT(f.size, 0);
      EXPECT_LE(f.start * 512 + f.size, room);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Media, MediaSize, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

// --- Brands ---

struct BrandCase {
  const char* major;
  std::vector<const char*> compatible;
  const char* fourthBox;  // the type standing at bytes 28 to 31
  int type;
};

TEST(MovBrands, MajorAndCompatibleBrandsGiveTheType) {
  const BrandCase cases[] = {
      {"qt  ", {"qt  "}, "mdat", 42},         {"isom", {"isom", "avc1"}, "free", 138},
      {"isom", {"isom", "avc1"}, "mdat", 44}, {"isom", {"isom"}, "mdat", 42},
      {"mp42", {"mp41"}, "mdat", 45},         {"mp42", {"mp41", "mp42"}, "mdat", 44},
      {"M4V ", {"M4V "}, "mdat", 46},         {"KDDI", {"3gp5"}, "mdat", 2},
      {"3g2a", {"3g2a"}, "mdat", 2},          {"F4V ", {"isom", "mp42"}, "free", 138},
      {"NDSC", {"isom"}, "mdat", 44},         {"NDSZ", {"isom"}, "mdat", 0},
      {"abcd", {"abcd"}, "mdat", 0},
  };
  for (const BrandCase& c : cases) {
    Bytes header = Ftyp(c.major, c.compatible);
    header.resize(512, 0);
    std::memcpy(header.data() + 28, c.fourthBox, 4);
    EXPECT_EQ(BruteForce::MovAnalyzer::getTypeByMajorBrand(header.data()), c.type) << c.major;
  }
}

TEST(MovBrands, UnknownBrandsOfKnownFamiliesAreRefusedOthersAreMov) {
  BruteForce::MovAnalyzer mov;
  struct {
    const char* major;
    int accepted;
  } cases[] = {{"ISOM", 0}, {"abcd", 1}};
  for (const auto& c : cases) {
    Bytes h = Ftyp(c.major, {"zzzz"});
    h.resize(512, 0);
    CRawFileInfo probe;
    EXPECT_EQ(mov.AnalyseBuffer(h.data(), probe), c.accepted) << c.major;
  }
  // Box size out of 16..83.
  Bytes big = Ftyp("qt  ", std::vector<const char*>(20, "qt  "));
  big.resize(512, 0);
  CRawFileInfo probe;
  EXPECT_EQ(mov.AnalyseBuffer(big.data(), probe), 0);
}

// --- Names and labels ---

bool HasName(const std::vector<Found>& all, const std::string& part, bool folder) {
  for (const Found& f : all) {
    if (f.folder == folder && f.name.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(MovLabel, ExifMakeLabelsTheMovieAndTheModelNamesIt) {
  MovieOptions o;
  o.make = "Apple";
  o.model = "iPhone 8";
  const Bytes file = MakeMovie(o);
  auto device = Place(file, 0, {});
  const auto all = Carve(&device);
  const auto files = Files(all);
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().size, static_cast<long long>(file.size()));
  EXPECT_TRUE(HasName(all, "IPHONE 8", false));
  EXPECT_TRUE(HasName(all, "APPLE", true));
}

TEST(MovWalk, AFourByteBoxAfterFtypDropsMovAndSizesMp4ThroughTheDevice) {
  for (const char* major : {"qt  ", "isom"}) {
    Bytes file = Concat({Ftyp(major, {major, "avc1"}), Bytes{0, 0, 0, 4}, Noise(3000, 2)});
    auto device = Place(file, 0, {});
    const auto files = Files(Carve(&device));
    if (std::string(major) == "qt  ") {
      EXPECT_TRUE(files.empty());
    } else {
      // The device walk ends at the first box of a type it does not know.
      for (const Found& f : files) EXPECT_GT(f.size, 0);
    }
  }
}

TEST(Mp4DeviceWalk, SizesTheBoxesAndRefusesABadFirstSize) {
  MovieOptions o;
  o.major = "isom";
  o.compatible = {"isom", "avc1"};
  o.wide = false;
  o.largeMdat = true;
  const Bytes file = MakeMovie(o);
  struct {
    Bytes bytes;
    long long size;
    bool ok;
  } cases[] = {{file, static_cast<long long>(file.size()), true},
               {Concat({Bytes{0x80, 0, 0, 0}, Bytes(file.begin() + 4, file.end())}), 0, false},
               {Concat({file, Box("junk", Bytes(40, 1))}), static_cast<long long>(file.size()), true}};
  for (auto& c : cases) {
    auto device = Place(c.bytes, 2, {});
    CRawFileInfo info;
    info.m_llStartSector = 2;
    FileMP4Analyser reader;
    EXPECT_EQ(reader.GetRawFileSize(info, &device), c.ok);
    EXPECT_EQ(info.m_llSize, c.size);
  }
}

TEST(Mp3Names, Id3TagsNameTheFindAndLabelItsArtist) {
  const Bytes file = Id3Mp3();
  auto device = Place(file, 4, {});
  const auto all = Carve(&device);
  const Found f = At(Files(all), 4);
  EXPECT_EQ(f.size, static_cast<long long>(file.size()));
  EXPECT_NE(f.name.find("Artist Name_Song Title"), std::string::npos) << f.name;
  EXPECT_TRUE(HasName(all, "Artist Name", true));
}

TEST(Mp3Names, Id3v1OfAFrameStreamNamesIt) {
  const Bytes file = Concat({Mp3Frames(60, 4), Id3v1("Frame Song", "Frame Artist")});
  auto device = Place(file, 0, Noise(2000, 9));
  const auto files = Files(Carve(&device));
  ASSERT_EQ(files.size(), 1U);
  EXPECT_NE(files.front().name.find("Frame Artist_Frame Song"), std::string::npos) << files.front().name;
  EXPECT_NE(files.front().name.find(".MP3"), std::string::npos);
}

TEST(Mp3Header, Id3VersionTwoIsNotAFindAndFrameStartsBlockFurtherOnes) {
  BruteForce::MP3Analyzer mp3;
  Bytes id3v2 = Id3v2("a", "b");
  id3v2[3] = 2;
  id3v2.resize(4096, 0);
  CRawFileInfo probe;
  EXPECT_EQ(mp3.AnalyseBufferEx(id3v2.data(), probe, 512, 10, 0, 18), 0);

  Bytes frames = Mp3Frames(20, 1);
  frames.resize(8192, 0);
  BruteForce::MP3Analyzer::MP3RawFileInfo::m_lastStartSector = 0;
  EXPECT_NE(mp3.AnalyseBufferEx(frames.data(), probe, 512, 1, 0, 17), 0);
  EXPECT_EQ(BruteForce::MP3Analyzer::MP3RawFileInfo::m_lastStartSector, 1);
  EXPECT_EQ(mp3.AnalyseBufferEx(frames.data() + 417, probe, 512, 2, 0, 17), 0);
  BruteForce::MP3Analyzer::MP3RawFileInfo::m_lastStartSector = 0;
}

TEST(Mp3DeviceWalk, AShortFrameStreamIsRefused) {
  const Bytes file = Mp3Frames(19, 2);  // 7,923 bytes
  auto device = Place(file, 0, {});
  CRawFileInfo info;
  FileMP3Analyser reader;
  FileMP3Analyser::ResetRemembered();
  EXPECT_FALSE(reader.GetRawFileSize(info, &device));
  EXPECT_EQ(info.m_llSize, 0);
}

TEST(Mp3DeviceWalk, AnId3StreamIsSizedThroughTheDevice) {
  const Bytes file = Id3Mp3();
  for (const Bytes& tail : {Bytes{}, Noise(3000, 4)}) {
    auto device = Place(file, 1, tail);
    CRawFileInfo info;
    info.m_llStartSector = 1;
    FileMP3Analyser reader;
    EXPECT_TRUE(reader.GetRawFileSize(info, &device));
    EXPECT_EQ(info.m_llSize, static_cast<long long>(file.size()));
    EXPECT_EQ(reader.GetRawFileName(), "Song Title");
  }
}

TEST(Mp3TagText, EncodingsAreConvertedOrEmptied) {
  struct {
    Bytes content;
    std::string text;
  } cases[] = {
      {{3, 'a', 0xC3, 0xA9}, "a\xC3\xA9"},
      {{3, 'a', 0xFF, 'b'}, "a_b"},
      {{3, 0xFF, 0xFE}, ""},
      {{1, 0xFF, 0xFE, 'h', 0, 'i', 0}, "hi"},
      {{1, 0xFE, 0xFF, 0, 'h', 0, 'i'}, ""},
      {{0, 'p', 'l', 'a', 'i', 'n'}, "plain"},
      {{7, 'x'}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Mp3TagText::GetTagValue(c.content.data(), c.content.size(), {}, true), c.text);
  }
  // An unknown character set: high bytes become "_".
  const Bytes latin = {0, 'c', 0xE9, 'd'};
  EXPECT_EQ(Mp3TagText::GetTagValue(latin.data(), latin.size(), "NO-SUCH-SET", true), "c_d");
  EXPECT_EQ(Mp3TagText::GetTagValue(latin.data(), latin.size(), "LATIN1", true),
            "c\xC3\xA9"
            "d");
}

}  // namespace
