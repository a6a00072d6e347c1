#pragma once

#include <QDBusConnection>
#include <functional>

#include "platform/wallpaper_method.h"

namespace tessora {

/// The XDG desktop portal's Wallpaper interface: the only way out of a sandbox, and a fallback
/// for desktops we do not know. The first use may show the user a question. A portal whose
/// back end cannot show it (xdg-desktop-portal 1.16 hands the request to GNOME's back end on
/// every desktop, and only a running GNOME Shell can ask) never answers: the wait is bounded so
/// that the next method still gets its turn.
class PortalWallpaper : public WallpaperMethod {
 public:
  /// Long enough to read the question and click, short enough not to look hung.
  static constexpr int kAnswerTimeoutMs = 25000;
  /// A wait longer than this is announced: a question may be waiting on the screen.
  static constexpr int kNoticeAfterMs = 1000;
  /// Where "asking the desktop for permission…" goes while the answer is slow.
  using Notice = std::function<void(const QString&)>;

  /// notice: by default standard error, which the command-line tool passes on.
  explicit PortalWallpaper(QDBusConnection bus, int answerTimeoutMs = kAnswerTimeoutMs,
                           Notice notice = {})
      : bus_(std::move(bus)), answerTimeoutMs_(answerTimeoutMs), notice_(std::move(notice)) {}
  QString name() const override { return QStringLiteral("Portal"); }
  Outcome install(const QString& file) override;

 private:
  Outcome probe() const;
  QDBusConnection bus_;
  int answerTimeoutMs_;
  Notice notice_;
};

}  // namespace tessora
