#pragma once

#include <string>
#include <vector>

#include "engine/wallpaper_service.h"

namespace tessora {

/// Records the pictures it is asked to install and answers from fields, for tests.
class FakeWallpaperSetter : public WallpaperSetter {
 public:
  WallpaperFolder wallpaperFolder() const override {
    return WallpaperFolder{folder, folder.empty() ? "no folder" : ""};
  }
  WallpaperResult setWallpaper(const std::string& path) override {
    installed.push_back(path);
    return result;
  }
  WallpaperResult setMonitorWallpapers(const MonitorPictures& pictures) override {
    installedMonitors.push_back(pictures);
    return result;
  }
  std::string folder = "/tmp/";
  WallpaperResult result{true, ""};
  std::vector<std::string> installed;
  std::vector<MonitorPictures> installedMonitors;
};

}  // namespace tessora
