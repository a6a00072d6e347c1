#pragma once

#include <QString>

#include "platform/qt_outcome.h"

namespace tessora {

/// The fresh names handed to the desktop. Many desktops do not repaint when given the path
/// they already show, so each install gets "<base>-<n>.<bmp|png>" beside the wallpaper file,
/// a copy of it; once the desktop has accepted one, all older names but the previous are
/// deleted (the previous one may still be on screen while the desktop fades over).
class WallpaperFiles {
 public:
  /// Makes the next fresh copy of the picture, as PNG when asPng, and yields its name, or says
  /// why it cannot be written. Its number is above every name in the folder and above every
  /// number this object handed out before: a name once handed out, even to a desktop that
  /// refused it, is not handed out again.
  OutcomeOf<QString> prepare(const QString& picture, bool asPng);
  /// The desktop shows `accepted` now: delete the fresh names before the previous one.
  static void accepted(const QString& accepted);
  /// The desktop did not take it: delete it again.
  static void rejected(const QString& fresh);

 private:
  int lastNumber_ = 0;
};

}  // namespace tessora
