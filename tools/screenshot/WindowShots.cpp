// Opens the main window's pages and the shell's dialogs one after another
// and saves each as a PNG (scripts/screenshots.sh runs it under a virtual
// display):
//   category.png     the category page as the program opens it
//   disk-image.png   the disk page after "Open image…" with IMAGE, its volume chosen
//   apfs-notice.png  the notice for a row that cannot be opened
//   update.png       the update window reporting a newer version
//   update-none.png  the update window when the server cannot be reached
// Usage: quarnel_window_shots OUTDIR IMAGE

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>

#include "Shots.h"
#include "app/shell/QVAppDelegate.h"
#include "bridge/QVUIController.h"
#include "ui/bridge_qt/QtBridge.h"
#include "ui/toolkit/Modal.h"
#include "ui/windows/APFSScanWindowController.h"
#include "ui/windows/DialogFrame.h"
#include "ui/windows/QVCheckUpdateWindowController.h"
#include "ui/windows/QVPublicUtilities.h"
#include "ui/windows/QVRootWindowController.h"

namespace {

bool save(QWidget* window, const QString& dir, const QString& name) {
  shots::Wait(400);
  const QString path = dir + QLatin1Char('/') + name;
  const bool ok = window->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

void centre(QWidget& w) {
  if (QScreen* screen = QGuiApplication::primaryScreen())
    w.move(screen->availableGeometry().center() - w.rect().center());
}

// Serves one version list to every request.
class ListServer : public QObject {
 public:
  explicit ListServer(const QByteArray& body) {
    const QByteArray response =
        "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this, response] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        connect(s, &QTcpSocket::readyRead, s, [s, response] {
          s->readAll();
          s->write(response);
          s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }

 private:
  QTcpServer server_;
};

void privateData(const QTemporaryDir& dir, const QString& listUrl) {
  const std::string file = QDir(dir.path()).filePath(QStringLiteral("PrivateData.plist")).toStdString();
  std::ofstream(file) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>VersionCheck</key><integer>1"
                         "</integer><key>en</key><dict><key>IniURL</key><string>"
                      << listUrl.toStdString() << "</string></dict></dict></plist>\n";
  windows::QVPublicUtilities::setPrivateDataFiles({file},
                                                  QDir(dir.path()).filePath(QStringLiteral("o.plist")).toStdString());
}

bool updateShot(const QString& out, const QString& name, const QString& url) {
  QTemporaryDir dir;
  privateData(dir, url);
  windows::QVCheckUpdateWindowController update;
  centre(update);
  update.show();
  shots::WaitFor([&] { return update.checked(); }, 8000);
  return save(&update, out, name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: quarnel_window_shots OUTDIR IMAGE\n");
    return 2;
  }
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("quarnel"));
  QCoreApplication::setApplicationName(QStringLiteral("quarnel"));
  const QString out = QString::fromLocal8Bit(argv[1]);
  const QString image = QString::fromLocal8Bit(argv[2]);
  windows::DialogFrame::setFadeDuration(0);
  bridge_qt::QtBridge bridge;
  QVUIController::Init();
  bool ok = true;
  {
    shell::QVAppDelegate::Options options;
    options.mediaMonitor = false;
    shell::QVAppDelegate delegate(options);
    delegate.runRootWindow();
    windows::QVRootWindowController* root = delegate.rootWindowCon();
    ok &= save(root, out, QStringLiteral("category.png"));

    root->selectTypeVC()->nextButtonAction();
    ok &= shots::WaitFor([&] { return root->selectDiskVC() != nullptr; }, 20000);
    windows::QVSelectDiskViewController* page = root->selectDiskVC();
    QString error;
    bool shown = false;
    QObject::connect(page, &windows::QVSelectDiskViewController::listShown, [&] { shown = true; });
    ok &= page != nullptr && page->openImage(image, &error);
    ok &= shots::WaitFor([&] { return shown; }, 20000);
    ok &= save(root, out, QStringLiteral("disk-image.png"));

    ui::ScriptedModalRunner runner;
    ui::ScopedModalRunner scoped(runner);
    runner.onModal = [&](QWidget* w) {
      ok &= save(w, out, QStringLiteral("apfs-notice.png"));
      ui::Modal().stopModal(w, 0);
    };
    _DiskVolumeData locked;
    locked.name = "Macintosh HD";
    locked.fileSystem = 9;
    locked.beCanOpen = 0;
    root->changeSelectDiskViewContinueButtonEnabled(std::make_shared<windows::DiskVolumeNodeData>(locked));
    root->selectTypesContinouButtonClick();
  }
  {
    ListServer server(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>VersionCheck</key><integer>2"
        "</integer><key>Version</key><string>1.1</string><key>1</key><string>Faster deep scans of "
        "large disks</string><key>2</key><string>exFAT volumes rebuilt from their folders</string>"
        "<key>3</key><string>Open disk images from the disk page</string></dict></plist>");
    ok &= updateShot(out, QStringLiteral("update.png"),
                     QStringLiteral("http://127.0.0.1:%1/versions.plist").arg(server.port()));
  }
  {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    ok &= updateShot(out, QStringLiteral("update-none.png"), QStringLiteral("http://127.0.0.1:%1/v.plist").arg(port));
  }
  QVUIController::WaitForJobs(10000);
  return ok ? 0 : 1;
}
