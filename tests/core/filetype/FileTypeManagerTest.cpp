#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "core/filetype/DefaultFileTypes.h"
#include "core/filetype/FileTypeManager.h"

namespace {

// Sets all six process-wide lists, so that no test depends on another.
void SetLists(const std::string& docs, const std::string& pics, const std::string& movies, const std::string& music,
              const std::string& archives, const std::string& email) {
  CFileTypeManager::Initialze({{1, docs}, {2, pics}, {4, movies}, {8, music}, {16, archives}, {32, email}});
}

std::unique_ptr<CFileTypeManager> Loaded() {
  auto m = std::make_unique<CFileTypeManager>();
  m->Initialize();
  return m;
}

TEST(FileTypeManager, FilterBitsAndIds) {
  EXPECT_EQ(FilterBitToFileTypeId(1), kFileTypeDocument);
  EXPECT_EQ(FilterBitToFileTypeId(2), kFileTypePicture);
  EXPECT_EQ(FilterBitToFileTypeId(4), kFileTypeMovie);
  EXPECT_EQ(FilterBitToFileTypeId(8), kFileTypeMusic);
  EXPECT_EQ(FilterBitToFileTypeId(16), kFileTypeArchive);
  EXPECT_EQ(FilterBitToFileTypeId(32), kFileTypeEmail);
  EXPECT_EQ(FilterBitToFileTypeId(64), kFileTypeOther);
  EXPECT_EQ(FilterBitToFileTypeId(127), kFileTypeNone);
  EXPECT_EQ(FilterBitToFileTypeId(0), kFileTypeNone);
  for (unsigned bit = 1; bit <= 64; bit <<= 1) EXPECT_EQ(FileTypeIdToFilterBit(FilterBitToFileTypeId(bit)), bit);
  EXPECT_EQ(int{kFileTypeDocument}, 2);
  EXPECT_EQ(int{kFileTypePicture}, 3);
  EXPECT_EQ(int{kFileTypeMusic}, 4);
  EXPECT_EQ(int{kFileTypeMovie}, 5);
  EXPECT_EQ(int{kFileTypeArchive}, 6);
  EXPECT_EQ(int{kFileTypeEmail}, 7);
  EXPECT_EQ(int{kFileTypeOther}, 8);
}

TEST(FileTypeManager, InitialzeCopiesTheListsByFilterBit) {
  SetLists("doc", "jpg", "mov", "mp3", "zip", "eml");
  EXPECT_EQ(CFileTypeManager::GetTypeList(1), "doc");
  EXPECT_EQ(CFileTypeManager::GetTypeList(2), "jpg");
  EXPECT_EQ(CFileTypeManager::GetTypeList(4), "mov");
  EXPECT_EQ(CFileTypeManager::GetTypeList(8), "mp3");
  EXPECT_EQ(CFileTypeManager::GetTypeList(16), "zip");
  EXPECT_EQ(CFileTypeManager::GetTypeList(32), "eml");
  EXPECT_EQ(CFileTypeManager::GetTypeList(64), "");

  // A missing key leaves its list; unknown keys are ignored.
  CFileTypeManager::Initialze({{2, "png"}, {64, "xyz"}, {3, "abc"}, {-1, "neg"}});
  EXPECT_EQ(CFileTypeManager::GetTypeList(1), "doc");
  EXPECT_EQ(CFileTypeManager::GetTypeList(2), "png");
  EXPECT_EQ(CFileTypeManager::GetTypeList(8), "mp3");
  EXPECT_EQ(CFileTypeManager::GetTypeList(64), "");
}

TEST(FileTypeManager, EmptyManagerClassifiesEverythingAsOther) {
  SetLists("doc", "jpg", "mov", "mp3", "zip", "eml");
  CFileTypeManager m;  // not initialised
  EXPECT_EQ(m.GetFileTypeID("jpg"), kFileTypeOther);
  EXPECT_EQ(m.GetFileTypeID(nullptr), kFileTypeOther);
}

TEST(FileTypeManager, LookupsByExtension) {
  SetLists("doc;docx;pdf;txt", "jpg;png;gif", "mov;mp4", "mp3;m4a", "zip;gz;rar", "eml;pst");
  auto m = Loaded();
  const struct {
    const char* ext;
    FILE_TYPE_ID id;
  } cases[] = {
      {"doc", kFileTypeDocument}, {"DOCX", kFileTypeDocument}, {"Pdf", kFileTypeDocument}, {"jpg", kFileTypePicture},
      {"JPG", kFileTypePicture},  {"gif", kFileTypePicture},   {"mov", kFileTypeMovie},    {"MP4", kFileTypeMovie},
      {"mp3", kFileTypeMusic},    {"m4a", kFileTypeMusic},     {"zip", kFileTypeArchive},  {"gz", kFileTypeArchive},
      {"RAR", kFileTypeArchive},  {"eml", kFileTypeEmail},     {"PST", kFileTypeEmail},    {"xyz", kFileTypeOther},
      {"", kFileTypeOther},       {"jpgx", kFileTypeOther},    {"jp", kFileTypeOther},     {"tar.gz", kFileTypeOther},
      {"do c", kFileTypeOther},
  };
  for (const auto& c : cases) EXPECT_EQ(m->GetFileTypeID(c.ext), c.id) << '"' << c.ext << '"';
  EXPECT_EQ(m->GetFileTypeID(nullptr), kFileTypeOther);
}

TEST(FileTypeManager, TheFirstInsertedListWins) {
  // Insert order: pictures, music, movies, e-mail, archives, documents.
  SetLists("shared1;shared2;shared3;shared4;shared5;onlydoc",  // documents
           "shared1",                                          // pictures
           "shared2;shared3",                                  // movies
           "shared2",                                          // music
           "shared4;shared5",                                  // archives
           "shared4");                                         // e-mail
  auto m = Loaded();
  EXPECT_EQ(m->GetFileTypeID("shared1"), kFileTypePicture);
  EXPECT_EQ(m->GetFileTypeID("shared2"), kFileTypeMusic);    // music before movies
  EXPECT_EQ(m->GetFileTypeID("shared3"), kFileTypeMovie);    // movies before documents
  EXPECT_EQ(m->GetFileTypeID("shared4"), kFileTypeEmail);    // e-mail before archives
  EXPECT_EQ(m->GetFileTypeID("shared5"), kFileTypeArchive);  // archives before documents
  EXPECT_EQ(m->GetFileTypeID("onlydoc"), kFileTypeDocument);
}

TEST(FileTypeManager, Insert2TableCutsAtEverySemicolon) {
  SetLists("", "", "", "", "", "");
  auto m = Loaded();
  EXPECT_EQ(m->Insert2Table("", kFileTypePicture), 0);
  EXPECT_EQ(m->GetFileTypeID(""), kFileTypeOther);
  EXPECT_EQ(m->Insert2Table("jpg;;png", kFileTypePicture), 3);  // the empty piece too
  EXPECT_EQ(m->GetFileTypeID("png"), kFileTypePicture);
  EXPECT_EQ(m->GetFileTypeID(""), kFileTypePicture);
  EXPECT_EQ(m->Insert2Table(";", kFileTypeMusic), 2);
  EXPECT_EQ(m->GetFileTypeID(""), kFileTypePicture);  // first entry still wins
}

TEST(FileTypeManager, AListEndingInSemicolonInsertsTheEmptyExtension) {
  SetLists("", "jpg;", "", "", "", "");
  auto m = Loaded();
  EXPECT_EQ(m->GetFileTypeID(""), kFileTypePicture);
  EXPECT_EQ(m->GetFileTypeID("jpg"), kFileTypePicture);
}

TEST(FileTypeManager, ListsSetLaterDoNotReachALoadedTable) {
  SetLists("", "jpg", "", "", "", "");
  auto m = Loaded();
  SetLists("", "png", "", "", "", "");
  EXPECT_EQ(m->GetFileTypeID("jpg"), kFileTypePicture);
  EXPECT_EQ(m->GetFileTypeID("png"), kFileTypeOther);
  m->Initialize();  // a new load sees the new lists
  EXPECT_EQ(m->GetFileTypeID("jpg"), kFileTypeOther);
  EXPECT_EQ(m->GetFileTypeID("png"), kFileTypePicture);
}

TEST(FileTypeManager, AFullTableRefusesFurtherKeysSilently) {
  std::string many;
  for (int i = 0; i < 2048; ++i) {
    many += 'e';
    many += std::to_string(i);
    many += ';';
  }
  many += "last";  // key 2049
  SetLists("", many, "", "", "", "");
  auto m = Loaded();
  EXPECT_EQ(m->GetFileTypeID("e0"), kFileTypePicture);
  EXPECT_EQ(m->GetFileTypeID("e2047"), kFileTypePicture);
  EXPECT_EQ(m->GetFileTypeID("last"), kFileTypeOther);
}

std::set<std::string> Split(const std::string& list) {
  std::set<std::string> out;
  std::stringstream in(list);
  std::string piece;
  while (std::getline(in, piece, ';')) out.insert(piece);
  return out;
}

TEST(DefaultFileTypes, SixListsOfDistinctLowerCaseExtensions) {
  const auto lists = DefaultFileTypeLists();
  ASSERT_EQ(lists.size(), 6u);
  std::map<std::string, int> owner;
  for (int key : {1, 2, 4, 8, 16, 32}) {
    ASSERT_TRUE(lists.count(key)) << key;
    const std::string& text = lists.at(key);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), ';') << key;
    EXPECT_EQ(text.find(";;"), std::string::npos) << key;
    for (const std::string& ext : Split(text)) {
      EXPECT_FALSE(ext.empty()) << key;
      for (char c : ext) {
        EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)))
            << "'" << ext << "' in list " << key;
      }
      const auto [it, fresh] = owner.emplace(ext, key);
      EXPECT_TRUE(fresh) << ext << " is in lists " << it->second << " and " << key;
    }
  }
  EXPECT_LT(owner.size(), 2048u);  // fits the table
}

