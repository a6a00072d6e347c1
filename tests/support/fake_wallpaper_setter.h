#pragma once

#include <string>
#include <vector>

#include "engine/wallpaper_service.h"

namespace tessora {

/// Records the pictures it is asked to install and answers from fields, for tests.
class FakeWallpaperSetter : public WallpaperSetter {
 public:
  OutcomeOf<std::string> wallpaperFolder() const override {
    return folder.empty() ? OutcomeOf<std::string>::Failed("no folder")
                          : OutcomeOf<std::string>::Done(folder);
  }
  Outcome setWallpaper(const std::string& path) override {
    installed.push_back(path);
    return result;
  }
  Outcome setMonitorWallpapers(const MonitorPictures& pictures) override {
    installedMonitors.push_back(pictures);
    return result;
  }
  std::string folder = "/tmp/";
  Outcome result = Outcome::Done();
  std::vector<std::string> installed;
  std::vector<MonitorPictures> installedMonitors;
};

}  // namespace tessora
