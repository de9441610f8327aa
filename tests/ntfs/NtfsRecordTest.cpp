#include <gtest/gtest.h>

#include <memory>

#include "ntfs/DataRuns.h"
#include "ntfs/FileProperties.h"
#include "ntfs/IndexRecord.h"
#include "ntfs/LogPage.h"
#include "ntfs/MetaFileRecord.h"
#include "ntfs/NtfsFileNode.h"
#include "ntfs/NtfsRecordBytes.h"
#include "ntfs/NtfsRunLists.h"

using namespace ntfstest;

namespace {

ByteView View(const Bytes& b) { return ByteView(b.data(), b.size()); }

std::unique_ptr<CNTFSFileProperties> Properties(const Bytes& record, long long clusterBytes,
                                                long long* parent = nullptr) {
  const CNTFSFileRecord r(View(record));
  const CNTFSMultiFileRecord multi(r, RecordPosition{100, 0}, nullptr, {}, static_cast<int>(record.size()));
  long long p = -1;
  auto props = CNTFSFilePropertiesBuilder::BuildFileProperties(RecordPosition{100, 0}, multi, clusterBytes, p);
  if (parent != nullptr) *parent = p;
  return props;
}

}  // namespace

TEST(NtfsRuns, DecodesPairsWithSignedOffsetsAndSparseRuns) {
  struct Case {
    Bytes pairs;
    std::vector<CDataRun> runs;
  };
  const Case cases[] = {
      {{0x21, 0x10, 0x34, 0x12, 0}, {{0x1234, 0, 0x10}}},
      {{0x41, 0x01, 0x00, 0x00, 0x90, 0x00, 0x31, 0x01, 0x00, 0x00, 0x80, 0}, {{0x900000, 0, 1}, {0x100000, 1, 1}}},
      {{0x31, 0x01, 0xFF, 0xFF, 0x7F, 0}, {{8388607, 0, 1}}},
      {{0x11, 0x02, 0x20, 0x01, 0x08, 0x11, 0x03, 0x10, 0}, {{0x20, 0, 2}, {-1, 2, 8}, {0x30, 10, 3}}},
  };
  for (const Case& c : cases) {
    CNTFSDataRunList list;
    EXPECT_TRUE(list.InitFromBuffer(View(c.pairs)));
    EXPECT_EQ(list.Runs(), c.runs);
  }
}

// Pairs that are cut, too wide, or place clusters before the volume are refused.
TEST(NtfsRuns, RefusesDamagedPairs) {
  const Bytes cases[] = {{0x51, 1, 2, 3, 4, 5, 6, 0},
                         {0x21, 0x10, 0x34},
                         {0x21, 0x10, 0x34, 0x12},
                         {0x11, 0x01, 0xF0, 0},
                         {0x14, 0x01, 0x02, 0}};
  for (const Bytes& pairs : cases) {
    CNTFSDataRunList list;
    EXPECT_FALSE(list.InitFromBuffer(View(pairs))) << int(pairs[0]);
  }
}

TEST(NtfsRuns, PackingRoundTripsAndUsesTheSmallestWidths) {
  CNoneResidentNTFSDataRunList list;
  const DataRun runs[] = {{0x1234, 0x10}, {-1, 0x80}, {0x100, 3}, {0x7FFFFFFFFFLL, 1}};
  for (const DataRun& r : runs) list.AddDataRun(&r);
  auto packed = CCompressedDataRunList::Compress(list);
  ASSERT_NE(packed, nullptr);
  const Bytes& b = packed->Bytes();
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{0x21, 0x10, 0x34, 0x12}));
  EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 7), (Bytes{0x02, 0x80, 0x00}));
  std::unique_ptr<IDataRunList, void (*)(IDataRunList*)> back(packed->Decompress(),
                                                              [](IDataRunList* l) { l->Release(); });
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetDataRunListType(), 2);
  std::vector<std::pair<long long, long long>> got;
  for (const DataRun* r = back->GetFirst(); r != nullptr; r = back->GetNext()) got.push_back({r->start, r->length});
  EXPECT_EQ(
      got, (std::vector<std::pair<long long, long long>>{{0x1234, 0x10}, {-1, 0x80}, {0x100, 3}, {0x7FFFFFFFFFLL, 1}}));
  EXPECT_EQ(CCompressedDataRunList::GetNeedBytes(-128), 1);
  EXPECT_EQ(CCompressedDataRunList::GetNeedBytes(128), 2);
  EXPECT_EQ(CCompressedDataRunList::GetNeedBytes(1LL << 55), 8);
}

TEST(NtfsFileRecord, HeaderTestTable) {
  struct Case {
    const char* what;
    std::size_t at;
    std::uint16_t value;
    bool valid;
  };
  const Case cases[] = {{"offset 40", 0x04, 40, false},       {"offset 258", 0x04, 258, false},
                        {"offset 42", 0x04, 42, true},        {"offset 256", 0x04, 256, true},
                        {"count 17", 0x06, 17, false},        {"count 0", 0x06, 0, false},
                        {"allocated 1000", 0x1C, 1000, false}};
  for (const Case& c : cases) {
    Bytes b = RecordMaker().FileName(u"a.txt", 5).Plain();
    PutLe16(b, c.at, c.value);
    EXPECT_EQ(CNTFSFileRecordHeader::IsValid(View(b)), c.valid) << c.what;
  }
}

