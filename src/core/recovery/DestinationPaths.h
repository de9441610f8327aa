#pragma once
// Path text of recovered files: a path's folder and whether a folder lies
// below the recovery root, as lexical work (nothing is looked up on disk).

#include <string>

namespace destination_paths {

// The folder of `path` after lexical normalisation ("a/b/" counts as "a/b"):
// "a/b/c" -> "a/b", "/a" -> "/", "a" -> "".
std::string Parent(const std::string& path);

// A recovery root, for repeated below-tests.
class Root {
 public:
  explicit Root(const std::string& root);
  // True when `dir` lies strictly below the root (after normalising both).
  bool IsBelow(const std::string& dir) const;

 private:
  std::string m_root;
  std::string m_plain;  // the root without trailing slashes when it is plain, else ""
};

}  // namespace destination_paths
