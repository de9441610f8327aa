#pragma once
// The main application's "PrivateData" property list as the launcher sees
// it: a read-only file shipped with the program, overlaid by the user's own
// file, which is the only one ever written.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace launcher {

class PrivateData {
 public:
  PrivateData();
  ~PrivateData();
  PrivateData(PrivateData&&) noexcept;
  PrivateData& operator=(PrivateData&&) noexcept;

  // Reads the first existing file of `shipped` and the user's `overlay`
  // (either may be missing).
  static PrivateData Load(const std::vector<std::string>& shipped, const std::string& overlay);

  bool Has(const std::string& key) const;
  // The value of `key` when it is a string.
  std::optional<std::string> String(const std::string& key) const;
  // The value of `key` as a whole number: an integer, or the leading digits
  // of a string ("12", "7 beta"); none for other kinds or no digits.
  std::optional<long long> Integer(const std::string& key) const;
  // The leading whole number of a text (blanks and a sign allowed before it).
  static std::optional<long long> LeadingInteger(const std::string& text);
  // The entries of the dictionary `key` whose values are strings, in file order.
  std::vector<std::pair<std::string, std::string>> StringEntries(const std::string& key) const;
  // The string items of the array `key`, in order; empty for other kinds.
  std::vector<std::string> StringArray(const std::string& key) const;

  // Sets a string in the overlay and writes the overlay file atomically.
  // False when it cannot be written, or when an existing overlay could not
  // be read (it is then left as it is).
  bool SetString(const std::string& key, const std::string& value);
  // Sets an array of strings in the overlay, written the same way.
  bool SetStringArray(const std::string& key, const std::vector<std::string>& values);

  const std::string& OverlayPath() const { return m_overlayPath; }

 private:
  struct Dict;
  const void* Lookup(const std::string& key) const;
  // Stores `value` (taken over) under `key` in a copy of the overlay and
  // writes it; the overlay changes only when the file was written.
  bool SetItem(const std::string& key, void* value);

  std::unique_ptr<Dict> m_shipped;
  std::unique_ptr<Dict> m_overlay;
  std::string m_overlayPath;
  bool m_overlayUnreadable = false;
};

}  // namespace launcher
