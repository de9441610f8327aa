#pragma once
// Default extension lists per category, for the engine bridge to pass to
// CFileTypeManager::Initialze until the user-interface side reads its own
// "FileType" lists. Keys are the filter bits 1 (documents), 2 (pictures),
// 4 (movies), 8 (music), 16 (archives) and 32 (e-mail); each value is a
// ";"-separated list of lower-case extensions without dots. No extension is
// in two lists, so the engine's table (first list wins) and a display table
// (last list wins) agree.

#include <map>
#include <string>

std::map<int, std::string> DefaultFileTypeLists();
