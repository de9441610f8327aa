#include <gtest/gtest.h>

#include <algorithm>

#include "ntfs/FindFileFromLogFile.h"
#include "ntfs/NtfsRecordBytes.h"
#include "support/MemoryDevice.h"

using namespace ntfstest;

namespace {

// A journal of `pages` pages; log records are written into page 4 onwards.
class JournalMaker {
 public:
  explicit JournalMaker(std::size_t pages) : m_bytes(pages * 4096, 0) {}
  // Appends a log record with `client` bytes of client data (header fields
  // from 0x30 on included) to page `page`.
  void Add(std::size_t page, std::uint64_t lsn, const Bytes& client) {
    std::size_t& pos = m_pos[page];
    if (pos == 0) pos = 64;
    const std::size_t at = page * 4096 + pos;
    PutLe64(m_bytes, at, lsn);
    PutLe32(m_bytes, at + 0x18, static_cast<std::uint32_t>(client.size()));
    for (std::size_t i = 0; i < client.size(); ++i) m_bytes.at(at + 48 + i) = client[i];
    pos += (48 + client.size() + 7) & ~std::size_t{7};
    Bytes& b = m_bytes;
    const std::size_t p = page * 4096;
    b[p] = 'R';
    b[p + 1] = 'C';
    b[p + 2] = 'R';
    b[p + 3] = 'D';
    PutLe16(b, p + 4, 40);
    PutLe16(b, p + 6, 9);
  }
  Bytes Build() const {
    Bytes b = m_bytes;
    for (const auto& [page, pos] : m_pos) {
      const std::size_t p = page * 4096;
      PutLe16(b, p + 40, 9);
      for (std::size_t i = 0; i < 8; ++i) {
        b[p + 42 + 2 * i] = b[p + 512 * i + 510];
        b[p + 43 + 2 * i] = b[p + 512 * i + 511];
        PutLe16(b, p + 512 * i + 510, 9);
      }
    }
    return b;
  }

 private:
  Bytes m_bytes;
  std::map<std::size_t, std::size_t> m_pos;
};

// Client data of a log record: the 40-byte client header, then `data`.
Bytes Client(std::uint16_t undoOffset, std::uint16_t undoLength, std::uint16_t recordOffset,
             std::uint16_t attributeOffset, std::uint16_t blockOffset, std::uint64_t vcn, const Bytes& data) {
  Bytes c(40 + data.size(), 0);
  PutLe16(c, 0x04, 0x28);  // redo offset
  PutLe16(c, 0x06, static_cast<std::uint16_t>(data.size()));
  PutLe16(c, 0x08, undoOffset);
  PutLe16(c, 0x0A, undoLength);
  PutLe16(c, 0x10, recordOffset);
  PutLe16(c, 0x12, attributeOffset);
  PutLe16(c, 0x14, blockOffset);
  PutLe64(c, 0x18, vcn);
  for (std::size_t i = 0; i < data.size(); ++i) c[40 + i] = data[i];
  return c;
}

MftGeometry Geometry(int sectorsPerCluster) { return MftGeometry{0, sectorsPerCluster, 512, 1024, nullptr}; }

Bytes DeletedRecord(std::uint32_t number, const std::u16string& name, std::uint64_t parent) {
  // $DATA with its runs wiped: real size 0 and an empty mapping-pairs array.
  return RecordMaker(1024, 0, number)
      .StandardInformation(0x20)
      .FileName(name, parent)
      .NonResidentData({0}, 0, 0)
      .Build();
}

}  // namespace

TEST(NtfsLogFile, AJournalOfFourPagesYieldsNothing) {
  JournalMaker j(4);
  CFindFileFromLogFile log;
  log.SetGeometry(Geometry(8));
  const Bytes b = j.Build();
  log.AnalyzeJournal(ByteView(b.data(), b.size()));
  EXPECT_EQ(log.LogRecordCount(), 0u);
  EXPECT_EQ(log.ImageCount(), 0u);
}

