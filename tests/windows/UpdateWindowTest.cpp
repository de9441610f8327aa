// The update window against a version list served from 127.0.0.1: the same
// build number, a newer one with its feature lines, a closed port, and
// lists that are not what they should be.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <fstream>
#include <functional>
#include <memory>

#include "support/EventLoop.h"
#include "support/TempDir.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/QVCheckUpdateWindowController.h"
#include "ui/windows/QVPublicUtilities.h"
#include "ui/windows/UpdateList.h"

namespace {

using windows::QVCheckUpdateWindowController;
using State = QVCheckUpdateWindowController::State;

// Answers every request with one fixed HTTP response.
class ListServer : public QObject {
 public:
  explicit ListServer(QByteArray response) : response_(std::move(response)) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          request_ += socket->readAll();
          if (request_.contains("\r\n\r\n")) {
            socket->write(response_);
            socket->disconnectFromHost();
          }
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }
  void close() { server_.close(); }
  const QByteArray& request() const { return request_; }

 private:
  QTcpServer server_;
  QByteArray response_;
  QByteArray request_;
};

QByteArray http(const QByteArray& body, const QByteArray& status = "200 OK") {
  return "HTTP/1.1 " + status +
         "\r\nContent-Type: application/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray plist(const QByteArray& entries) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + entries + "</dict></plist>\n";
}

// "PrivateData" with the local build number and the list's address.
class LocalPrivateData {
 public:
  LocalPrivateData(int versionCheck, quint16 port) {
    const std::string shipped = dir_.File("PrivateData.plist");
    std::ofstream(shipped) << plist("<key>VersionCheck</key><integer>" + QByteArray::number(versionCheck) +
                                    "</integer><key>en</key><dict><key>IniURL</key><string>http://127.0.0.1:" +
                                    QByteArray::number(port) +
                                    "/versions.plist</string><key>ProUpdateURL</key>"
                                    "<string>https://quarnel.example/download</string></dict>")
                                  .toStdString();
    windows::QVPublicUtilities::setPrivateDataFiles({shipped}, dir_.File("overlay.plist"));
  }
  ~LocalPrivateData() { windows::QVPublicUtilities::resetPrivateDataFiles(); }

 private:
  testsupport::TempDir dir_;
};

bool waitFor(const std::function<bool()>& done, int ms = 10000) { return testsupport::RunEventsUntil(done, ms); }

State check(const QByteArray& response, std::unique_ptr<QVCheckUpdateWindowController>& window,
            bool closePort = false) {
  ListServer server(response);
  LocalPrivateData local(120, server.port());
  if (closePort) server.close();
  window = std::make_unique<QVCheckUpdateWindowController>();
  window->show();
  EXPECT_TRUE(waitFor([&] { return window->checked(); }));
  if (!closePort) {
    EXPECT_TRUE(server.request().startsWith("GET /versions.plist HTTP/1.1\r\n"));
  }
  return window->state();
}

TEST(UpdateWindow, SameVersionIsUpToDate) {
  std::unique_ptr<QVCheckUpdateWindowController> window;
  EXPECT_EQ(
      check(http(plist("<key>VersionCheck</key><integer>120</integer><key>Version</key><string>2.0</string>")), window),
      State::UpToDate);
  EXPECT_TRUE(window->stateView(State::UpToDate)->isVisible());
  EXPECT_FALSE(window->stateView(State::Checking)->isVisible());
}

TEST(UpdateWindow, HigherVersionListsItsFeatures) {
  std::unique_ptr<QVCheckUpdateWindowController> window;
  const QByteArray list = plist(
      "<key>VersionCheck</key><string>121</string><key>Version</key><string>2.1</string>"
      "<key>1</key><string>Faster scans</string><key>2</key><string>exFAT repair</string>"
      "<key>3</key><string>New icons</string>");
  ASSERT_EQ(check(http(list), window), State::HaveUpdate);
  EXPECT_TRUE(window->stateView(State::HaveUpdate)->isVisible());
  EXPECT_EQ(window->titleLable()->text(), QStringLiteral("Quarnel 2.1 has been released."));
  EXPECT_EQ(window->versionLabel()->text(), QStringLiteral("New features of Version 2.1:"));
  // Three short lines: 3 x 30 raised to 99; rows 25 high from the top.
  EXPECT_EQ(window->showVersionScrollView()->geometry(), QRect(0, 0, 430, 99));
  const int tops[] = {0, 25, 50};
  for (int i = 1; i <= 3; ++i) {
    auto* row = window->showVersionScrollView()->findChild<QLabel*>(QStringLiteral("featureLine%1").arg(i));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->geometry(), QRect(0, tops[i - 1], 380, 25));
  }
  EXPECT_TRUE(window->showVersionScrollView()
                  ->findChild<QLabel*>(QStringLiteral("featureLine2"))
                  ->text()
                  .startsWith(QStringLiteral("2.exFAT")));
  // The download button opens the download link.
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  ListServer again(http(list));
  LocalPrivateData local(120, again.port());
  QTest::mouseClick(window->downloadButton(), Qt::LeftButton);
  ASSERT_EQ(runner.openedUrls.size(), 1u);
  EXPECT_EQ(runner.openedUrls.front(), QUrl(QStringLiteral("https://quarnel.example/download")));
}

