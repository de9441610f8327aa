// Previews: which bytes are read or copied for each kind of file, the
// limits on them, the temporary copies, and the headless maker.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>

#include "bridge/BridgeTestSupport.h"
#include "bridge/QVThumbnail.h"
#include "bridge/QVUIController.h"
#include "core/recovery/DataRecovery.h"
#include "core/recovery/FileReader.h"

using bridgetest::TestNode;

namespace {

constexpr long long kMiB = 1024 * 1024;

class FakeReader final : public IFileReader {
 public:
  explicit FakeReader(long long size) : m_size(size) {}
  int ReadData(long long pos, char* buf, unsigned len, int* err) override {
    ++reads;
    lastLen = len;
    const long long n = std::max(0LL, std::min<long long>(len, m_size - pos));
    std::memset(buf, 'x', static_cast<std::size_t>(n));
    if (err != nullptr) *err = 0;
    return static_cast<int>(n);
  }
  IFileReader* Clone() override { return nullptr; }
  long long GetDataSize() override { return m_size; }
  int IsCompressFile() override { return 0; }
  void Release() override { ++released; }
  int reads = 0;
  unsigned lastLen = 0;
  int released = 0;

 private:
  long long m_size;
};

class FakeRecovery final : public IDataRecovery {
 public:
  RESULT Initialize(IFileSystemSearchController*, IStorageDevice*) override { return 0; }
  RESULT Initialize(const std::vector<CSearchedPartitionInfo*>&, IStorageDevice*) override { return 0; }
  std::vector<CSearchedPartitionInfo*>& GetSearchedPartition() override { return m_parts; }
  IFileReader* SetRecoverNode(IFileNode* node) override {
    ++setNodes;
    if (node == nullptr || noReader) return nullptr;
    reader = std::make_unique<FakeReader>(node->GetFileSize());
    return reader.get();
  }
  RESULT RecoverTo(const char* path, IProgress*, int limit) override {
    copiedTo = path;
    copyLimit = limit;
    if (copyResult != 0) return copyResult;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return 1;
    (void)::ftruncate(fd, limit);
    ::close(fd);
    struct stat st {};
    ::stat(std::filesystem::path(path).parent_path().c_str(), &st);
    dirMode = st.st_mode & 0777;
    return 0;
  }
  int ReadSmallJPG(char*, unsigned len) override {
    ++smallCalls;
    smallLen = len;
    return smallAnswer;
  }
  void Release() override {}

  std::unique_ptr<FakeReader> reader;
  int setNodes = 0;
  bool noReader = false;
  std::string copiedTo;
  int copyLimit = -1;
  RESULT copyResult = 0;
  unsigned dirMode = 0;
  int smallCalls = 0;
  unsigned smallLen = 0;
  int smallAnswer = 0;

 private:
  std::vector<CSearchedPartitionInfo*> m_parts;
};

// Decodes into images whose sizes come from a list, one per call.
class FakeMaker final : public bridge::IThumbnailMaker {
 public:
  bridge::Image FromFile(const std::string& path, int maxSize) override {
    fromFile = path;
    fileExisted = std::filesystem::exists(path);
    side = maxSize;
    return fileImage;
  }
  std::optional<bridge::Image> Decode(const char*, std::size_t length) override {
    decodedLengths.push_back(length);
    if (decodes.empty()) return std::nullopt;
    const bridge::Image i = decodes.front();
    decodes.erase(decodes.begin());
    return i;
  }
  bridge::Image IconForExtension(const std::string& ext, int) override {
    icons.push_back(ext);
    return bridge::Image{16, 16, nullptr};
  }
  std::string fromFile;
  bool fileExisted = false;
  int side = 0;
  bridge::Image fileImage;
  std::vector<bridge::Image> decodes;
  std::vector<std::size_t> decodedLengths;
  std::vector<std::string> icons;
};

class Thumbnail : public ::testing::Test {
 protected:
  void SetUp() override {
    bridge::ThumbnailSources s;
    s.haveFilter = [] { return true; };
    s.category = [this](IFileNode* node) -> unsigned {
      const std::string name = node->GetFileName();
      for (const char* movie : {".avi", ".AVI", ".mp4", ".mov", "movie"}) {
        if (name.find(movie) != std::string::npos) return kFilterMovie;
      }
      return m_category;
    };
    s.recovery = [this](IFileNode*) -> IDataRecovery* { return &m_recovery; };
    s.recoveryBusy = [this] { return m_busy; };
    bridge::SetThumbnailSources(s);
    bridge::SetThumbnailMaker(&m_maker);
  }
  void TearDown() override {
    bridge::ResetThumbnailSources();
    bridge::SetThumbnailMaker(nullptr);
  }
  TestNode Node(const std::string& name, long long size) { return TestNode(1, 0, name, size, false); }