// The FILE record a log record changes, for several cluster sizes.
TEST(NtfsLogFile, TargetRecordFollowsTheClusterSize) {
  struct Case {
    int spc;
    std::uint64_t vcn;
    std::uint16_t block;
    long long record;
  };
  const Case cases[] = {{8, 10, 4, 42}, {8, 10, 0, 40}, {1, 10, 0, 5}, {2, 10, 0, 10}, {32, 10, 2, 161}};
  for (const Case& c : cases) {
    CFindFileFromLogFile log;
    log.SetGeometry(Geometry(c.spc));
    CLogRecordHeader h;
    h.targetVcn = c.vcn;
    h.blockOffset = c.block;
    EXPECT_EQ(log.TargetRecordIndex(h), c.record) << c.spc;
  }
}

// The undo data of the records that changed a deleted record's $DATA give
// its extents back.
TEST(NtfsLogFile, UndoDataRebuildsTheRuns) {
  const Bytes record = DeletedRecord(42, u"lost.bin", 64);
  const std::size_t data = CNTFSFileRecord::GetAttributeOffset(ByteView(record.data(), record.size()), 0x80, 0);
  ASSERT_NE(data, CNTFSFileRecord::npos);
  JournalMaker j(6);
  const Bytes pairs = {0x11, 0x05, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  // Undo data at client offset 40 (relative to 0x30: 0x28), record 42 = VCN 10, block 4.
  j.Add(4, 100,
        Client(0x28, static_cast<std::uint16_t>(pairs.size()), static_cast<std::uint16_t>(data), 0x40, 4, 10, pairs));
  CFindFileFromLogFile log;
  log.SetGeometry(Geometry(8));
  const Bytes journal = j.Build();
  log.AnalyzeJournal(ByteView(journal.data(), journal.size()));
  ASSERT_EQ(log.LogRecordCount(), 1u);

  const CNTFSFileRecord r(ByteView(record.data(), record.size()));
  const CNTFSMultiFileRecord multi(r, RecordPosition{0, 0}, nullptr, {}, 1024);
  long long parent = -1;
  auto props = CNTFSFilePropertiesBuilder::BuildFileProperties(RecordPosition{0, 0}, multi, 4096, parent);
  ASSERT_NE(props, nullptr);
  EXPECT_EQ(props->GetFileSize(), 0);
  EXPECT_TRUE(log.ReplaceFileRecordInfo(ByteView(record.data(), record.size()), *props, parent, {}));
  EXPECT_EQ(props->GetFileSize(), 5 * 4096);
  IDataRunList* list = props->GetDataRunList();
  ASSERT_NE(list, nullptr);
  const DataRun* run = list->GetFirst();
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->start, 0x30);
  EXPECT_EQ(run->length, 5);
  list->Release();
}

// A FILE record image in the journal repairs a deleted record of the same
// name in the same folder, and only there.
TEST(NtfsLogFile, ImagesMatchByNameAndParent) {
  const Bytes image = RecordMaker(1024, 1, 50)
                          .StandardInformation(0x20)
                          .FileName(u"report.doc", 64)
                          .NonResidentData({0x11, 0x03, 0x40, 0}, 10000, 12288)
                          .Plain();
  Bytes client(40, 0);
  client.insert(client.end(), image.begin(), image.end());
  JournalMaker j(6);
  j.Add(4, 7, client);
  CFindFileFromLogFile log;
  log.SetGeometry(Geometry(8));
  const Bytes journal = j.Build();
  log.AnalyzeJournal(ByteView(journal.data(), journal.size()));
  ASSERT_EQ(log.ImageCount(), 1u);

  for (const auto& [parent, repaired] : {std::pair{64LL, true}, std::pair{99LL, false}}) {
    const Bytes deleted = DeletedRecord(50, u"report.doc", static_cast<std::uint64_t>(parent));
    CNTFSFileProperties props;
    props.SetFileName("report.doc");
    props.SetState(kNtfsStateDeleted);
    log.ReplaceFileRecordInfo(ByteView(deleted.data(), deleted.size()), props, parent, {});
    EXPECT_EQ(props.GetFileSize(), repaired ? 10000 : 0) << parent;
  }
}

