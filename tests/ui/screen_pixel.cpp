// Prints the colour of one pixel of the X display's screen as "R G B", for the end-to-end test.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s X Y\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const int x = std::atoi(argv[1]);
  const int y = std::atoi(argv[2]);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "no screen\n");
    return 1;
  }
  const QColor c = screen->grabWindow(0, x, y, 1, 1).toImage().pixelColor(0, 0);
  std::printf("%d %d %d\n", c.red(), c.green(), c.blue());
  return 0;
}
