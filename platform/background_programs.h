#pragma once

#include <QList>
#include <functional>
#include <optional>

#include "platform/processes.h"

#include "platform/wallpaper_method.h"

namespace tessora {

/// A program of the user's own that draws the background on a wlroots compositor, found
/// running in this session: whatever we start underneath it would never be seen.
struct BackgroundProgram {
  enum Kind { Swaybg, Hyprpaper, Swww };
  Kind kind = Swaybg;
  qint64 pid = 0;
};

/// The first background program of this session that is not ours: a swaybg for which `ours` does
/// not hold (nor the compositor's own, which it hands a Wayland socket of its own), hyprpaper,
/// swww's daemon.
std::optional<BackgroundProgram> ForeignBackground(
    const std::function<bool(const ProcessInfo&)>& ours);

/// Shows the pictures through that program where it takes commands (hyprpaper through hyprctl,
/// swww), each named monitor its own and, first, every output the primary's; a stranger's
/// swaybg takes none, and the failure says so.
Outcome ShowThrough(const BackgroundProgram& program, const QList<MonitorFile>& files);

}  // namespace tessora
