#pragma once
// Extension-to-category table. The six extension lists are
// process-wide; the user-interface side hands them over once at start-up
// through `Initialze`, before the first `CreateFilter()`. Each manager loads
// its own hash table from the lists as they are when its `Initialize()` runs.

#include <map>
#include <string>
#include <string_view>

#include "core/filetype/FileTypeId.h"
#include "core/filetype/KeHashTable.h"

class CFileTypeManager {
 public:
  using Table = CKeHashTable<FILE_TYPE_ID, 2048u>;

  // An empty table: every lookup answers 8 until Initialize() runs.
  CFileTypeManager() = default;
  CFileTypeManager(const CFileTypeManager&) = delete;
  CFileTypeManager& operator=(const CFileTypeManager&) = delete;

  // Copies the lists from a map keyed by filter bit: 1 documents, 2
  // pictures, 4 movies, 8 music, 16 archives, 32 e-mail. A key missing from
  // the map leaves its list as it was; other keys are ignored. Each list
  // holds extensions without dots separated by ";". Safe to call from any
  // thread; managers already initialised keep their tables.
  static void Initialze(const std::map<int, std::string>& lists);

  // The current process-wide list of one filter bit (1 ... 32); empty for
  // any other bit or a list never set.
  static std::string GetTypeList(unsigned filterBit);

  // Zeroes the table and its crypt table, builds the crypt table, then
  // inserts the lists in the order pictures (3), music (4), movies (5),
  // e-mail (7), archives (6), documents (2): an extension in two lists
  // belongs to the one inserted first.
  void Initialize();

  // Cuts the list at every ";" and inserts every piece, empty pieces
  // included, with the id; an empty list inserts nothing. Answers the number
  // of keys inserted (a full table refuses further keys silently).
  int Insert2Table(std::string_view list, FILE_TYPE_ID id);

  // 8 for a null extension or one that is not in the table; else its id.
  // Case-insensitive; the extension is given without its dot.
  FILE_TYPE_ID GetFileTypeID(const char* extension) const;

  const Table& GetTable() const { return m_table; }

 private:
  Table m_table;
};