// Lengths from the journal are bounded: a record claiming more bytes than
// the journal holds, or one cut at its end, is skipped.
TEST(NtfsLogFile, DamagedLengthsAreSkipped) {
  for (const std::uint32_t length : {0xFFFFFFF0u, 5000u, 60000u}) {
    JournalMaker j(5);
    j.Add(4, 1, Bytes(40, 0));
    Bytes b = j.Build();
    PutLe32(b, 4 * 4096 + 64 + 0x18, length);
    CFindFileFromLogFile log;
    log.SetGeometry(Geometry(8));
    log.AnalyzeJournal(ByteView(b.data(), b.size()));
    EXPECT_EQ(log.LogRecordCount(), 0u) << length;
  }
}

// A journal in three runs out of order on the device, longer than the window
// it is read in: every page reaches the analysis, in journal order, as when
// the whole journal is given as bytes.
TEST(NtfsLogFile, JournalReadAWindowAtATimeFindsWhatTheWholeJournalHolds) {
  constexpr std::size_t kCluster = 4096;
  // Runs of 200, 250 and 150 clusters at clusters 100, 1000 and 500.
  const Bytes logPairs = {0x22, 0xC8, 0x00, 0x64, 0x00, 0x22, 0xFA, 0x00, 0x84,
                          0x03, 0x22, 0x96, 0x00, 0x0C, 0xFE, 0x00, 0x00, 0x00};
  const std::pair<std::size_t, std::size_t> runs[] = {{100, 200}, {1000, 250}, {500, 150}};
  constexpr std::size_t kPages = 600;
  ASSERT_GT(kPages * 4096, 2 * CFindFileFromLogFile::kWindowBytes);

  JournalMaker j(kPages);
  const Bytes pairs = {0x11, 0x05, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  // Pages at the ends of runs and of windows (256 pages each), and between.
  const std::size_t pages[] = {4, 100, 199, 200, 255, 256, 257, 300, 449, 450, 511, 512, 513, 599};
  std::uint64_t lsn = 100;
  for (const std::size_t page : pages) {
    for (int k = 0; k < 3; ++k) {
      j.Add(page, lsn++, Client(0x28, static_cast<std::uint16_t>(pairs.size()), 0x38, 0x40, 4, 10, pairs));
    }
  }
  const Bytes journal = j.Build();
  CFindFileFromLogFile whole;
  whole.SetGeometry(Geometry(8));
  whole.AnalyzeJournal(ByteView(journal.data(), journal.size()));
  ASSERT_EQ(whole.LogRecordCount(), std::size(pages) * 3);

  Bytes disk(1300 * kCluster, 0);
  std::size_t at = 0;
  for (const auto& [lcn, length] : runs) {
    std::copy_n(journal.begin() + static_cast<long>(at), length * kCluster,
                disk.begin() + static_cast<long>(lcn * kCluster));
    at += length * kCluster;
  }
  // The $MFT: clusters 1-4; record 2 is $LogFile.
  const Bytes logRecord = RecordMaker(1024, 1, 2)
                              .StandardInformation(0x06)
                              .FileName(u"$LogFile", 5)
                              .NonResidentData(logPairs, kPages * 4096, kPages * 4096)
                              .Build();
  std::copy(logRecord.begin(), logRecord.end(), disk.begin() + static_cast<long>(kCluster + 2 * 1024));
  testsupport::MemoryDevice device(disk);
  CNTFSDataRunList mftRuns;
  ASSERT_TRUE(mftRuns.InitFromBuffer(ByteView(Bytes{0x11, 0x04, 0x01, 0x00}.data(), 4)));
  MftGeometry geometry = Geometry(8);
  geometry.mftRuns = &mftRuns;

  CFindFileFromLogFile windowed;
  ASSERT_TRUE(windowed.Init(&device, geometry));
  ASSERT_TRUE(windowed.IsFound());
  ASSERT_TRUE(windowed.Analyzer());
  EXPECT_EQ(windowed.LogRecordCount(), whole.LogRecordCount());
  // Read in windows, never the whole journal at once.
  long long largest = 0;
  for (const auto& [sector, count] : device.Reads()) largest = std::max(largest, count);
  EXPECT_LE(largest * 512, static_cast<long long>(CFindFileFromLogFile::kWindowBytes));
}
