#include "fat/IniFile.h"

#include <cstring>

#include "core/util/Log.h"

int CIniFile::Init(const char* path) {
  m_path = path != nullptr ? path : "";
  return LoadFile();
}

int CIniFile::ReadLine(std::FILE* file, std::string& line) {
  char buffer[1024];
  if (file == nullptr || std::fgets(buffer, sizeof buffer, file) == nullptr) return -1;
  line.assign(buffer);
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return 0;
}

int CIniFile::LoadFile() {
  std::FILE* file = std::fopen(m_path.c_str(), "r");
  if (file == nullptr) return -1;
  std::string section;
  std::string line;
  while (ReadLine(file, line) == 0) {
    const auto open = line.find('[');
    if (open != std::string::npos) {
      const auto close = line.find(']');
      if (close == std::string::npos) {
        std::fclose(file);
        return -1;
      }
      section = close > open ? line.substr(open + 1, close - open - 1) : std::string();
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (section.empty()) {
      std::fclose(file);
      return -1;
    }
    m_sections[section][line.substr(0, equals)] = line.substr(equals + 1);
  }
  return std::fclose(file);
}

int CIniFile::ReadItem(const std::string& section, const std::string& key, std::string& value) const {
  const auto s = m_sections.find(section);
  if (s == m_sections.end()) return -1;
  const auto k = s->second.find(key);
  value = k != s->second.end() ? k->second : std::string();
  return value.empty() ? -1 : 0;
}

int CIniFile::WriteItem(const std::string& section, const std::string& key, const std::string& value) {
  const auto s = m_sections.find(section);
  if (s == m_sections.end()) return -1;
  const auto k = s->second.find(key);
  if (k == s->second.end()) return -1;
  k->second = value;
  return WriteFile();
}

std::string CIniFile::Text() const {
  std::string text;
  for (const auto& [name, keys] : m_sections) {
    text += "[" + name + "]\n";
    for (const auto& [key, value] : keys) text += key + "=" + value + "\n";
    text += "\n";
  }
  return text;
}

int CIniFile::WriteFile() const {
  std::FILE* file = std::fopen(m_path.c_str(), "w");
  if (file == nullptr) return -1;
  const std::string text = Text();
  std::fwrite(text.data(), 1, text.size(), file);
  return std::fclose(file);
}

void CIniFile::Dump() const {
  const std::string text = Text();
  std::fwrite(text.data(), 1, text.size(), stdout);
}

int CIniFile::TrimString(std::string& text) {
  if (text.empty()) return -1;
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) {
    text.clear();
    return -1;
  }
  const auto last = text.find_last_not_of(" \t");
  text = text.substr(first, last - first + 1);
  return 0;
}

bool ReadReviseSwitch() {
  char path[1024];
  std::snprintf(path, sizeof path, "%s/UIConfig.ini", GetAppWorkPath().c_str());
  CIniFile ini;
  ini.Init(path);
  std::string value;
  if (ini.ReadItem("UserExperience", "bRevise", value) != 0) return true;
  return value != "0";
}