TEST(DefaultFileTypes, CommonExtensionsLandInTheirCategories) {
  CFileTypeManager::Initialze(DefaultFileTypeLists());
  auto m = Loaded();
  const struct {
    const char* ext;
    FILE_TYPE_ID id;
  } cases[] = {
      {"DOCX", kFileTypeDocument},  {"pdf", kFileTypeDocument}, {"xlsx", kFileTypeDocument},
      {"pages", kFileTypeDocument}, {"txt", kFileTypeDocument}, {"JPG", kFileTypePicture},
      {"heic", kFileTypePicture},   {"CR2", kFileTypePicture},  {"psd", kFileTypePicture},
      {"MOV", kFileTypeMovie},      {"mp4", kFileTypeMovie},    {"mkv", kFileTypeMovie},
      {"MP3", kFileTypeMusic},      {"flac", kFileTypeMusic},   {"m4a", kFileTypeMusic},
      {"ZIP", kFileTypeArchive},    {"gz", kFileTypeArchive},   {"7z", kFileTypeArchive},
      {"EMLX", kFileTypeEmail},     {"pst", kFileTypeEmail},    {"mbox", kFileTypeEmail},
      {"exe", kFileTypeOther},      {"dll", kFileTypeOther},    {"", kFileTypeOther},
  };
  for (const auto& c : cases) EXPECT_EQ(m->GetFileTypeID(c.ext), c.id) << c.ext;
}

}  // namespace
