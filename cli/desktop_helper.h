#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/outcome.h"
#include "engine/color.h"
#include "engine/desktop_geometry.h"
#include "engine/monitor_layout.h"
#include "engine/wallpaper_service.h"

namespace tessora {

/// The file name of the helper program that carries the desktop services (and with them Qt), so
/// that tessora-compose itself starts without loading them.
extern const char* const kDesktopHelperName;
/// The environment variable that, set, keeps the helper's desktop libraries from printing their
/// notes: the caller was asked to be quiet.
extern const char* const kDesktopHelperQuiet;
/// The line the helper prints as soon as the desktop has taken a wallpaper, before it ends.
extern const char* const kDesktopHelperInstalled;

/// What a program printed on its standard output, and how it ended: its exit status, or -1 when
/// it could not be started or did not end normally (`error` says why).
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string error;
  int running = 0;  ///< a program left to end on its own after its answer (RunUntilAnswer)
};

/// What the helper tells of the desktop in one answer, so that one start of the desktop
/// libraries serves every question: the monitors and the desktop's own background colour.
struct DesktopFacts {
  MonitorLayout layout;
  std::optional<TColor> color;  ///< nothing when the helper did not tell it
};

/// Runs a program with arguments, its standard error shared with ours, and waits for it.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args);
/// Runs a program as RunProgram does, but waits only until it prints the line `answer`: it is
/// then done (status 0), and left to end on its own (`running`, for CollectEnded). Without that
/// line it is waited for as RunProgram does.
ProgramRun RunUntilAnswer(const std::string& program, const std::vector<std::string>& args,
                          const std::string& answer);
/// Collects those of `running` that have ended, and leaves the others in it.
void CollectEnded(std::vector<int>& running);

/// The helper next to the running program (the build tree), or in ../libexec/tessora/ (an
/// installed tree); "" when neither is there.
std::string FindDesktopHelper(const std::string& programDir);

/// The desktop services through the helper. Each question starts the helper once.
class DesktopHelper : public WallpaperSetter {
 public:
  explicit DesktopHelper(std::string program) : program_(std::move(program)) {}

  /// The screen and work area, or why the helper could not tell them.
  OutcomeOf<DesktopGeometry> geometry() const;
  OutcomeOf<std::string> wallpaperFolder() const override;
  Outcome setWallpaper(const std::string& path) override;
  /// The monitors as they are now and the desktop's colour, or why the helper could not tell
  /// them.
  OutcomeOf<DesktopFacts> desktop() const;
  /// Tells `changed` the desktop as it is now, and again each time its monitors have changed and
  /// settled, until the helper ends (the session is over) or `changed` returns false. Waiting
  /// costs nothing: the helper listens to the display server, and we to the helper. Fails when
  /// the helper cannot be started or tells nothing that can be read.
  Outcome follow(const std::function<bool(const DesktopFacts&)>& changed) const;
  Outcome setMonitorWallpapers(const MonitorPictures& pictures) override;

  /// The helper's answer to "geometry", read back.
  static std::optional<DesktopGeometry> ParseGeometry(const std::string& text);
  /// The geometry as the helper prints it.
  static std::string FormatGeometry(const DesktopGeometry& g);
  /// The helper's answer to "monitors": a line per monitor, "left top right bottom workLeft
  /// workTop workRight workBottom known primary name"; and read back.
  static std::string FormatLayout(const MonitorLayout& layout);
  static std::optional<MonitorLayout> ParseLayout(const std::string& text);
  /// The answer to "monitors" as the helper prints it: the layout, then "color RRGGBB" (hex,
  /// red first); and read back, the colour line being optional.
  static std::string FormatDesktop(const MonitorLayout& layout, TColor color);
  static std::optional<DesktopFacts> ParseDesktop(const std::string& text);
  /// The arguments after "install-monitors": the spanned picture, the primary's index, the
  /// bounding box's four edges, then per monitor its name, four edges and picture; and read
  /// back.
  static std::vector<std::string> MonitorPicturesArgs(const MonitorPictures& pictures);
  static std::optional<MonitorPictures> ParseMonitorPicturesArgs(
      const std::vector<std::string>& args);

 private:
  /// An install is done as soon as the helper says the desktop took the wallpaper: a set becomes
  /// current then, not only once the helper has closed its desktop libraries.
  Outcome install(const std::vector<std::string>& args);

  std::string program_;
  std::vector<int> ending_;  // helpers that answered and are ending
};

}  // namespace tessora
