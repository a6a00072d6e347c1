// The window's command handlers: each hands its command to the document, or opens the menu or
// dialog that asks for it.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <exception>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/bitmap_qimage.h"
#include "settings/file_locations.h"
#include "ui/about_box.h"
#include "ui/glyphs.h"
#include "ui/message_dialogs.h"
#include "ui/tform1.h"

namespace tessora {

// --- Sizing and click modes ---

void TForm1::Sizing_AsIsClick() {
  document_.sizeAsIs();
}

void TForm1::Sizing_FullClick() {
  document_.sizeFull();
}

void TForm1::Sizing_GoldenAreaClick() {
  document_.sizeGoldenArea();
}

void TForm1::CSM_NCVerticalResizeClick() {
  document_.armClickMode(ClickMode::ResizeHeight);
}

void TForm1::CSM_NCHorizontalResizeClick() {
  document_.armClickMode(ClickMode::ResizeWidth);
}

void TForm1::CSM_NCMakeColorTransparentClick() {
  document_.armClickMode(ClickMode::MarkTransparent);
}

void TForm1::MainImageMouseDown(MouseButton button, int x, int y) {
  document_.previewMouseDown(button, x, y);
}

void TForm1::MainImageMouseMove() {
  document_.previewMouseMove();
}

void TForm1::FormMouseMove() {
  document_.formMouseMove();
}

// --- Panel commands ---

void TForm1::popupAtPointer(QMenu* menu) {
  menu->popup(QCursor::pos());
}

void TForm1::pasteInto(Source source) {
  if (std::optional<ImageClipboard::PictureFile> file = platform_.clipboard->imageFile()) {
    document_.pasteFile(source, file->path, std::move(file->read));
    return;
  }
  const std::optional<Bitmap> clip = platform_.clipboard->image();
  if (source == Source::Tile) {
    document_.pasteTile(clip ? &*clip : nullptr);
  } else {
    document_.pasteCenter(clip ? &*clip : nullptr);
  }
}

void TForm1::ToolButton0a0Click() {
  pasteInto(Source::Tile);
}

void TForm1::ToolButton0a1Click() {
  document_.resetTile();
}

void TForm1::ToolButton0a2Click() {
  popupAtPointer(menus_.tileResizePopup);
}

void TForm1::ToolButton0a3Click() {
  popupAtPointer(menus_.tileGradientPopup);
}

void TForm1::ToolButton0b0Click() {
  OpenEntryFolder(*tilePanel_);
}

void TForm1::ToolButton1a0Click() {
  pasteInto(Source::Center);
}

void TForm1::ToolButton1a1Click() {
  document_.ClearCenter();
}

void TForm1::ToolButton1a2Click() {
  popupAtPointer(menus_.sizingPopup);
}

void TForm1::ToolButton1a3Click() {
  popupAtPointer(menus_.csmPopup);
}

void TForm1::ToolButton1b0Click() {
  OpenEntryFolder(*centerPanel_);
}

void TForm1::SaveBox0Click() {
  document_.pickRecent(Source::Tile, tilePanel_->boxIndex());
}

void TForm1::SaveBox1Click() {
  document_.pickRecent(Source::Center, centerPanel_->boxIndex());
}

void TForm1::OpenEntryFolder(SourcePanel& panel) {
  if (const std::optional<std::string> folder = document_.selectedFolder(panel.source())) {
    PlayCue(Cue::OpenFolder);
    platform_.shell->openFolder(*folder);
  }
}

void TForm1::ColorPanel0Click() {
  if (const auto c = dialogs_.chooseColor(this, document_.color0())) {
    document_.setColor0(*c);
  }
}

void TForm1::ColorPanel1Click() {
  if (const auto c = dialogs_.chooseColor(this, document_.color1())) {
    document_.setColor1(*c);
  }
}

void TForm1::ColorSwitchStaticTextClick() {
  document_.swapColors();
}

void TForm1::FileDrop0FileDroped(const std::vector<std::string>& paths) {
  document_.dropFiles(Source::Tile, paths);
}

void TForm1::FileDrop1FileDroped(const std::vector<std::string>& paths) {
  document_.dropFiles(Source::Center, paths);
}

void TForm1::Image0DblClick() {
  runCommand([this] { document_.stepBack(Source::Tile); });
}

void TForm1::Image1DblClick() {
  runCommand([this] { document_.stepBack(Source::Center); });
}

void TForm1::OpenCenterPictureClick() {
  openPicture(Source::Center, menus_.openCenter->text());
}

void TForm1::OpenTilePictureClick() {
  openPicture(Source::Tile, menus_.openTile->text());
}

// The dialog opens where the last picture came from.
void TForm1::openPicture(Source source, const QString& title) {
  if (openFolder_.empty()) {
    openFolder_ = PicturesFolder();
  }
  const std::optional<std::string> path = dialogs_.chooseOpenFile(this, title, openFolder_);
  if (!path) {
    return;
  }
  openFolder_ = std::filesystem::path(*path).parent_path().string() + "/";
  if (source == Source::Tile) {
    FileDrop0FileDroped({*path});
  } else {
    FileDrop1FileDroped({*path});
  }
}

// The paste buttons follow the clipboard watch; a key acts only where its button would.
void TForm1::PasteCenterKey() {
  if (platform_.clipboard->hasImage()) {
    ToolButton1a0Click();
  }
}

void TForm1::PasteTileKey() {
  if (platform_.clipboard->hasImage()) {
    ToolButton0a0Click();
  }
}

// --- Background menus and the tile panel's presses ---

void TForm1::TG_TileClick() {
  document_.generateBackground(BackgroundKind::Tile);
}

void TForm1::TG_GradientClick() {
  document_.generateBackground(BackgroundKind::Vertical);
}

void TForm1::TG_CenteredGradientClick() {
  document_.generateBackground(BackgroundKind::Centered);
}

void TForm1::TG_HaloClick() {
  document_.generateBackground(BackgroundKind::Halo);
}

void TForm1::TG_CornerGradientClick() {
  document_.generateBackground(BackgroundKind::Corner);
}

void TForm1::TR_HalfClick() {
  runCommand([this] { document_.scaleTileHalf(); });
}

void TForm1::TR_DoubleClick() {
  runCommand([this] { document_.scaleTileDouble(); });
}

void TForm1::TR_ShrinkCustomClick() {
  runCommand([this] { document_.scaleTileShrinkCustom(); });
}

void TForm1::TR_GrowCustomClick() {
  runCommand([this] { document_.scaleTileGrowCustom(); });
}

void TForm1::Panel0MouseDown(int x) {
  document_.SetTileResizeFraction(x);
}

void TForm1::Panel0IMouseDown(int x) {
  Panel0MouseDown(x + tilePanel_->frameLeft());
}

// On the plain block a cleared panel shows, the picture also chooses the deep background colour.
void TForm1::Image0MouseDown(int x) {
  Panel0MouseDown(x + tilePanel_->pictureLeft() + tilePanel_->frameLeft());
  if (!document_.tileToolsEnabled()) {
    if (const auto c = dialogs_.chooseColor(this, document_.DeepBackgroundColor())) {
      document_.setDeepBackgroundColor(*c);
    }
  }
}

// --- Main menu and the clipboard watch ---

void TForm1::MI_SetAsWallpaperClick() {
  // The monitors as they are now: they may have changed since the window started.
  runCommand([this] {
    document_.setAsWallpaper(platform_.wallpaper.get(), platform_.desktop->monitors());
  });
}

void TForm1::MI_CopyToClipboardClick() {
  runCommand([this] {
    document_.copyToClipboard(*platform_.clipboard);
    clipboardUsed_ = true;
  });
}

void TForm1::MI_SaveAsClick() {
  runCommand([this] {
    // A program folder that keeps the user's files is theirs to save in too; an installation's
    // data folder is not, even for root, who may write there.
    const std::string own = folders_.files == folders_.program ? folders_.program : std::string();
    const auto choice = dialogs_.chooseSaveFile(this, SaveDialogFolder(own, PicturesFolder()),
                                                kSaveDialogFilter, saveFilterIndex_);
    if (!choice) {
      return;
    }
    saveFilterIndex_ = choice->filterIndex;
    const std::optional<SaveFormat> format = SaveFormatOfFilter(choice->filterIndex);
    if (!format) {
      return;
    }
    document_.saveComposedAs(ResolveSaveName(choice->fileName, *format), *format);
  });
}

// Reads only the clipboard service's flag: asking the clipboard itself can wait for its owner.
void TForm1::ClipboardCheckTimerTimer() {
  const bool canPaste = platform_.clipboard->hasImage();
  tilePanel_->setToolEnabled(0, canPaste);
  // Not read back from ToolButton0a0: a button of a busy (disabled) window reads as disabled.
  centerPanel_->setToolEnabled(0, canPaste);
  centerPanel_->setToolEnabled(2, !document_.CenterBitmap().empty());
}

// A failed command ends there and is reported in the error box; the window goes on.
void TForm1::runCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    dialogs_.showError(this, e.what());
  }
}

void TForm1::O_AboutClick() {
  TAboutBox box(this, *platform_.shell, folders_.program, ApplicationIconImage());
  box.exec();
}

}  // namespace tessora
