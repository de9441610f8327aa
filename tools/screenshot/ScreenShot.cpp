// quarnel_screenshot OUT.png: the whole screen of $DISPLAY as a PNG.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quarnel_screenshot OUT.png\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "quarnel_screenshot: no screen\n");
    return 1;
  }
  const QPixmap shot = screen->grabWindow(0);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "quarnel_screenshot: could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
