#pragma once

#include <QDBusConnection>

#include "platform/wallpaper_method.h"

namespace tessora {

/// The XDG desktop portal's Wallpaper interface: the only way out of a sandbox, and a fallback
/// for desktops we do not know. The first use may show the user a question, hence the long
/// wait for the answer.
class PortalWallpaper : public WallpaperMethod {
 public:
  static constexpr int kAnswerTimeoutMs = 120000;

  explicit PortalWallpaper(QDBusConnection bus, int answerTimeoutMs = kAnswerTimeoutMs)
      : bus_(std::move(bus)), answerTimeoutMs_(answerTimeoutMs) {}
  QString name() const override { return QStringLiteral("Portal"); }
  Outcome install(const QString& file) override;

 private:
  Outcome probe() const;
  QDBusConnection bus_;
  int answerTimeoutMs_;
};

}  // namespace tessora
