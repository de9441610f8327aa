#pragma once
// Document properties read from carved office and PDF files: eight texts in
// a fixed order; each reader says which slot holds what.

#include <string>

struct FileProperty {
  std::string m_str[8];

  std::string& operator[](int i) { return m_str[i & 7]; }
  const std::string& operator[](int i) const { return m_str[i & 7]; }
};
