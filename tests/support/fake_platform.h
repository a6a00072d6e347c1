#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "support/fake_wallpaper_setter.h"

namespace tessora {

/// Services that record what they are asked and answer from fields, for tests.
class FakeSoundPlayer : public SoundPlayer {
 public:
  void play(const std::string& wavPath) override { played.push_back(wavPath); }
  std::vector<std::string> played;
};

class FakeClipboard : public ImageClipboard {
 public:
  bool hasImage() const override { return content.has_value(); }
  std::optional<Bitmap> image() override { return content; }
  std::optional<PictureFile> imageFile() override {
    if (!file) {
      return std::nullopt;
    }
    return PictureFile{*file, [picture = content] { return picture; }};
  }
  void setImage(const Bitmap& image) override { content = image; }
  void clear() override { content.reset(); }
  std::optional<Bitmap> content;
  /// The file the clipboard names instead of holding a picture; `content` is what it reads as.
  std::optional<std::string> file;
};

class FakeDesktopInfo : public DesktopInfo {
 public:
  DesktopGeometry geometry() const override { return desktop; }
  TColor desktopColor() const override { return color; }
  bool fontInstalled(const std::string& family) const override {
    for (const auto& f : fonts) {
      if (f == family) {
        return true;
      }
    }
    return false;
  }
  DesktopGeometry desktop{1024, 768, Rect{0, 0, 1024, 768}};
  TColor color = RGB(58, 110, 165);
  std::vector<std::string> fonts;
};

class FakeShell : public Shell {
 public:
  bool openFolder(const std::string& folder) override {
    folders.push_back(folder);
    return true;
  }
  bool openDocument(const std::string& pathOrUrl) override {
    documents.push_back(pathOrUrl);
    return true;
  }
  std::vector<std::string> folders;
  std::vector<std::string> documents;
};

/// A Platform made of fakes, with typed access to each for assertions.
struct FakePlatform {
  FakePlatform() {
    platform.sound.reset(sound = new FakeSoundPlayer);
    platform.clipboard.reset(clipboard = new FakeClipboard);
    platform.wallpaper.reset(wallpaper = new FakeWallpaperSetter);
    platform.desktop.reset(desktop = new FakeDesktopInfo);
    platform.shell.reset(shell = new FakeShell);
  }
  Platform platform;
  FakeSoundPlayer* sound;
  FakeClipboard* clipboard;
  FakeWallpaperSetter* wallpaper;
  FakeDesktopInfo* desktop;
  FakeShell* shell;
};

}  // namespace tessora