TEST(UpdateWindow, LongLineGetsATallerRow) {
  std::unique_ptr<QVCheckUpdateWindowController> window;
  QByteArray words;
  for (int i = 0; i < 40; ++i) words += "recovery ";
  ASSERT_EQ(check(http(plist("<key>VersionCheck</key><integer>200</integer><key>Version</key><string>3</string>"
                             "<key>1</key><string>" +
                             words + "</string><key>2</key><string>short</string>")),
                  window),
            State::HaveUpdate);
  auto* first = window->showVersionScrollView()->findChild<QLabel*>(QStringLiteral("featureLine1"));
  auto* second = window->showVersionScrollView()->findChild<QLabel*>(QStringLiteral("featureLine2"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_GT(first->height(), 25);
  EXPECT_EQ(second->y(), first->y() + first->height());
  EXPECT_GE(window->showVersionScrollView()->height(), second->y() + second->height());
}

TEST(UpdateWindow, ClosedPortIsNoNetwork) {
  std::unique_ptr<QVCheckUpdateWindowController> window;
  EXPECT_EQ(check(QByteArray(), window, true), State::NoNetwork);
  EXPECT_TRUE(window->stateView(State::NoNetwork)->isVisible());
}

TEST(UpdateWindow, MalformedListsAreUpToDateWithoutCrash) {
  const std::vector<QByteArray> responses = {
      http("this is not a property list <<<"),
      http(plist("<key>VersionCheck</key><array><integer>500</integer></array>")),
      http("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>999</integer></array></plist>"),
      http(plist("<key>VersionCheck</key><integer>999</integer>"), "404 Not Found"),
      http(QByteArray("bplist00\xff\xff\xff", 11)),
      http(QByteArray()),
  };
  for (const QByteArray& response : responses) {
    std::unique_ptr<QVCheckUpdateWindowController> window;
    EXPECT_EQ(check(response, window), State::UpToDate) << response.left(80).toStdString();
  }
  // Numbered keys missing or odd: rows only for the numbers present.
  std::unique_ptr<QVCheckUpdateWindowController> window;
  ASSERT_EQ(check(http(plist("<key>VersionCheck</key><integer>130</integer><key>2</key><string>two</string>"
                             "<key>x</key><dict/>")),
                  window),
            State::HaveUpdate);
  EXPECT_EQ(window->showVersionScrollView()->findChildren<QLabel*>().size(), 1);
}

TEST(UpdateWindow, CloseButtonTellsTheDelegateOnce) {
  ui::ScriptedModalRunner runner;
  ui::ScopedModalRunner scoped(runner);
  std::unique_ptr<QVCheckUpdateWindowController> window;
  check(http(plist("<key>VersionCheck</key><integer>1</integer>")), window);
  int opened = 0;
  window->setDelegate([&] { ++opened; });
  QTest::mouseClick(window->closeButton(), Qt::LeftButton);
  EXPECT_EQ(opened, 1);
  EXPECT_FALSE(window->isVisible());
}

TEST(UpdateList, ReadsNumbersFromIntegersAndText) {
  struct Case {
    QByteArray entries;
    long long versionCheck;
  };
  const std::vector<Case> cases = {
      {"<key>VersionCheck</key><integer>7</integer>", 7},
      {"<key>VersionCheck</key><string>12 beta</string>", 12},
      {"<key>VersionCheck</key><string>beta</string>", 0},
      {"<key>VersionCheck</key><real>3.9</real>", 3},
      {"", 0},
  };
  for (const Case& c : cases) {
    const auto list = windows::ParseUpdateList(plist(c.entries));
    ASSERT_TRUE(list.has_value()) << c.entries.toStdString();
    EXPECT_EQ(list->versionCheck, c.versionCheck) << c.entries.toStdString();
  }
  EXPECT_FALSE(windows::ParseUpdateList(QByteArray(windows::kMaxUpdateListBytes + 1, ' ')).has_value());
}

}  // namespace