TEST(NtfsFileRecord, NameCharactersDecide) {
  EXPECT_FALSE(CNTFSFileRecord::IsValid(View(RecordMaker().FileName(u"a:b", 5).Build())));
  EXPECT_TRUE(CNTFSFileRecord::IsValid(View(RecordMaker().FileName(u"a%b", 5).Build())));
}

// A mismatch in a protected sector does not refuse the record; its attributes decide.
TEST(NtfsFileRecord, UpdateSequenceMismatchIsNotFatal) {
  Bytes b = RecordMaker().FileName(u"a.txt", 5).Build();
  PutLe16(b, 1022, 0x7777);
  EXPECT_FALSE(CNTFSFileRecord::IsValidUpdateSequence(View(b)));
  EXPECT_TRUE(CNTFSFileRecord::IsValid(View(b)));
}

// 4 KiB records: every stride is restored and attributes past 1 KiB are read.
TEST(NtfsFileRecord, FourKilobyteRecordsAreReadWhole) {
  RecordMaker maker(4096, 1, 77);
  maker.StandardInformation(0x20);
  for (int i = 0; i < 12; ++i) maker.FileName(u"padding_name_" + std::u16string(1, u'a' + i), 5, 2);
  const Bytes value(300, 0xAB);
  maker.ResidentData(value);
  const Bytes b = maker.Build();
  const CNTFSFileRecord r(View(b));
  ASSERT_TRUE(r.IsValid());
  const ByteView data = r.FindAttibute(0x80, 0);
  ASSERT_GT(data.Size(), 0u) << CNTFSFileRecord::GetAttributeOffset(r.View(), 0x80, 0) << " " << r.GetLength();
  const ByteView v = CNTFSFileRecordAttribute::ResidentValue(data);
  ASSERT_EQ(v.Size(), 300u);
  for (std::size_t i = 0; i < v.Size(); ++i) ASSERT_EQ(v.U8(i), 0xAB) << i;
}

// Attribute headers are bounded by their own length and by the record.
TEST(NtfsFileRecord, AttributesReachingPastTheirLengthAreRefused) {
  Bytes b = RecordMaker().FileName(u"a.txt", 5).NonResidentData({0x11, 1, 1, 0}, 10, 4096).Plain();
  const std::size_t data = CNTFSFileRecord::GetAttributeOffset(View(b), 0x80, 0);
  PutLe32(b, data + 4, 0x30);  // shorter than a non-resident header
  EXPECT_FALSE(CNTFSFileRecord::CheckAttibutes(View(b)));
  Bytes c = RecordMaker().FileName(u"a.txt", 5).ResidentData(Bytes(40, 1)).Plain();
  const std::size_t res = CNTFSFileRecord::GetAttributeOffset(View(c), 0x80, 0);
  PutLe32(c, res + 0x10, 4000);  // value past the attribute
  EXPECT_FALSE(CNTFSFileRecord::CheckAttibutes(View(c)));
}

TEST(NtfsFileRecord, SystemRecordsNeedNameAndFlags) {
  EXPECT_TRUE(
      CIsMetaFileRecord::IsMetaFileRecord(View(RecordMaker().StandardInformation(0x06).FileName(u"$MFT", 5).Build())));
  EXPECT_FALSE(
      CIsMetaFileRecord::IsMetaFileRecord(View(RecordMaker().StandardInformation(0x06).FileName(u"$mft", 5).Build())));
  EXPECT_FALSE(
      CIsMetaFileRecord::IsMetaFileRecord(View(RecordMaker().StandardInformation(0x20).FileName(u"$MFT", 5).Build())));
  EXPECT_TRUE(CIsMetaFileRecord::IsMetaFileRecord(24));
  EXPECT_FALSE(CIsMetaFileRecord::IsMetaFileRecord(25));
}

TEST(NtfsProperties, Win32NameIsPreferredAndPosixIsNot) {
  auto a = Properties(RecordMaker().FileName(u"LONGFI~1.TXT", 40, 2).FileName(u"Long file.txt", 40, 1).Build(), 4096);
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->GetFileName(), "Long file.txt");
  auto b = Properties(RecordMaker().FileName(u"first", 40, 2).FileName(u"second", 40, 0).Build(), 4096);
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->GetFileName(), "first");
}