  FakeRecovery m_recovery;
  FakeMaker m_maker;
  unsigned m_category = kFilterPicture;
  bool m_busy = false;
};

TEST_F(Thumbnail, EmbeddedPreviewsAreAskedOnlyOfFilesOfAtLeast64KiB) {
  struct Case {
    long long size;
    int answer;           // what the engine's preview reader answers
    bool asked;           // the preview reader is asked at all
    std::size_t decoded;  // bytes handed to the decoder
  };
  const Case cases[] = {
      {65535, 0, false, 65535},    {65536, 0, true, 65536},     {65536, 1000, true, 1000},
      {65536, 65535, true, 65535}, {70000, 65536, true, 70000}, {200000, 70000, true, 200000},
      {200000, -5, true, 200000},
  };
  for (const Case& c : cases) {
    m_recovery.smallCalls = 0;
    m_recovery.smallAnswer = c.answer;
    m_maker.decodedLengths.clear();
    m_maker.decodes = {bridge::Image{10, 10, nullptr}};
    TestNode node = Node("photo.jpg", c.size);
    const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(&node);
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(image->usable()) << c.size;
    EXPECT_EQ(m_recovery.smallCalls, c.asked ? 1 : 0) << c.size;
    if (c.asked) {
      EXPECT_EQ(m_recovery.smallLen, static_cast<unsigned>(c.size));
    }
    ASSERT_EQ(m_maker.decodedLengths.size(), 1u) << c.size;
    EXPECT_EQ(m_maker.decodedLengths[0], c.decoded) << c.size << " " << c.answer;
    EXPECT_EQ(m_recovery.reader->released, 1);
  }
}

TEST_F(Thumbnail, APreviewWithoutSizeIsDecodedAgainFromTheWholeData) {
  m_recovery.smallAnswer = 4000;
  m_maker.decodes = {bridge::Image{0, 0, nullptr}, bridge::Image{640, 480, nullptr}};
  TestNode node = Node("photo.jpg", 300000);
  const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(&node);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 640);
  EXPECT_EQ(m_maker.decodedLengths, (std::vector<std::size_t>{4000, 300000}));
}

TEST_F(Thumbnail, PicturesTooLargeOrAbsentGetTheIconWithoutReading) {
  for (long long size : {150 * kMiB, 0LL}) {
    m_recovery.setNodes = 0;
    m_maker.icons.clear();
    TestNode node = Node("big.JPG", size);
    const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(&node);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(m_recovery.setNodes, 0) << size;
    EXPECT_EQ(m_maker.icons, (std::vector<std::string>{"jpg"}));
  }
}

TEST_F(Thumbnail, VideosContributeALimitedCopy) {
  struct Case {
    const char* name;
    long long size;
    int limit;
  };
  const Case cases[] = {
      {"clip.avi", 40 * kMiB, static_cast<int>(40 * kMiB)},
      {"clip.AVI", 60 * kMiB, static_cast<int>(2 * kMiB)},
      {"clip.mp4", 1 * kMiB, static_cast<int>(1 * kMiB)},
      {"clip.mov", 5 * kMiB, static_cast<int>(2 * kMiB)},
  };
  m_maker.fileImage = bridge::Image{192, 108, nullptr};
  for (const Case& c : cases) {
    TestNode node = Node(c.name, c.size);
    const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(&node);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 192) << c.name;
    EXPECT_EQ(m_recovery.copyLimit, c.limit) << c.name;
    EXPECT_TRUE(m_maker.fileExisted);
    EXPECT_EQ(m_maker.side, 192);
    EXPECT_EQ(m_recovery.dirMode, 0700u);
    // The copy is gone afterwards.
    EXPECT_FALSE(std::filesystem::exists(m_recovery.copiedTo)) << m_recovery.copiedTo;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(m_recovery.copiedTo).parent_path()));
  }
  TestNode noDot = Node("movie", 5 * kMiB);
  EXPECT_FALSE(QVUIController::GetNSImageByFildNode(&noDot).has_value());
}

// The copy goes to the first place that is not on the scanned device; with
// none left, nothing is copied and the file's icon shows.
TEST_F(Thumbnail, CopiesStayOffTheScannedDevice) {
  const std::string temp = std::filesystem::temp_directory_path().string();
  struct Case {
    std::function<bool(const std::string&)> onDevice;
    bool copied;
  };
  const Case cases[] = {
      {[&](const std::string& folder) { return folder != temp; }, true},
      {[](const std::string&) { return true; }, false},
  };
  m_maker.fileImage = bridge::Image{192, 108, nullptr};
  for (const Case& c : cases) {
    bridge::ThumbnailSources s;
    s.haveFilter = [] { return true; };
    s.category = [](IFileNode*) -> unsigned { return kFilterMovie; };
    s.recovery = [this](IFileNode*) -> IDataRecovery* { return &m_recovery; };
    s.recoveryBusy = [] { return false; };
    std::vector<std::string> asked;
    s.onScannedDevice = [&](const std::string& folder) {
      asked.push_back(folder);
      return c.onDevice(folder);
    };
    bridge::SetThumbnailSources(s);
    m_recovery.copiedTo.clear();
    m_maker.icons.clear();
    TestNode node = Node("clip.mp4", kMiB);
    const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(&node);
    ASSERT_TRUE(image.has_value());
    // The places in memory come first when they exist.
    if (std::filesystem::is_directory("/dev/shm")) {
      ASSERT_FALSE(asked.empty());
      EXPECT_NE(std::find(asked.begin(), asked.end(), "/dev/shm"), asked.end());
    }
    EXPECT_NE(std::find(asked.begin(), asked.end(), temp), asked.end());
    if (c.copied) {
      EXPECT_EQ(image->width, 192);
      EXPECT_EQ(m_recovery.copiedTo.rfind(temp + "/quarnel-preview-", 0), 0u) << m_recovery.copiedTo;
      EXPECT_EQ(m_recovery.dirMode, 0700u);
    } else {
      EXPECT_TRUE(m_recovery.copiedTo.empty()) << m_recovery.copiedTo;
      EXPECT_EQ(m_maker.icons, (std::vector<std::string>{"mp4"}));
    }
  }
}

