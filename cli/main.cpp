// tessora-compose: the window's commands, replayed from the command line.
#include <QGuiApplication>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/compose.h"
#include "engine/bitmap.h"
#include "platform/services.h"
#include "settings/filelocations.h"
#include "settings/settings.h"
#include "tessora_version.h"

namespace {

bool HaveDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

}  // namespace

int main(int argc, char** argv) {
  // One picture, made once: no use waiting for huge pages.
  tessora::Bitmap::SetLargeMemory(tessora::Bitmap::LargeMemory::MappedAhead);
  std::vector<std::string> args(argv + 1, argv + argc);
  tessora::ComposeRequest request;
  try {
    request = tessora::ParseComposeArgs(args);
  } catch (const tessora::UsageError& e) {
    std::cerr << "tessora-compose: " << e.what() << "\n\n" << tessora::ComposeUsage();
    return 2;
  }
  if (request.help) {
    std::cout << tessora::ComposeUsage();
    return 0;
  }
  if (request.version) {
    std::cout << "tessora-compose " TESSORA_VERSION_STRING "\n";
    return 0;
  }

  // Qt is started only when the desktop is needed, so that composing to a file works anywhere.
  std::unique_ptr<QGuiApplication> app;
  tessora::Platform platform;
  auto desktopPlatform = [&]() -> tessora::Platform* {
    if (!HaveDisplay()) {
      return nullptr;
    }
    if (!app) {
      app = std::make_unique<QGuiApplication>(argc, argv);
      platform = tessora::CreateDesktopPlatform();
    }
    return &platform;
  };

  tessora::ComposeEnvironment env;
  env.desktop = [&]() -> std::optional<tessora::DesktopGeometry> {
    tessora::Platform* p = desktopPlatform();
    if (p == nullptr) {
      return std::nullopt;
    }
    return p->desktop->geometry();
  };
  env.wallpaper = [&]() -> tessora::WallpaperSetter* {
    tessora::Platform* p = desktopPlatform();
    return p == nullptr ? nullptr : p->wallpaper.get();
  };
  try {
    tessora::Settings settings;
    if (tessora::LoadSettings(tessora::fileDirectory() + tessora::kSettingsFileName, settings)) {
      env.settings = settings;
    }
  } catch (const std::exception& e) {
    std::cerr << "tessora-compose: settings not used: " << e.what() << '\n';
  }
  return tessora::RunCompose(request, env, std::cerr);
}
