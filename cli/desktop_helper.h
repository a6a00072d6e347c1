#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/composition.h"
#include "engine/monitor_layout.h"
#include "engine/wallpaper_service.h"

namespace tessora {

/// The file name of the helper program that carries the desktop services (and with them Qt), so
/// that tessora-compose itself starts without loading them.
extern const char* const kDesktopHelperName;

/// What a program printed on its standard output, and how it ended: its exit status, or -1 when
/// it could not be started or did not end normally (`error` says why).
struct ProgramRun {
  int status = -1;
  std::string out;
  std::string error;
};

/// The desktop's geometry, or why it could not be read.
struct GeometryResult {
  bool ok = false;
  DesktopGeometry geometry;  ///< when ok
  std::string reason;        ///< for the user when !ok
};

/// The desktop's monitors, or why they could not be read.
struct MonitorsResult {
  bool ok = false;
  MonitorLayout layout;  ///< when ok
  std::string reason;    ///< for the user when !ok
};

/// Runs a program with arguments, its standard error shared with ours, and waits for it.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args);

/// The helper next to the running program (the build tree), or in ../libexec/tessora/ (an
/// installed tree); "" when neither is there.
std::string FindDesktopHelper(const std::string& programDir);

/// The desktop services through the helper. Each question starts the helper once.
class DesktopHelper : public WallpaperSetter {
 public:
  explicit DesktopHelper(std::string program) : program_(std::move(program)) {}

  /// The screen and work area, or why the helper could not tell them.
  GeometryResult geometry() const;
  WallpaperFolder wallpaperFolder() const override;
  WallpaperResult setWallpaper(const std::string& path) override;
  /// The monitors as they are now, or why the helper could not tell them.
  MonitorsResult monitors() const;
  WallpaperResult setMonitorWallpapers(const MonitorPictures& pictures) override;

  /// The helper's answer to "geometry", read back.
  static std::optional<DesktopGeometry> ParseGeometry(const std::string& text);
  /// The geometry as the helper prints it.
  static std::string FormatGeometry(const DesktopGeometry& g);
  /// The helper's answer to "monitors": a line per monitor, "left top right bottom workLeft
  /// workTop workRight workBottom known primary name"; and read back.
  static std::string FormatLayout(const MonitorLayout& layout);
  static std::optional<MonitorLayout> ParseLayout(const std::string& text);
  /// The arguments after "install-monitors": the spanned picture, the primary's index, the
  /// bounding box's four edges, then per monitor its name, four edges and picture; and read
  /// back.
  static std::vector<std::string> MonitorPicturesArgs(const MonitorPictures& pictures);
  static std::optional<MonitorPictures> ParseMonitorPicturesArgs(
      const std::vector<std::string>& args);

 private:
  std::string program_;
};

}  // namespace tessora
