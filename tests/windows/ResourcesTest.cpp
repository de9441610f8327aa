// Every image the windows name is a resource that draws, and the English
// strings table has every key the windows look up, with the placeholders
// each format key is used with.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "ui/toolkit/ImageStore.h"
#include "ui/toolkit/Strings.h"

namespace {

QStringList stateNames(const QStringList& bases) {
  QStringList out;
  for (const QString& b : bases)
    for (const char* s : {"_normal", "_press", "_hover", "_disable"}) out << b + QLatin1String(s);
  return out;
}

TEST(Resources, EveryNamedImageDraws) {
  QStringList names =
      stateNames({QStringLiteral("back"), QStringLiteral("continue"), QStringLiteral("next"), QStringLiteral("scan"),
                  QStringLiteral("pause"), QStringLiteral("play"), QStringLiteral("stop"), QStringLiteral("btn_ds"),
                  QStringLiteral("btn_recover"), QStringLiteral("btn_scan"), QStringLiteral("icon_back"),
                  QStringLiteral("icon_export"), QStringLiteral("icon_home")});
  for (const char* k : {"doc", "photo", "video", "audio", "Archive", "folder"})
    names << QStringLiteral("icon_%1_no").arg(QLatin1String(k)) << QStringLiteral("icon_%1_yes").arg(QLatin1String(k));
  for (int i = 0; i <= 11; ++i) names << QStringLiteral("%1IconImage").arg(i);
  for (const char* n : {"checkbox_no",
                        "checkbox_half",
                        "checkbox_yes",
                        "pf_checkbox_no",
                        "pf_checkbox_half",
                        "pf_checkbox_yes",
                        "radio_button_no",
                        "radio_button_yes",
                        "icon_import",
                        "icon_import_hover",
                        "icon_infor",
                        "icon_infor_hover",
                        "icon_disk",
                        "icon_disk_osx",
                        "icon_usb",
                        "icon_mirror",
                        "icon_desktop",
                        "select_disk",
                        "deletered",
                        "warning",
                        "warning_b",
                        "arrow",
                        "logo",
                        "loading",
                        "bg_150",
                        "bg_tab",
                        "text_bg",
                        "view_bg_normal",
                        "view_bg_press",
                        "BackgroundDust",
                        "del_normal",
                        "del_press"})
    names << QLatin1String(n);
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_TRUE(ui::ImageStore::contains(name));
    const QImage image = ui::ImageStore::image(name);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 0);
  }
}

