#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/document.h"
#include "engine/feedback.h"
#include "platform/services.h"
#include "settings/recentlist.h"
#include "settings/settings.h"
#include "ui/dialogs.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QMimeData;
class QTimer;
class QToolButton;

namespace tessora {

class BandBar;
class ClickLabel;
class PreviewImage;

/// The main window: the preview, the palette, the tile and center panels, the menus. It shows
/// what the document holds and hands every command to it; Feedback and DocumentView are how the
/// document reports back.
class TForm1 : public QMainWindow, public Feedback, private DocumentView {
  Q_OBJECT

 public:
  /// Where the program's files are: `program` holds "wav/" and "readme.txt", `files` the
  /// settings and the recent-image lists (the two differ when the program folder is read-only).
  struct Folders {
    std::string program;
    std::string files;
  };

  /// One panel's controls; index 0 is the tile panel, 1 the center panel.
  struct PanelWidgets {
    QFrame* panel = nullptr;
    BandBar* coolBar = nullptr;
    QComboBox* saveBox = nullptr;
    std::array<QToolButton*, 4> tools{};
    QToolButton* folderButton = nullptr;
    QLabel* pathLabel = nullptr;
    QWidget* imageFrame = nullptr;
    QLabel* image = nullptr;
    QLabel* caption = nullptr;
  };

  TForm1(Platform& platform, Dialogs& dialogs, Folders folders, QWidget* parent = nullptr);
  ~TForm1() override;

  Document& document() { return document_; }
  const std::string& SettingsPath() const { return settingsPath_; }
  bool ClipboardUsed() const { return clipboardUsed_; }
  bool started() const { return started_; }
  const RecentList& TileRecentList() const { return lists_[0]; }
  const RecentList& CenterRecentList() const { return lists_[1]; }

  // Feedback
  void ShowInfo(const std::string& text, InfoStyle style) override;
  void HideInfo() override;
  void ShowLoadFailure(const std::string& path, const std::string& reason) override;
  void PlayCue(Cue cue) override;
  void SetBusy(bool busy) override;

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
  void TilePictureChanged(const Bitmap& tile) override;
  void CenterPictureChanged(const Bitmap& center, bool visible) override;
  void PreviewChanged(const Bitmap& preview) override;

  void FormCreate();
  void applySettings(const Settings& settings);
  QSize logicalScreenSize() const;
  void clampPosition();
  Settings currentSettings() const;
  void buildPreview(QWidget* surface);
  void buildPalette(QWidget* surface);
  void buildInfoLabel(QWidget* surface);
  void buildPanel(int index, QWidget* surface);
  void buildBands(int index);
  void buildPanelLabels(int index);
  void buildMenus();
  void buildPopups();
  void showSwapSymbol();
  void loadRecentLists();
  void mirrorRecentList(int index);
  void selectListEntry(int index, int item);
  void OpenEntryFolder(int index);
  void dropFiles(int index, const std::vector<std::string>& paths);
  void stepBack(int index);
  bool panelEvent(int index, QObject* watched, QEvent* event);
  bool tilePanelPress(QObject* watched, QEvent* event);
  void coolBarChange(int index);
  void popupAtPointer(QMenu* menu);
  void runCommand(const std::function<void()>& command);
  std::string saveDialogFolder() const;
  void syncWidgets();
  void showPath(QLabel* label, const std::string& caption);
  QAction* action(const char* name) const;

  Platform& platform_;
  Dialogs& dialogs_;
  Folders folders_;
  Document document_;
  std::string settingsPath_;
  std::array<std::string, 2> listPaths_;
  std::array<RecentList, 2> lists_;
  bool clipboardUsed_ = false;
  int saveFilterIndex_ = 1;
  bool started_ = false;

  QWidget* surface_ = nullptr;
  PreviewImage* mainImage_ = nullptr;
  QFrame* palettePanel_ = nullptr;
  std::array<ClickLabel*, 2> colorPanels_{};
  ClickLabel* colorSwitch_ = nullptr;
  QLabel* infoLabel_ = nullptr;
  std::array<PanelWidgets, 2> panels_;
  QMenu* sizingPopup_ = nullptr;
  QMenu* tileGradientPopup_ = nullptr;
  QMenu* csmPopup_ = nullptr;
  QMenu* tileResizePopup_ = nullptr;
  QTimer* clipboardCheckTimer_ = nullptr;
};

/// The paths of the local files among dropped data: its URLs, or, where a file manager offers
/// only text, the file URLs or absolute paths on its lines.
std::vector<std::string> DroppedPaths(const QMimeData& data);

/// The folder the save dialog opens in: the program's folder, or `fallback` (the user's pictures
/// folder) where the program's folder cannot be written, as for an installed program.
std::string SaveDialogFolder(const std::string& programFolder, const std::string& fallback);

}  // namespace tessora
