// The toolkit tests run offscreen with settings in a folder of their own.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings go to a private folder of this run.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("QuarnelTest"));
  QApplication::setApplicationName(QStringLiteral("ui-tests"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
