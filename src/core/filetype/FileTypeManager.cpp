#include "core/filetype/FileTypeManager.h"

#include <mutex>

namespace {

// The process-wide lists, under one lock: `Initialze` may run
// on the user-interface thread while a scan thread loads a table.
struct TypeLists {
  std::mutex lock;
  std::string strDocument;
  std::string strPics;
  std::string strMovies;
  std::string strMusic;
  std::string strArchives;
  std::string strEmail;

  std::string* ByFilterBit(unsigned bit) {
    switch (bit) {
      case kFilterDocument:
        return &strDocument;
      case kFilterPicture:
        return &strPics;
      case kFilterMovie:
        return &strMovies;
      case kFilterMusic:
        return &strMusic;
      case kFilterArchive:
        return &strArchives;
      case kFilterEmail:
        return &strEmail;
      default:
        return nullptr;
    }
  }
};

TypeLists& Lists() {
  static TypeLists lists;
  return lists;
}

}  // namespace

void CFileTypeManager::Initialze(const std::map<int, std::string>& lists) {
  TypeLists& l = Lists();
  std::lock_guard<std::mutex> guard(l.lock);
  for (const auto& [key, text] : lists) {
    if (key <= 0) continue;
    if (std::string* target = l.ByFilterBit(static_cast<unsigned>(key))) *target = text;
  }
}

std::string CFileTypeManager::GetTypeList(unsigned filterBit) {
  TypeLists& l = Lists();
  std::lock_guard<std::mutex> guard(l.lock);
  const std::string* list = l.ByFilterBit(filterBit);
  return list != nullptr ? *list : std::string();
}

void CFileTypeManager::Initialize() {
  m_table.Clear();
  m_table.InitliazeCryptTable();

  std::string pics, music, movies, email, archives, documents;
  {
    TypeLists& l = Lists();
    std::lock_guard<std::mutex> guard(l.lock);
    pics = l.strPics;
    music = l.strMusic;
    movies = l.strMovies;
    email = l.strEmail;
    archives = l.strArchives;
    documents = l.strDocument;
  }
  Insert2Table(pics, kFileTypePicture);
  Insert2Table(music, kFileTypeMusic);
  Insert2Table(movies, kFileTypeMovie);
  Insert2Table(email, kFileTypeEmail);
  Insert2Table(archives, kFileTypeArchive);
  Insert2Table(documents, kFileTypeDocument);
}

int CFileTypeManager::Insert2Table(std::string_view list, FILE_TYPE_ID id) {
  if (list.empty()) return 0;
  int inserted = 0;
  std::size_t begin = 0;
  while (true) {
    const std::size_t end = list.find(';', begin);
    const std::string_view piece =
        list.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
    inserted += m_table.InsertNode(piece, id);
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  return inserted;
}

FILE_TYPE_ID CFileTypeManager::GetFileTypeID(const char* extension) const {
  FILE_TYPE_ID id = kFileTypeOther;
  if (extension == nullptr || m_table.FindNode(extension, id) == 0) return kFileTypeOther;
  return id;
}
