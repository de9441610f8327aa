#pragma once
// A small INI-style settings file held in memory: sections of key/value
// pairs, names compared byte for byte, nothing trimmed.

#include <cstdio>
#include <map>
#include <string>

class CIniFile {
 public:
  CIniFile() = default;
  explicit CIniFile(const char* path) : m_path(path != nullptr ? path : "") {}
  explicit CIniFile(const std::string& path) : m_path(path) {}

  // 0 on success, -1 on failure.
  int Init(const char* path);
  int Init(const std::string& path) { return Init(path.c_str()); }
  int Init() { return LoadFile(); }
  // Adds the file's sections to those in memory.
  int LoadFile();
  // -1 without the section (value unchanged) or for an empty value.
  int ReadItem(const std::string& section, const std::string& key, std::string& value) const;
  // Changes an existing key and writes the whole file.
  int WriteItem(const std::string& section, const std::string& key, const std::string& value);
  int WriteFile() const;
  void Dump() const;
  // The next line without its line feed, at most 1023 bytes; -1 at the end.
  static int ReadLine(std::FILE* file, std::string& line);
  static int TrimString(std::string& text);

 private:
  std::string Text() const;

  std::string m_path;
  std::map<std::string, std::map<std::string, std::string>> m_sections;
};

// The FAT32 builder's revision switch: [UserExperience] bRevise of
// UIConfig.ini in the work folder; on unless the value is "0".
bool ReadReviseSwitch();
