#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/document.h"
#include "engine/feedback.h"
#include "platform/services.h"
#include "ui/dialogs.h"
#include "ui/form_menus.h"
#include "ui/source_panel.h"

class QMenu;
class QTimer;

namespace tessora {

class InfoLabel;
class PaletteBar;
class PictureWorker;
class PreviewImage;
class SettingsKeeper;

/// The main window: the preview, the palette, the tile and center panels, the menus. Its
/// handlers hand every command to the document or to the part it concerns; the document tells
/// it what changed (DocumentView) and reports back through Feedback.
class TForm1 : public QMainWindow, public Feedback, private DocumentView {
  Q_OBJECT

 public:
  /// Where the program's files are: `program` holds "wav/" and "readme.txt", `files` the
  /// settings and the recent-image lists (the two differ when the program folder is read-only
  /// or the program is installed, its own files then in the installation's data folder).
  struct Folders {
    std::string program;
    std::string files;
  };

  TForm1(Platform& platform, Dialogs& dialogs, Folders folders, QWidget* parent = nullptr);
  ~TForm1() override;

  Document& document() { return document_; }
  /// Reads picture files on worker threads from now on, so that the window answers while they
  /// load; the program turns it on before the window shows. Without it each command reads its
  /// picture before it returns.
  void decodeInBackground();
  const std::string& SettingsPath() const;
  bool ClipboardUsed() const { return clipboardUsed_; }
  bool started() const { return started_; }
  const RecentList& TileRecentList() const { return document_.recentList(Source::Tile); }
  const RecentList& CenterRecentList() const { return document_.recentList(Source::Center); }

  // Feedback
  void ShowInfo(const std::string& text, InfoStyle style) override;
  void HideInfo() override;
  void ShowLoadFailure(const std::string& path, const std::string& reason) override;
  void PlayCue(Cue cue) override;
  void SetBusy(bool busy) override;
  void ShowLoading(const std::string& path) override;

  // Start-up and close
  void FormActivate();
  void FormCloseQuery();

  // Layout
  void FormResize();
  void O_ShowAllToolsClick();
  void CoolBar0Change();
  void CoolBar1Change();

  // Sizing and click modes
  void Sizing_AsIsClick();
  void Sizing_FullClick();
  void Sizing_GoldenAreaClick();
  void CSM_NCVerticalResizeClick();
  void CSM_NCHorizontalResizeClick();
  void CSM_NCMakeColorTransparentClick();
  void MainImageMouseDown(MouseButton button, int x, int y);
  void MainImageMouseMove();
  void FormMouseMove();

  // Panel commands
  void ToolButton0a0Click();
  void ToolButton0a1Click();
  void ToolButton0a2Click();
  void ToolButton0a3Click();
  void ToolButton0b0Click();
  void ToolButton1a0Click();
  void ToolButton1a1Click();
  void ToolButton1a2Click();
  void ToolButton1a3Click();
  void ToolButton1b0Click();
  void SaveBox0Click();
  void SaveBox1Click();
  void ColorPanel0Click();
  void ColorPanel1Click();
  void ColorSwitchStaticTextClick();
  void FileDrop0FileDroped(const std::vector<std::string>& paths);
  void FileDrop1FileDroped(const std::vector<std::string>& paths);
  void Image0DblClick();
  void Image1DblClick();
  /// The keyboard's ways in: a picture from the file dialog goes where a dropped one would, a
  /// paste key does what the panel's paste button does while it is enabled.
  void OpenCenterPictureClick();
  void OpenTilePictureClick();
  void PasteCenterKey();
  void PasteTileKey();

  // Background menus
  void TG_TileClick();
  void TG_GradientClick();
  void TG_CenteredGradientClick();
  void TG_HaloClick();
  void TG_CornerGradientClick();
  void TR_HalfClick();
  void TR_DoubleClick();
  void TR_ShrinkCustomClick();
  void TR_GrowCustomClick();
  void Panel0MouseDown(int x);
  void Panel0IMouseDown(int x);
  void Image0MouseDown(int x);

  // Main menu and the clipboard watch
  void MI_SetAsWallpaperClick();
  void MI_CopyToClipboardClick();
  void MI_SaveAsClick();
  void ClipboardCheckTimerTimer();
  void OptionsClick();
  void O_AboutClick();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Changed(DocumentParts parts) override;

  void FormCreate();
  void buildSurface();
  void buildPreview();
  void connectPanels();
  void orderTabs();
  void OpenEntryFolder(SourcePanel& panel);
  void openPicture(Source source, const QString& title);
  void popupAtPointer(QMenu* menu);
  void runCommand(const std::function<void()>& command);
  /// The paste buttons: the clipboard's picture, or the picture file it names read like a drop.
  void pasteInto(Source source);
  /// The wait cursor during a long operation, the busy cursor while a picture loads.
  void followCursor();

  Platform& platform_;
  Dialogs& dialogs_;
  Folders folders_;
  Document document_;
  bool clipboardUsed_ = false;
  int saveFilterIndex_ = 1;
  std::string openFolder_;  ///< where the open dialog opens: the last folder a picture came from
  bool started_ = false;

  QWidget* surface_ = nullptr;
  PreviewImage* mainImage_ = nullptr;
  PaletteBar* palette_ = nullptr;
  InfoLabel* infoLabel_ = nullptr;
  SourcePanel* tilePanel_ = nullptr;
  SourcePanel* centerPanel_ = nullptr;
  FormMenus menus_;
  QTimer* clipboardCheckTimer_ = nullptr;
  std::unique_ptr<SettingsKeeper> settings_;
  std::unique_ptr<PictureWorker> pictureWorker_;
  bool busy_ = false;
  bool loading_ = false;
  bool cursorSet_ = false;
  /// Whether the information label shows the name of the picture being loaded.
  bool loadingShown_ = false;
};

}  // namespace tessora
