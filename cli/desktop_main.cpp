// tessora-compose-desktop: answers tessora-compose's questions about the desktop, one a run.
//   geometry        prints "screenWidth screenHeight workLeft workTop workRight workBottom known"
//   folder          prints the folder wallpaper files are written to; on failure prints the
//                   reason, exit status 1
//   install FILE    installs FILE as the wallpaper; on failure prints the reason, exit status 1
#include <QGuiApplication>
#include <iostream>
#include <string>

#include "cli/desktop_helper.h"
#include "platform/services.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command != "geometry" && command != "folder" && !(command == "install" && argc == 3)) {
    std::cerr << "usage: " << tessora::kDesktopHelperName << " geometry | folder | install FILE\n";
    return 2;
  }
  QGuiApplication app(argc, argv);
  tessora::Platform platform = tessora::CreateDesktopPlatform();
  if (command == "geometry") {
    std::cout << tessora::DesktopHelper::FormatGeometry(platform.desktop->geometry());
    return 0;
  }
  if (command == "folder") {
    const tessora::WallpaperFolder folder = platform.wallpaper->wallpaperFolder();
    std::cout << (folder.path.empty() ? folder.reason : folder.path) << '\n';
    return folder.path.empty() ? 1 : 0;
  }
  const tessora::WallpaperResult result = platform.wallpaper->setWallpaper(argv[2]);
  if (!result.ok) {
    std::cout << result.reason << '\n';
    return 1;
  }
  return 0;
}
