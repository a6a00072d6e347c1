// Writes the program's icon for the desktop's icon theme, from the same drawing the running
// program uses: OUTPUT/<N>x<N>/apps/tessora.png for each size the theme looks for, and
// OUTPUT/scalable/apps/tessora.svg.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "ui/glyphs.h"

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool writeInto(const QString& folder, const QString& name, const QByteArray& bytes) {
  QFile file(folder + QLatin1Char('/') + name);
  return QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) &&
         file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (const int size : kSizes) {
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
    if (!QDir().mkpath(folder) ||
        !tessora::ApplicationIconImage(size).save(folder + QStringLiteral("/tessora.png"), "PNG")) {
      std::fprintf(stderr, "cannot write the %dx%d icon in %s\n", size, size, argv[1]);
      return 1;
    }
  }
  if (!writeInto(out + QStringLiteral("/scalable/apps"), QStringLiteral("tessora.svg"),
                 QByteArray::fromStdString(tessora::ApplicationIconSvg()))) {
    std::fprintf(stderr, "cannot write the scalable icon in %s\n", argv[1]);
    return 1;
  }
  return 0;
}
