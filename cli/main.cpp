// tessora-compose: the window's commands, replayed from the command line.
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <utility>

#include "cli/compose.h"
#include "cli/desktop_helper.h"
#include "cli/terminal_text.h"
#include "engine/bitmap.h"
#include "engine/monitor_layout.h"
#include "settings/file_locations.h"
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
    std::cerr << "tessora-compose: " << tessora::TerminalText(e.what()) << "\n\n"
              << tessora::ComposeUsage();
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

  if (request.quiet) {
    ::setenv(tessora::kDesktopHelperQuiet, "1", 1);
  }
  // The desktop is asked through a helper program, and only when it is needed: composing to a
  // file works anywhere and starts without loading the desktop libraries.
  std::unique_ptr<tessora::DesktopHelper> helper;
  auto desktopHelper = [&]() -> tessora::DesktopHelper* {
    if (!HaveDisplay()) {
      return nullptr;
    }
    if (!helper) {
      const std::string program = tessora::FindDesktopHelper(tessora::ProgramDirectory());
      if (program.empty()) {
        std::cerr << "tessora-compose: " << tessora::kDesktopHelperName
                  << " is missing beside the program\n";
        return nullptr;
      }
      helper = std::make_unique<tessora::DesktopHelper>(program);
    }
    return helper.get();
  };

  // One question to the helper serves the monitors, the desktop's size (the primary monitor's)
  // and its colour: each question starts the desktop libraries in a process of its own.
  // Why the question failed is told where the monitors were needed; the colour alone falls back
  // to the usual one without a word (the command that needs the desktop will say why it failed).
  std::optional<tessora::OutcomeOf<tessora::DesktopFacts>> facts;
  auto desktopFacts = [&]() -> const tessora::OutcomeOf<tessora::DesktopFacts>& {
    if (!facts) {
      tessora::DesktopHelper* h = desktopHelper();
      facts = h != nullptr ? h->desktop()
                           : tessora::OutcomeOf<tessora::DesktopFacts>::Failed(std::string());
    }
    return *facts;
  };
  bool told = false;
  tessora::ComposeEnvironment env;
  env.monitors = [&]() -> std::optional<tessora::MonitorLayout> {
    const tessora::OutcomeOf<tessora::DesktopFacts>& f = desktopFacts();
    if (!f && !f.reason().empty() && !std::exchange(told, true)) {
      std::cerr << "tessora-compose: " << tessora::TerminalText(f.reason()) << '\n';
    }
    return f ? std::optional(f.value().layout) : std::nullopt;
  };
  env.desktopColor = [&]() -> std::optional<tessora::TColor> {
    const tessora::OutcomeOf<tessora::DesktopFacts>& f = desktopFacts();
    return f ? f.value().color : std::nullopt;
  };
  env.desktop = [&]() -> std::optional<tessora::DesktopGeometry> {
    const std::optional<tessora::MonitorLayout> layout = env.monitors();
    if (!layout || layout->monitors.empty()) {
      return std::nullopt;
    }
    return tessora::MonitorGeometry(layout->monitors[layout->primary]);
  };
  env.wallpaper = [&]() -> tessora::WallpaperSetter* { return desktopHelper(); };
  env.followMonitors = [&](const std::function<void(const tessora::MonitorLayout&)>& changed) {
    tessora::DesktopHelper* h = desktopHelper();
    if (h == nullptr) {
      return tessora::Outcome::Failed("there is no display");
    }
    return h->follow([&](const tessora::DesktopFacts& now) {
      changed(now.layout);
      return true;
    });
  };
  env.settings = tessora::LoadComposeSettings(tessora::FileDirectory() + tessora::kSettingsFileName,
                                              std::cerr);
  return tessora::RunCompose(request, env, std::cerr);
}
