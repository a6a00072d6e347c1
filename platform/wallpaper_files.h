#pragma once

#include <QString>
#include <QStringList>

#include "platform/qt_outcome.h"

namespace tessora {

/// The fresh names handed to the desktop. Many desktops do not repaint when given the path
/// they already show, so each install gets "<base>-<n>.<bmp|png>" beside each of its pictures,
/// a copy of it; all copies of one install share the number n. Once the desktop has accepted
/// an install, only its copies and those of the install before stay in the folder: the desktop
/// may still be reading or fading over the one it showed until then.
class WallpaperFiles {
 public:
  /// Makes the fresh copies of one install's pictures (as PNG when asPng) and yields their names
  /// in the same order, or says why one cannot be written (and leaves none of them). Their
  /// number is above every fresh name in the folder and above every number this object handed
  /// out before: a name once handed out, even to a desktop that refused it, is not handed out
  /// again.
  OutcomeOf<QStringList> prepare(const QStringList& pictures, bool asPng);
  /// The desktop shows `shown`, one install's copies, now: every fresh name of the same
  /// wallpaper (the whole picture's and each monitor's) goes but these and the previous
  /// install's. Newer names are left to the install that made them.
  static void accepted(const QStringList& shown);
  /// The desktop did not take them: delete them again.
  static void rejected(const QStringList& fresh);

 private:
  int lastNumber_ = 0;
};

}  // namespace tessora