QJsonObject englishTable() {
  ui::ImageStore::contains(QString());
  QFile file(QStringLiteral(":/i18n/en.json"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  return doc.object();
}

TEST(Resources, EnglishTableHasEveryKeyTheWindowsUse) {
  const QJsonObject table = englishTable();
  const char* const keys[] = {"WINDOW_TOP_TITLE",
                              "COMM_BACK_BUTTON",
                              "DEVICE_NAME_UNTITILED",
                              "CREATE_TIME_ROOT_NAME",
                              "MODIFY_TIME_ROOT_NAME",
                              "USB Bus",
                              "USB 2.0 Bus",
                              "MENU_ABOUT_NAME",
                              "MENU_CHECK_UPDTE",
                              "MENU_PARTICIPATE",
                              "MENU_HIDEN_SELF",
                              "MENU_HIDEN_OTHER",
                              "MENU_SHOW_ALL",
                              "MENU_EXIT",
                              "MENU_WINDOW",
                              "MENU_MINIMIZE",
                              "MENU_MAXIMIZE",
                              "MENU_HELP",
                              "MENU_ONLINE_HELP",
                              "MENU_SUPPORT_CENTER",
                              "NQT_TWO_IMPORT_BUTTON",
                              "NQT_TWO_CONTINUE_BUTTON",
                              "NQT_TWO_DOCUMENT_TITLE",
                              "NQT_TWO_DOCUMENT_DISCRIPTION",
                              "NQT_TWO_PICTURE_TITLE",
                              "NQT_TWO_PICTURE_DISCRIPTION",
                              "NQT_TWO_MOVIE_TITLE",
                              "NQT_TWO_MOVIE_DISCRIPTION",
                              "NQT_TWO_MUSIC_TITLE",
                              "NQT_TWO_MUSIC_DISCRIPTION",
                              "NQT_TWO_ARCHIVES_TITLE",
                              "NQT_TWO_ARCHIVES_DISCRIPTION",
                              "NQT_TWO_EMAIL_TITLE",
                              "NQT_TWO_EMAIL_DISCRIPTION",
                              "NQT_TWO_OTHER_TITLE",
                              "NQT_TWO_OTHER_DISCRIPTION",
                              "NQT_THREE_SCAN_BUTTON",
                              "NQT_THREE_TABLEVIEW_DRIVES",
                              "NQT_THREE_TABLEVIEW_SIZE",
                              "NQT_THREE_TABLEVIEW_FILESYSTEM",
                              "NQT_FOUR_TABLEVIEW_NAME",
                              "NQT_FOUR_TABLEVIEW_SIZE",
                              "NQT_FOUR_TABLEVIEW_CREATED",
                              "NQT_FOUR_TABLEVIEW_PATH",
                              "NQT_FOUR_SELECT_TYPE_BUTTON_PATH",
                              "NQT_FOUR_SELECT_TYPE_BUTTON_TYPE",
                              "NQT_FOUR_SELECT_TYPE_BUTTON_TIME",
                              "NQT_FOUR_FILESFOUND",
                              "NQT_FOUR_REMAININGTIME",
                              "NQT_FOUR_ALL_FILES_SIZE",
                              "NQT_FOUR_SELECT_FILES",
                              "NQT_FOUR_NO_VALUE_NOTE",
                              "NQT_FOUR_DEEPSCAN_NODE",
                              "NQT_FOUR_SAVE_BUTTON_TIP",
                              "NQT_FOUR_RECOVERY_WINDOW_SAVE_BUTTON",
                              "NQT_FOUR_RECOVERY_NODE",
                              "NQT_FOUR_RECOVER_PROGRESS_TITLE",
                              "NQT_FOUR_RECOVERY_STOP_BUTTON",
                              "NQT_FOUR_RECOVERY_STOP_TITLE",
                              "NQT_FOUR_RECOVERY_STOP_NODE",
                              "NQT_FOUR_RECOVERY_STOP_YES_BUTTON",
                              "NQT_FOUR_RECOVERY_STOP_NO_BUTTON",
                              "NQT_FOUR_RECOVERY_NO_SPACE_TITLE",
                              "NQT_FOUR_RECOVERY_NO_SPACE_NODE",
                              "NQT_FOUR_RECOVERY_NO_SPACE_NO_BUTTON",
                              "NQT_FOUR_RECOVERY_NO_SPACE_YES_BUTTON",
                              "NQT_FOUR_RECOVERY_NO_COMPETENCE_TITLE",
                              "NQT_FOUR_RECOVERY_NO_COMPETENCE_NODE",
                              "NQT_FOUR_RECOVERY_NO_COMPETENCE_YES_BUTTON",
                              "NQT_FOUR_RECOVER_END_TITLE",
                              "NQT_FOUR_RECOVER_END_NODE",
                              "NQT_FOUR_RECOVER_NOTEND_NODE",
                              "NQT_FOUR_SAVE_SAME_PATH_TITLE",
                              "NQT_FOUR_SAVE_SAME_PATH_NODE",
                              "NQT_FOUR_SAVE_SAME_PATH_YES_BUTTON",
                              "NQT_FOUR_SAVE_SAME_PATH_NO_BUTTON",
                              "NQT_FOUR_SCAN_STOP_TITLE",
                              "NQT_FOUR_SCAN_STOP_NODE",
                              "NQT_FOUR_SCAN_STOP_YES_BUTTON",
                              "NQT_FOUR_SCAN_STOP_NO_BUTTON",
                              "NQT_FOUR_DEEPSCAN_REFUSED_TITLE",
                              "NQT_FOUR_DEEPSCAN_REFUSED_NODE",
                              "NQT_FOUR_SCAN_BACKHOME_TITLE",
                              "NQT_FOUR_SCAN_BACKHOME_NODE",
                              "NQT_FOUR_SCAN_BACKHOME_YES_BUTTON",
                              "NQT_FOUR_SCAN_BACKHOME_NO_BUTTON",
                              "NQT_FOUR_HOME_SAVE_TITLE",
                              "NQT_FOUR_HOME_SAVE_YES_BUTTON",
                              "NQT_FOUR_HOME_SAVE_STAY_BUTTON",
                              "NQT_FOUR_HOME_SAVE_NO_BUTTON",
                              "SEARCH_MENU",
                              "RECENT_SEARCH",
                              "NO_RECENT_SEARCH",
                              "RECENTS",
                              "CLEAR",
                              "CHANG_DESTINATION",
                              "SAVE_SCAN_TIP",
                              "SAVE_SCAN_RESULT",
                              "SAVE_RESULT_WAIT",
                              "SAVE_SAME_DISK_WARNING",
                              "SAVE_SAME_DISK_PROMPT",
                              "SAVE_CANNOT_WRITE",
                              "LOAD_SCAN_RESULT",
                              "LOAD_RESULT_WAIT",
                              "READ_RSF_FAILED"};
  for (const char* key : keys) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(table.contains(QLatin1String(key)));
    EXPECT_FALSE(table.value(QLatin1String(key)).toString().isEmpty());
  }
}

// Formats use numbered placeholders (filled with QString::arg), never
// printf conversions, so a translation can never crash the program.
TEST(Resources, FormatKeysHoldExactlyTheirPlaceholders) {
  const QJsonObject table = englishTable();
  const std::map<QString, int> formats = {
      {QStringLiteral("NQT_FOUR_FILESFOUND"), 1},
      {QStringLiteral("NQT_FOUR_REMAININGTIME"), 1},
      {QStringLiteral("NQT_FOUR_ALL_FILES_SIZE"), 2},
      {QStringLiteral("NQT_FOUR_SELECT_FILES"), 2},
      {QStringLiteral("NQT_FOUR_RECOVER_NOTEND_NODE"), 1},
      {QStringLiteral("NQT_FOUR_RECOVER_END_PARTIAL"), 2},
      {QStringLiteral("MENU_ABOUT_NAME"), 1},
      {QStringLiteral("ABOUT_VERSION"), 1},
  };
  static const QRegularExpression numbered(QStringLiteral("%(\\d)"));
  static const QRegularExpression printfLike(QStringLiteral("%(?![1-9])[-+ #0-9.]*[a-zA-Z@]"));
  for (auto it = table.begin(); it != table.end(); ++it) {
    const QString text = it.value().toString();
    SCOPED_TRACE(it.key().toStdString());
    EXPECT_FALSE(printfLike.match(text).hasMatch()) << text.toStdString();
    std::set<int> seen;
    for (auto m = numbered.globalMatch(text); m.hasNext();) seen.insert(m.next().captured(1).toInt());
    const auto f = formats.find(it.key());
    const int expected = f == formats.end() ? 0 : f->second;
    std::set<int> want;
    for (int i = 1; i <= expected; ++i) want.insert(i);
    EXPECT_EQ(seen, want);
  }
}

}  // namespace