TEST_F(Thumbnail, CameraRawAndLayeredPictures) {
  // A failed copy of a raw picture gives the icon.
  m_recovery.copyResult = 1;
  TestNode raw = Node("shot.CR2", 10 * kMiB);
  std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(&raw);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(m_recovery.copyLimit, static_cast<int>(10 * kMiB));
  EXPECT_EQ(m_maker.icons, (std::vector<std::string>{"cr2"}));
  EXPECT_TRUE(m_maker.decodedLengths.empty());

  // A layered picture whose thumbnail is empty goes on to the picture path.
  m_recovery.copyResult = 0;
  m_maker.decodes = {bridge::Image{50, 40, nullptr}};
  TestNode psd = Node("art.psd", 100000);
  image = QVUIController::GetNSImageByFildNode(&psd);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 50);
  EXPECT_EQ(m_maker.decodedLengths.size(), 1u);
}

TEST_F(Thumbnail, NoEngineAccessWhileARecoveryRuns) {
  m_busy = true;
  for (const char* name : {"photo.jpg", "clip.mp4", "shot.dng"}) {
    TestNode node = Node(name, 100000);
    ASSERT_TRUE(QVUIController::GetNSImageByFildNode(&node).has_value()) << name;
  }
  EXPECT_EQ(m_recovery.setNodes, 0);
  EXPECT_EQ(m_maker.icons.size(), 3u);
}

TEST_F(Thumbnail, TheHeadlessMakerGivesNoThumbnail) {
  bridge::SetThumbnailMaker(nullptr);
  for (const char* name : {"photo.jpg", "clip.mp4", "shot.dng", "doc.txt", "noext"}) {
    TestNode node = Node(name, 100000);
    const std::optional<bridge::Image> image = QVUIController::GetNSImageByFildNode(&node);
    ASSERT_TRUE(image.has_value()) << name;
    EXPECT_FALSE(image->usable()) << name;
  }
  EXPECT_FALSE(QVUIController::GetNSImageByFildNode(nullptr).has_value());
  EXPECT_FALSE(QVUIController::GetNSImageByNode(nullptr).has_value());
  EXPECT_FALSE(QVUIController::getVideoThumbFromPath("/nonexistent").usable());
}

TEST_F(Thumbnail, NoFilterMeansNoImage) {
  bridge::ThumbnailSources s;
  s.haveFilter = [] { return false; };
  bridge::SetThumbnailSources(s);
  TestNode node = Node("photo.jpg", 100000);
  EXPECT_FALSE(QVUIController::GetNSImageByFildNode(&node).has_value());
}

}  // namespace

// The start of a file for a text preview: at most the limit, never past the
// file's size, nothing while a recovery runs, without a reader, for a folder
// or an empty file; the reader is always released.
TEST_F(Thumbnail, FileHeadBytesAreLimitedAndOnlyReadWhenAllowed) {
  struct Case {
    long long size;
    std::size_t limit;
    bool busy;
    bool noReader;
    bool ok;
    std::size_t length;
  };
  const Case cases[] = {
      {100, 65536, false, false, true, 100},     {200000, 65536, false, false, true, 65536},
      {65536, 65536, false, false, true, 65536}, {100, 0, false, false, false, 0},
      {0, 65536, false, false, false, 0},        {100, 65536, true, false, false, 0},
      {100, 65536, false, true, false, 0},
  };
  for (const Case& c : cases) {
    m_busy = c.busy;
    m_recovery.noReader = c.noReader;
    m_recovery.reader.reset();
    TestNode node = Node("letter.txt", c.size);
    std::string head = "old";
    EXPECT_EQ(QVUIController::GetFileHeadBytes(&node, c.limit, head), c.ok) << c.size << " " << c.limit;
    EXPECT_EQ(head.size(), c.length) << c.size << " " << c.limit;
    if (c.ok) {
      EXPECT_EQ(head, std::string(c.length, 'x'));
      ASSERT_NE(m_recovery.reader, nullptr);
      EXPECT_EQ(m_recovery.reader->released, 1);
      EXPECT_EQ(m_recovery.reader->lastLen, c.length);
    }
  }
  TestNode folder(2, 0, "Photos", 0, true);
  std::string head;
  EXPECT_FALSE(QVUIController::GetFileHeadBytes(&folder, 100, head));
  EXPECT_FALSE(QVUIController::GetFileHeadBytes(nullptr, 100, head));
}
