// tessora-compose-desktop: answers tessora-compose's questions about the desktop, one a run.
//   geometry        prints "screenWidth screenHeight workLeft workTop workRight workBottom known"
//   folder          prints the folder wallpaper files are written to; on failure prints the
//                   reason, exit status 1
//   install FILE    installs FILE as the wallpaper; on failure prints the reason, exit status 1
//   monitors        prints a line per monitor (see DesktopHelper::FormatLayout)
//   install-monitors SPANNED PRIMARY L T R B [NAME L T R B FILE]...
//                   installs several monitors' pictures, as install does
#include <QGuiApplication>
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/desktop_helper.h"
#include "platform/services.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const std::vector<std::string> rest(argv + std::min(argc, 2), argv + argc);
  const std::optional<tessora::MonitorPictures> pictures =
      command == "install-monitors" ? tessora::DesktopHelper::ParseMonitorPicturesArgs(rest)
                                    : std::nullopt;
  if (command != "geometry" && command != "folder" && command != "monitors" &&
      !(command == "install" && argc == 3) && !pictures) {
    std::cerr << "usage: " << tessora::kDesktopHelperName
              << " geometry | folder | monitors | install FILE | install-monitors SPANNED PRIMARY "
                 "L T R B [NAME L T R B FILE]...\n";
    return 2;
  }
  QGuiApplication app(argc, argv);
  tessora::Platform platform = tessora::CreateDesktopPlatform();
  if (command == "geometry") {
    std::cout << tessora::DesktopHelper::FormatGeometry(platform.desktop->geometry());
    return 0;
  }
  if (command == "monitors") {
    std::cout << tessora::DesktopHelper::FormatLayout(platform.desktop->monitors());
    return 0;
  }
  if (command == "folder") {
    const tessora::WallpaperFolder folder = platform.wallpaper->wallpaperFolder();
    std::cout << (folder.path.empty() ? folder.reason : folder.path) << '\n';
    return folder.path.empty() ? 1 : 0;
  }
  const tessora::WallpaperResult result = pictures
                                              ? platform.wallpaper->setMonitorWallpapers(*pictures)
                                              : platform.wallpaper->setWallpaper(argv[2]);
  if (!result.ok) {
    std::cout << result.reason << '\n';
    return 1;
  }
  return 0;
}
