#pragma once
// Writing small "PrivateData" property lists for the tests.

#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testplist {

using Entries = std::vector<std::pair<std::string, std::string>>;

struct Contents {
  Contents(Entries s = {}, const std::optional<std::string>& cur = std::nullopt, bool t = false, std::string extra = {})
      : supported(std::move(s)), current(cur), tovane(t), extraXml(std::move(extra)) {}
  Entries supported;                   // "SupportLanguage", in order
  std::optional<std::string> current;  // "CurLanguage"
  bool tovane = false;                 // "Tovane" present
  std::string extraXml;                // more key/value pairs, as XML
};

inline std::string Xml(const Contents& c) {
  std::string x =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n";
  x += "<key>PRODUCTNAME</key><string>Quarnel</string>\n";
  if (!c.supported.empty()) {
    x += "<key>SupportLanguage</key>\n<dict>\n";
    for (const auto& [name, code] : c.supported) x += "<key>" + name + "</key><string>" + code + "</string>\n";
    x += "</dict>\n";
  }
  if (c.current) x += "<key>CurLanguage</key><string>" + *c.current + "</string>\n";
  if (c.tovane) x += "<key>Tovane</key><true/>\n";
  x += c.extraXml;
  x += "</dict>\n</plist>\n";
  return x;
}

inline void Write(const std::string& path, const Contents& c) { std::ofstream(path, std::ios::binary) << Xml(c); }

}  // namespace testplist
