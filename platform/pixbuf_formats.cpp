#include "platform/pixbuf_formats.h"

#include <QFile>
#include <QStringList>

namespace tessora {

bool LoaderListReadsBmp(const QString& loadersCache) {
  return loadersCache.contains(QLatin1String("\"image/bmp\""));
}

bool PixbufReadsBmp() {
  QStringList candidates;
  const QString configured = qEnvironmentVariable("GDK_PIXBUF_MODULE_FILE");
  if (!configured.isEmpty()) {
    candidates << configured;
  }
  for (const char* libdir :
       {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib64", "/usr/lib"}) {
    candidates << QLatin1String(libdir) + QLatin1String("/gdk-pixbuf-2.0/2.10.0/loaders.cache");
  }
  for (const QString& path : candidates) {
    QFile cache(path);
    if (cache.open(QIODevice::ReadOnly)) {
      return LoaderListReadsBmp(QString::fromUtf8(cache.readAll()));
    }
  }
  return true;
}

}  // namespace tessora