TEST(NtfsProperties, SizesFollowTheClusters) {
  // A deleted file whose record says 0 bytes over 10 clusters.
  auto a = Properties(RecordMaker(1024, 0).FileName(u"a.bin", 5).NonResidentData({0x11, 10, 0x20, 0}, 0, 40960).Build(),
                      4096);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetFileSize(), 40960);
  EXPECT_EQ(a->GetState() & kNtfsStateDeleted, kNtfsStateDeleted);
  // A real size beyond the clusters is cut to them.
  auto b =
      Properties(RecordMaker().FileName(u"b.bin", 5).NonResidentData({0x11, 2, 0x20, 0}, 100000, 8192).Build(), 4096);
  EXPECT_EQ(b->GetFileSize(), 8192);
  // Compressed and encrypted: encrypted wins.
  auto c = Properties(
      RecordMaker().FileName(u"c.bin", 5).NonResidentData({0x11, 2, 0x20, 0}, 100, 8192, 0x4001).Build(), 4096);
  EXPECT_EQ(c->GetAttribute() & (kNtfsAttrCompressed | kNtfsAttrEncrypted), kNtfsAttrEncrypted);
}

TEST(NtfsProperties, ResidentDataGivesAResidentList) {
  const Bytes record =
      RecordMaker().StandardInformation(0x20).FileName(u"r.txt", 64).ResidentData(Bytes(300, 7)).Build();
  long long parent = -1;
  auto props = Properties(record, 4096, &parent);
  ASSERT_NE(props, nullptr);
  EXPECT_EQ(parent, 64);
  EXPECT_EQ(props->GetFileSize(), 300);
  CNTFSFileNode node;
  node.SetFileProperties(std::move(props));
  IDataRunList* list = node.GetDataRunList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->IsResident(), 1);
  EXPECT_EQ(list->GetDataRunListType(), 1);
  const std::size_t data = CNTFSFileRecord::GetAttributeOffset(View(record), 0x80, 0);
  EXPECT_EQ(list->GetOffset(), static_cast<long long>(data + 0x18));
  EXPECT_EQ(node.GetSearcheType(), kSearcherNtfs);
  IFileNode* copy = node.Clone();
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy->GetFileName(), "r.txt");
  copy->Release();
}

namespace {

Bytes IndexRecordBytes(std::uint16_t count, std::uint64_t secondParent) {
  Bytes b(4096, 0);
  b[0] = 'I';
  b[1] = 'N';
  b[2] = 'D';
  b[3] = 'X';
  PutLe16(b, 0x04, 0x28);
  PutLe16(b, 0x06, count);
  PutLe32(b, 0x18, 0x28);
  PutLe32(b, 0x1C, 3 * 0x60);
  PutLe32(b, 0x20, 0xFE8);
  const std::size_t first = 0x18 + 0x28;
  for (int i = 0; i < 3; ++i) {
    const std::size_t e = first + 0x60 * static_cast<std::size_t>(i);
    PutLe16(b, e + 0x08, 0x60);
    PutLe16(b, e + 0x0C, i == 2 ? 2 : 0);
    PutLe64(b, e + 0x10, i == 1 ? secondParent : 64);
    b[e + 0x50] = 1;
  }
  for (std::size_t i = 0; i + 1 < count; ++i) {
    b[0x2A + 2 * i] = b[512 * i + 510];
    b[0x2B + 2 * i] = b[512 * i + 511];
    PutLe16(b, 512 * i + 510, 3);
  }
  PutLe16(b, 0x28, 3);
  return b;
}

}  // namespace

TEST(NtfsIndexRecord, HeaderEntriesAndProtection) {
  EXPECT_TRUE(CIndexRecord::IsValid(View(IndexRecordBytes(9, 64))));
  EXPECT_EQ(CIndexRecord::GetParentFileReference(View(IndexRecordBytes(9, 64))), 64);
  EXPECT_FALSE(CStandardIndexHeader::IsValid(View(IndexRecordBytes(8, 64))));
  EXPECT_FALSE(CIndexRecord::IsValid(View(IndexRecordBytes(9, 70))));
  Bytes lastSector = IndexRecordBytes(9, 64);
  PutLe16(lastSector, 7 * 512 + 510, 9);
  EXPECT_FALSE(CIndexRecord::IsValid(View(lastSector)));
  // An entry longer than the record is refused, not followed.
  Bytes longEntry = IndexRecordBytes(9, 64);
  PutLe16(longEntry, 0x40 + 0x08, 0xFFF0);
  EXPECT_FALSE(CIndexRecord::IsValid(View(longEntry)));
}

TEST(NtfsLogPage, TestsAndHeaders) {
  Bytes page(4096, 0);
  page[0] = 'R';
  page[1] = 'C';
  page[2] = 'R';
  page[3] = 'D';
  PutLe16(page, 4, 40);
  PutLe16(page, 6, 9);
  PutLe16(page, 40, 5);
  for (int i = 0; i < 8; ++i) PutLe16(page, 512 * static_cast<std::size_t>(i) + 510, 5);
  EXPECT_TRUE(CRCRDRecord::IsValid(View(page)));
  PutLe16(page, 6, 8);
  EXPECT_FALSE(CRCRDRecord::IsValid(View(page)));
  CLogRecordHeader h;
  EXPECT_FALSE(CRCRDRecord::GetOperationRecordHeader(ByteView(page.data(), 47), h));
  EXPECT_TRUE(CRCRDRecord::GetOperationRecordHeader(ByteView(page.data(), 48), h));
}
