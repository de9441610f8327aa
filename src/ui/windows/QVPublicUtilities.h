#pragma once
// Stateless helpers of the windows: size texts, file-system names, the
// "PrivateData" property list (shipped file plus the user's overlay), the
// network probe, the system version, and web links by the user's language.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace windows {

class QVPublicUtilities {
 public:
  // "999 byte", "1.00 KB", ... "1.00 TB" (steps of 1000).
  static QString longlongDiskSize(std::int64_t bytes);
  static QString longlongConvertVolSpace(std::int64_t bytes) { return longlongDiskSize(bytes); }
  static QString fileSystemTypeForInt(int code, int isDmg, int isQdi);

  static QString getProductName();  // "" when unknown
  static bool isTovaneVer();
  static QString getUpDataTimeStr();
  static bool writeUpDataTimeStr(const QString& text);

  // One request for a public home page, at most 5 s; true when any data came.
  static bool isCanBeUseNetWork();
  static void setNetworkProbeUrl(const QString& url);

  static void getSystemVersionMajor(int* major, int* minor, int* bugFix);
  // major x 100 + minor.
  static int getSystemVersion();
  // Reads "major.minor.bugfix" (missing parts 0); false when no number leads.
  static bool parseVersion(const QString& text, int* major, int* minor, int* bugFix);

  // Where "PrivateData" is read from (first existing shipped file) and
  // written to (the overlay). Defaults: beside the programs and in the
  // user's configuration folder.
  static void setPrivateDataFiles(const std::vector<std::string>& shipped, const std::string& overlay);
  static void resetPrivateDataFiles();
  // A string of "PrivateData"; "" when missing.
  static QString privateString(const QString& key);
  // A whole number of "PrivateData" (integer or leading digits of a string); 0 when missing.
  static long long privateInteger(const QString& key);
  // The string entries of a dictionary of "PrivateData".
  static std::vector<std::pair<QString, QString>> privateEntries(const QString& key);
  // The strings of an array of "PrivateData".
  static QStringList privateStrings(const QString& key);
  // Write into the user's overlay of "PrivateData" (read, changed and
  // written back whole); false when it could not be written.
  static bool writePrivateString(const QString& key, const QString& value);
  static bool writePrivateStrings(const QString& key, const QStringList& values);
};

class QVLinkUrl {
 public:
  // The link of a key in the user's language ("AppleLanguages"), else in
  // English; "" when neither has it.
  static QString GetUrl(const QString& key);
};

}  // namespace windows
