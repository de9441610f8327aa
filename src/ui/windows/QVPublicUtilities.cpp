#include "ui/windows/QVPublicUtilities.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimer>

#include <cstdio>
#include <mutex>

#include "launcher/PrivateData.h"
#include "launcher/QVAppDelegate.h"
#include "ui/bridge_qt/QtSettings.h"

namespace windows {
namespace {

struct Files {
  bool set = false;
  std::vector<std::string> shipped;
  std::string overlay;
};

std::mutex g_lock;
Files g_files;
QString g_probeUrl = QStringLiteral("https://www.debian.org/");

launcher::PrivateData loadPrivateData() {
  Files files;
  {
    std::lock_guard g(g_lock);
    files = g_files;
  }
  if (!files.set) {
    const launcher::LauncherSettings s = launcher::LauncherSettingsFromEnvironment();
    files.shipped = s.privateDataFiles;
    files.overlay = s.overlayFile;
  }
  return launcher::PrivateData::Load(files.shipped, files.overlay);
}

// Keys of "PrivateData" that hold dictionaries: read the language's links.
QString linkOf(const launcher::PrivateData& data, const QString& language, const QString& key) {
  for (const auto& [k, v] : data.StringEntries(language.toStdString()))
    if (k == key.toStdString()) return QString::fromStdString(v);
  return {};
}

}  // namespace

QString QVPublicUtilities::longlongDiskSize(std::int64_t bytes) {
  const double b = static_cast<double>(bytes);
  char text[64];
  if (b < 1000)
    std::snprintf(text, sizeof text, "%.0f byte", static_cast<double>(static_cast<float>(b)));
  else if (b < 1e6)
    std::snprintf(text, sizeof text, "%0.2f KB", static_cast<double>(static_cast<float>(b / 1e3)));
  else if (b < 1e9)
    std::snprintf(text, sizeof text, "%0.2f MB", static_cast<double>(static_cast<float>(b / 1e6)));
  else if (b < 1e12)
    std::snprintf(text, sizeof text, "%0.2f GB", static_cast<double>(static_cast<float>(b / 1e9)));
  else
    std::snprintf(text, sizeof text, "%0.2f TB", static_cast<double>(static_cast<float>(b / 1e12)));
  return QString::fromLatin1(text);
}

QString QVPublicUtilities::fileSystemTypeForInt(int code, int isDmg, int) {
  if (isDmg != 0) return QStringLiteral("Disk Image");
  static const char* const kNames[] = {"FAT12", "FAT16", "FAT32", "NTFS", "EXT2",   "EXT3",
                                       "RAW",   "EXFAT", "HFS+",  "APFS", "Unknown"};
  if (code < 0 || code >= static_cast<int>(std::size(kNames))) return QStringLiteral("Disk");
  return QString::fromLatin1(kNames[code]);
}

QString QVPublicUtilities::getProductName() { return privateString(QStringLiteral("PRODUCTNAME")); }

bool QVPublicUtilities::isTovaneVer() { return loadPrivateData().Has("Tovane"); }

QString QVPublicUtilities::getUpDataTimeStr() { return privateString(QStringLiteral("upDataTimeStr")); }

bool QVPublicUtilities::writeUpDataTimeStr(const QString& text) {
  launcher::PrivateData data = loadPrivateData();
  return data.SetString("upDataTimeStr", text.toStdString());
}

QString QVPublicUtilities::privateString(const QString& key) {
  const auto value = loadPrivateData().String(key.toStdString());
  return value ? QString::fromStdString(*value) : QString();
}

long long QVPublicUtilities::privateInteger(const QString& key) {
  return loadPrivateData().Integer(key.toStdString()).value_or(0);
}

std::vector<std::pair<QString, QString>> QVPublicUtilities::privateEntries(const QString& key) {
  std::vector<std::pair<QString, QString>> out;
  for (const auto& [k, v] : loadPrivateData().StringEntries(key.toStdString()))
    out.emplace_back(QString::fromStdString(k), QString::fromStdString(v));
  return out;
}

QStringList QVPublicUtilities::privateStrings(const QString& key) {
  QStringList out;
  for (const std::string& item : loadPrivateData().StringArray(key.toStdString()))
    out.append(QString::fromStdString(item));
  return out;
}

bool QVPublicUtilities::writePrivateString(const QString& key, const QString& value) {
  launcher::PrivateData data = loadPrivateData();
  return data.SetString(key.toStdString(), value.toStdString());
}

bool QVPublicUtilities::writePrivateStrings(const QString& key, const QStringList& values) {
  std::vector<std::string> items;
  items.reserve(static_cast<std::size_t>(values.size()));
  for (const QString& value : values) items.push_back(value.toStdString());
  launcher::PrivateData data = loadPrivateData();
  return data.SetStringArray(key.toStdString(), items);
}

void QVPublicUtilities::setPrivateDataFiles(const std::vector<std::string>& shipped, const std::string& overlay) {
  std::lock_guard g(g_lock);
  g_files = Files{true, shipped, overlay};
}

void QVPublicUtilities::resetPrivateDataFiles() {
  std::lock_guard g(g_lock);
  g_files = Files{};
}

void QVPublicUtilities::setNetworkProbeUrl(const QString& url) {
  std::lock_guard g(g_lock);
  g_probeUrl = url;
}

bool QVPublicUtilities::isCanBeUseNetWork() {
  QString url;
  {
    std::lock_guard g(g_lock);
    url = g_probeUrl;
  }
  QNetworkAccessManager manager;
  QNetworkRequest request{QUrl(url)};
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setTransferTimeout(5000);
  QNetworkReply* reply = manager.get(request);
  QEventLoop loop;
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  limit.start(5000);
  if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  const bool got = reply->isFinished() && reply->error() == QNetworkReply::NoError && reply->bytesAvailable() > 0;
  reply->abort();
  reply->deleteLater();
  return got;
}

bool QVPublicUtilities::parseVersion(const QString& text, int* major, int* minor, int* bugFix) {
  static const QRegularExpression re(QStringLiteral("^\\s*(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
  const QRegularExpressionMatch m = re.match(text);
  if (!m.hasMatch()) return false;
  const int parts[3] = {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
  if (major != nullptr) *major = parts[0];
  if (minor != nullptr) *minor = parts[1];
  if (bugFix != nullptr) *bugFix = parts[2];
  return true;
}

void QVPublicUtilities::getSystemVersionMajor(int* major, int* minor, int* bugFix) {
  // The distribution's release ("12", "22.04"), else the kernel's.
  if (parseVersion(QSysInfo::productVersion(), major, minor, bugFix)) return;
  if (parseVersion(QSysInfo::kernelVersion(), major, minor, bugFix)) return;
  std::fprintf(stderr, "Unable to obtain system version: %ld\n", -1L);
  if (major != nullptr) *major = 10;
  if (minor != nullptr) *minor = 0;
  if (bugFix != nullptr) *bugFix = 0;
}

int QVPublicUtilities::getSystemVersion() {
  int major = 0;
  int minor = 0;
  getSystemVersionMajor(&major, &minor, nullptr);
  const QString text =
      QString::number(major) + (minor > 9 ? QString::number(minor) : QStringLiteral("0") + QString::number(minor));
  return text.toInt();
}

QString QVLinkUrl::GetUrl(const QString& key) {
  const QStringList languages = bridge_qt::QtSettings().GetList(QStringLiteral("AppleLanguages"));
  const QString language = languages.isEmpty() ? QString() : languages.first();
  const launcher::PrivateData data = loadPrivateData();
  const QString fallback = linkOf(data, QStringLiteral("en"), key);
  const QString own = language.isEmpty() ? QString() : linkOf(data, language, key);
  return own.isEmpty() ? fallback : own;
}

}  // namespace windows
