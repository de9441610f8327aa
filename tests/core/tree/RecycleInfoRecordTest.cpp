// Decoding the original name from "$I" record bytes.

#include <gtest/gtest.h>

#include "RecycleRecordBytes.h"
#include "TreeTestNodes.h"
#include "core/tree/RecycleInfoRecord.h"
#include "core/tree/RecyclerFilter.h"

namespace {

using recycle_bytes::V1;
using recycle_bytes::V2;

struct DecodeCase {
  const char* title;
  std::vector<std::uint8_t> bytes;
  bool ok;
  std::string name;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.title; }

std::vector<std::uint8_t> Truncated(std::vector<std::uint8_t> bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

std::vector<std::uint8_t> WithVersion(std::vector<std::uint8_t> bytes, std::uint64_t version) {
  testsupport::PutLe64(bytes, 0, version);
  return bytes;
}

// A version-1 path that fills the whole 260-unit field, with no terminator.
std::u16string FullFieldPath() {
  std::u16string path = u"C:\\";
  while (path.size() < 260 - 9) path += u'a';
  path += u"\\tail.txt";
  return path;
}

std::vector<DecodeCase> Cases() {
  return {
      {"version 1", V1(u"C:\\Users\\x\\Report.docx"), true, "Report.docx"},
      {"version 2", V2(u"D:\\data\\photo 1.jpg"), true, "photo 1.jpg"},
      {"a name whose units hold 0x5C bytes", V2(u"C:\\Users\\x\\\u5C0F\u8AAC.txt"), true, "\u5C0F\u8AAC.txt"},
      {"a surrogate pair", V1(u"C:\\x\\\U0001F600.png"), true, "\U0001F600.png"},
      {"version 1 path filling its field", V1(FullFieldPath()), true, "tail.txt"},
      {"version 1 cut short inside the path", Truncated(V1(u"C:\\dir\\name.txt"), 24 + 30), true, "name.txt"},
      {"no drive prefix", V2(u"\\\\server\\share\\a.txt"), false, ""},
      {"drive without backslash", V2(u"C:name.txt"), false, ""},
      {"path ending in a backslash", V2(u"C:\\dir\\"), false, ""},
      {"name of two dots", V2(u"C:\\dir\\.."), false, ""},
      {"name with a slash", V2(u"C:\\dir\\a/b"), false, ""},
      {"lone surrogate", V2(std::u16string(u"C:\\d\\") + char16_t(0xD800) + u"x"), false, ""},
      {"unknown version", WithVersion(V2(u"C:\\d\\a.txt"), 3), false, ""},
      {"version 2 length past the bytes", V2(u"C:\\d\\a.txt", 400), false, ""},
      {"version 2 length cut before the name", V2(u"C:\\d\\a.txt", 5), false, ""},
      {"header only", Truncated(V1(u"C:\\d\\a.txt"), 24), false, ""},
      {"shorter than the header", Truncated(V1(u"C:\\d\\a.txt"), 20), false, ""},
      {"version 2 without its length", Truncated(V2(u"C:\\d\\a.txt"), 26), false, ""},
  };
}

class RecycleInfoDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(RecycleInfoDecode, FindsTheOriginalName) {
  const DecodeCase& c = GetParam();
  std::string name = "unchanged";
  EXPECT_EQ(recycle_info::DecodeOriginalName(ByteView(c.bytes.data(), c.bytes.size()), name), c.ok);
  EXPECT_EQ(name, c.name);
}

INSTANTIATE_TEST_SUITE_P(Records, RecycleInfoDecode, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) {
                           std::string name;
                           for (const char* p = info.param.title; *p != '\0'; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
                           }
                           return name;
                         });

TEST(RecyclerFilterNames, RecognisesRecycleEntriesByName) {
  struct Case {
    const char* name;
    bool recoverNode;
    bool recoverNodeEx;
  };
  const Case cases[] = {
      {"$IABC.txt", true, false}, {"#IABC", true, false}, {"$RABC.txt", false, true},    {"#R1", false, true},
      {"$I", true, false},        {"$", false, false},    {"$RmMetadata", false, false}, {"$Repair", false, false},
      {"$Reparse", false, false}, {"$Rm", false, false},  {"xRABC", false, false},       {"$rabc", false, false},
  };
  for (const Case& c : cases) {
    TreeNode node({1, 0, c.name}, kSearcherNtfs);
    EXPECT_EQ(CRecyclerFilter::IsRecoverNode(&node), c.recoverNode) << c.name;
    EXPECT_EQ(CRecyclerFilter::IsRecoverNodeEx(&node), c.recoverNodeEx) << c.name;
    EXPECT_FALSE(CRecyclerFilter::IsRecycleBinSigleNode(&node)) << "files are never recycle folders";
  }
}

}  // namespace
