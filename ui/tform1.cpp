#include "ui/tform1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDropEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <exception>
#include <utility>

#include <unistd.h>

#include "engine/rounding.h"
#include "imageio/image_files.h"
#include "platform/bitmap_qimage.h"
#include "settings/filelocations.h"
#include "settings/settingserror.h"
#include "settings/texthelpers.h"
#include "ui/about_box.h"
#include "ui/band_bar.h"
#include "ui/click_label.h"
#include "ui/glyphs.h"
#include "ui/label_text.h"
#include "ui/preview_image.h"

namespace tessora {
namespace {

using window_geometry::kClientHeight;
using window_geometry::kClientWidth;
constexpr int kPathLabelLength = 74;
constexpr const char* kNoPathsStored = "no paths stored";
constexpr int kClipboardCheckInterval = 300;

using Handler = void (TForm1::*)();

enum MenuFlag : unsigned {
  kCheckable = 1U,
  kChecked = 2U,
  kHidden = 4U,
  kDisabled = 8U,
  kWallpaperGlyph = 16U,
};

struct MenuEntry {
  const char* name;
  const char* caption;
  Handler handler;
  unsigned flags;
};

const MenuEntry kMainImageMenu[] = {
    {"MI_SetAsWallpaper", "Set as Wallpaper", &TForm1::MI_SetAsWallpaperClick, kWallpaperGlyph},
    {"MI_CopyToClipboard", "Copy to Clipboard", &TForm1::MI_CopyToClipboardClick, 0},
    {"MI_SaveAs", "Save As ...", &TForm1::MI_SaveAsClick, 0},
};

const MenuEntry kOptionsMenu[] = {
    {"O_UseEntireDesktopArea", "part of wallpaper under taskbar", &TForm1::OptionsClick,
     kCheckable},
    {"O_SoundEffects", "sound effects", &TForm1::OptionsClick, kCheckable | kChecked},
    {"O_RetainAspectRatio", "retain aspect ratio", &TForm1::OptionsClick, kCheckable},
    {"O_ShowAllTools", "show all tools", &TForm1::O_ShowAllToolsClick, kCheckable},
    {"O_About", "about", &TForm1::O_AboutClick, 0},
};

const MenuEntry kSizingMenu[] = {
    {"Sizing_AsIs", "as is", &TForm1::Sizing_AsIsClick, 0},
    {"Sizing_Full", "full", &TForm1::Sizing_FullClick, kHidden},
    {"Sizing_GoldenArea", "default", &TForm1::Sizing_GoldenAreaClick, 0},
};

const MenuEntry kTileGradientMenu[] = {
    {"TG_Tile", "tile", &TForm1::TG_TileClick, 0},
    {"TG_Gradient", "vertical gradient (2c)", &TForm1::TG_GradientClick, 0},
    {"TG_CenteredGradient", "centered gradient (2c)", &TForm1::TG_CenteredGradientClick, kHidden},
    {"TG_Halo", "halo (2c)", &TForm1::TG_HaloClick, 0},
    {"TG_CornerGradient", "corner gradient", &TForm1::TG_CornerGradientClick, 0},
};

const MenuEntry kCsmMenu[] = {
    {"CSM_NCVerticalResize", "resize height", &TForm1::CSM_NCVerticalResizeClick, 0},
    {"CSM_NCHorizontalResize", "resize width", &TForm1::CSM_NCHorizontalResizeClick, 0},
    {"CSM_NCMakeColorTransparent", "mark transparent color",
     &TForm1::CSM_NCMakeColorTransparentClick, 0},
};

const MenuEntry kTileResizeMenu[] = {
    {"TR_Half", "shrink to 50%", &TForm1::TR_HalfClick, 0},
    {"TR_Double", "grow by 200%", &TForm1::TR_DoubleClick, 0},
    {"TR_ShrinkCustom", "(click on panel...)", &TForm1::TR_ShrinkCustomClick, kDisabled},
    {"TR_GrowCustom", "(click on panel...)", &TForm1::TR_GrowCustomClick, kDisabled | kHidden},
};

struct ToolEntry {
  const char* name;
  Glyph glyph;
  Handler handler;
};

const ToolEntry kTools[2][4] = {
    {{"ToolButton0a0", Glyph::Paste, &TForm1::ToolButton0a0Click},
     {"ToolButton0a1", Glyph::Clear, &TForm1::ToolButton0a1Click},
     {"ToolButton0a2", Glyph::Resize, &TForm1::ToolButton0a2Click},
     {"ToolButton0a3", Glyph::Gradient, &TForm1::ToolButton0a3Click}},
    {{"ToolButton1a0", Glyph::Paste, &TForm1::ToolButton1a0Click},
     {"ToolButton1a1", Glyph::Clear, &TForm1::ToolButton1a1Click},
     {"ToolButton1a2", Glyph::Resize, &TForm1::ToolButton1a2Click},
     {"ToolButton1a3", Glyph::ClickModes, &TForm1::ToolButton1a3Click}},
};

/// What each panel says and does besides its geometry.
struct PanelWiring {
  const char* hint;
  Handler folderHandler;
  Handler listHandler;
};

const PanelWiring kPanelWiring[2] = {
    {"(drop a tile)", &TForm1::ToolButton0b0Click, &TForm1::SaveBox0Click},
    {"(drop a tessora)", &TForm1::ToolButton1b0Click, &TForm1::SaveBox1Click},
};

QRect toQRect(const Place& p) {
  return QRect(p.left, p.top, p.width, p.height);
}

/// Runs a function when the scope ends, however it ends.
class OnExit {
 public:
  explicit OnExit(std::function<void()> f) : f_(std::move(f)) {}
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;
  ~OnExit() { f_(); }

 private:
  std::function<void()> f_;
};

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

QColor toQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

// The Windows faces the layout names are not on Linux: these are their nearest kin.
QFont smallFont(int pixelSize) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  return font;
}

QFont fixedFont(int pointSize) {
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(pointSize);
  return font;
}

void fillMenu(TForm1* form, QMenu* menu, const MenuEntry* entries, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const MenuEntry& e = entries[i];
    QAction* a = menu->addAction(QString::fromLatin1(e.caption));
    a->setObjectName(QString::fromLatin1(e.name));
    a->setCheckable((e.flags & kCheckable) != 0);
    a->setChecked((e.flags & kChecked) != 0);
    a->setVisible((e.flags & kHidden) == 0);
    a->setEnabled((e.flags & kDisabled) == 0);
    if ((e.flags & kWallpaperGlyph) != 0) {
      a->setIcon(QIcon(QPixmap::fromImage(GlyphImage(Glyph::Wallpaper))));
    }
    if (e.handler != nullptr) {
      QObject::connect(a, &QAction::triggered, form, e.handler);
    }
  }
}

template <std::size_t N>
QMenu* makePopup(TForm1* form, const char* name, const MenuEntry (&entries)[N]) {
  auto* menu = new QMenu(form);
  menu->setObjectName(QString::fromLatin1(name));
  fillMenu(form, menu, entries, N);
  return menu;
}

QToolButton* makeToolButton(QWidget* parent, const char* name, Glyph glyph, int x) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setIcon(QIcon(QPixmap::fromImage(GlyphImage(glyph))));
  button->setIconSize(QSize(16, 16));
  button->setAutoRaise(true);
  button->setGeometry(x, 1, 23, 22);
  return button;
}

}  // namespace

TForm1::TForm1(Platform& platform, Dialogs& dialogs, Folders folders, QWidget* parent)
    : QMainWindow(parent),
      platform_(platform),
      dialogs_(dialogs),
      folders_(std::move(folders)),
      document_(*this, Layout{}) {
  setWindowTitle(QStringLiteral("Tessora"));
  setWindowIcon(QIcon(QPixmap::fromImage(WindowIconImage())));
  QFont face = font();
  face.setPointSize(8);
  setFont(face);
  surface_ = new QWidget(this);
  surface_->setObjectName(QStringLiteral("Surface"));
  surface_->setFixedSize(kClientWidth, kClientHeight);
  surface_->setMouseTracking(true);
  surface_->installEventFilter(this);
  setCentralWidget(surface_);
  buildPreview(surface_);
  buildPalette(surface_);
  buildInfoLabel(surface_);
  buildPanel(0, surface_);
  buildPanel(1, surface_);
  buildMenus();
  buildPopups();
  clipboardCheckTimer_ = new QTimer(this);
  clipboardCheckTimer_->setObjectName(QStringLiteral("ClipboardCheckTimer"));
  clipboardCheckTimer_->setInterval(kClipboardCheckInterval);
  connect(clipboardCheckTimer_, &QTimer::timeout, this, &TForm1::ClipboardCheckTimerTimer);
  clipboardCheckTimer_->start();
  // Fixed single border: the client keeps its size and there is nothing to maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(sizeHint());
  document_.setView(this);
  FormResize();
  FormCreate();
}

TForm1::~TForm1() {
  document_.setView(nullptr);
}

// --- Building the window ---

void TForm1::buildPreview(QWidget* surface) {
  auto* mainPanel = new QFrame(surface);
  mainPanel->setObjectName(QStringLiteral("MainPanel"));
  mainPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  mainPanel->setLineWidth(1);
  mainPanel->setGeometry(0, 0, kClientWidth, 233);
  mainImage_ = new PreviewImage(mainPanel);
  mainImage_->setObjectName(QStringLiteral("MainImage"));
  mainImage_->setGeometry(toQRect(window_geometry::kPreview));
  connect(mainImage_, &PreviewImage::mouseDown, this, &TForm1::MainImageMouseDown);
  connect(mainImage_, &PreviewImage::mouseMoved, this, &TForm1::MainImageMouseMove);
}

void TForm1::buildPalette(QWidget* surface) {
  palettePanel_ = new QFrame(surface);
  palettePanel_->setObjectName(QStringLiteral("PallettePanel"));
  palettePanel_->setGeometry(117, 235, 97, 20);
  const char* names[] = {"ColorPanel0", "ColorPanel1"};
  const Handler clicks[] = {&TForm1::ColorPanel0Click, &TForm1::ColorPanel1Click};
  for (int i = 0; i < 2; ++i) {
    auto* swatch = new ClickLabel(palettePanel_);
    swatch->setObjectName(QString::fromLatin1(names[i]));
    swatch->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    swatch->setAutoFillBackground(true);
    swatch->setGeometry(i == 0 ? 0 : 64, 0, 33, 20);
    connect(swatch, &ClickLabel::clicked, this, clicks[i]);
    colorPanels_[static_cast<std::size_t>(i)] = swatch;
  }
  colorSwitch_ = new ClickLabel(palettePanel_);
  colorSwitch_->setObjectName(QStringLiteral("ColorSwitchStaticText"));
  colorSwitch_->setGeometry(38, 0, 22, 25);
  colorSwitch_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  colorSwitch_->setText(QStringLiteral("`"));
  QFont symbol(QStringLiteral("Webdings"));
  symbol.setPixelSize(21);
  colorSwitch_->setFont(symbol);
  connect(colorSwitch_, &ClickLabel::clicked, this, &TForm1::ColorSwitchStaticTextClick);
}

void TForm1::buildInfoLabel(QWidget* surface) {
  infoLabel_ = new QLabel(surface);
  infoLabel_->setObjectName(QStringLiteral("InfoLabel"));
  infoLabel_->setGeometry(224, 236, 122, 23);
  infoLabel_->setAlignment(Qt::AlignCenter);
  infoLabel_->setWordWrap(true);
  infoLabel_->setTextFormat(Qt::PlainText);
  infoLabel_->setAttribute(Qt::WA_TranslucentBackground);
  infoLabel_->setFont(smallFont(9));
}

void TForm1::buildPanel(int index, QWidget* surface) {
  const PanelPlaces& g = window_geometry::kPanels[index];
  PanelWidgets& w = panels_[static_cast<std::size_t>(index)];
  const QString n = QString::number(index);
  w.panel = new QFrame(surface);
  w.panel->setObjectName(QStringLiteral("Panel") + n);
  w.panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  w.panel->setGeometry(toQRect(g.panel));
  w.panel->setAcceptDrops(true);
  w.panel->installEventFilter(this);
  buildBands(index);
  buildPanelLabels(index);
}

// The tool row and the list bar, in the panel's band bar.
void TForm1::buildBands(int index) {
  const PanelPlaces& g = window_geometry::kPanels[index];
  const PanelWiring& wiring = kPanelWiring[index];
  PanelWidgets& w = panels_[static_cast<std::size_t>(index)];
  const QString n = QString::number(index);
  auto* toolRow = new QWidget;
  toolRow->setObjectName(QStringLiteral("ToolBar%1a").arg(n));
  for (int t = 0; t < 4; ++t) {
    const ToolEntry& e = kTools[index][t];
    QToolButton* b = makeToolButton(toolRow, e.name, e.glyph, t * 23);
    connect(b, &QToolButton::clicked, this, e.handler);
    w.tools[static_cast<std::size_t>(t)] = b;
  }
  w.tools[3]->setCheckable(index == 1);

  auto* listBar = new QWidget;
  listBar->setObjectName(QStringLiteral("ToolBar%1b").arg(n));
  w.saveBox = new QComboBox(listBar);
  w.saveBox->setObjectName(QStringLiteral("SaveBox") + n);
  w.saveBox->setGeometry(0, 3, 120, 19);
  w.saveBox->setFont(smallFont(9));
  connect(w.saveBox, qOverload<int>(&QComboBox::activated), this, wiring.listHandler);
  w.folderButton = makeToolButton(listBar, "", Glyph::Folder, 121);
  w.folderButton->setObjectName(QStringLiteral("ToolButton%1b0").arg(n));
  connect(w.folderButton, &QToolButton::clicked, this, wiring.folderHandler);

  w.coolBar = new BandBar(toolRow, g.band0Width, listBar, g.band1Width, g.panel.width - 2, w.panel);
  w.coolBar->setObjectName(QStringLiteral("CoolBar") + n);
  w.coolBar->move(1, 1);
  connect(w.coolBar, &BandBar::changed, this,
          index == 0 ? &TForm1::CoolBar0Change : &TForm1::CoolBar1Change);
}

// The path label, the picture and the hint under it.
void TForm1::buildPanelLabels(int index) {
  const PanelPlaces& g = window_geometry::kPanels[index];
  PanelWidgets& w = panels_[static_cast<std::size_t>(index)];
  const QString n = QString::number(index);
  w.pathLabel = new QLabel(w.panel);
  w.pathLabel->setObjectName(QStringLiteral("RxLabel%1b").arg(n));
  w.pathLabel->setGeometry(toQRect(g.pathLabel));
  w.pathLabel->setFont(smallFont(8));
  w.pathLabel->setWordWrap(true);
  w.pathLabel->setTextFormat(Qt::PlainText);
  w.pathLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  w.pathLabel->lower();

  w.imageFrame = new QWidget(w.panel);
  w.imageFrame->setObjectName(QStringLiteral("Panel%1I").arg(n));
  w.imageFrame->setGeometry(toQRect(g.imageFrame));
  w.imageFrame->installEventFilter(this);
  w.image = new QLabel(w.imageFrame);
  w.image->setObjectName(QStringLiteral("Image") + n);
  w.image->setGeometry(toQRect(g.image));
  w.image->setAlignment(Qt::AlignCenter);
  w.image->setVisible(index == 0);
  w.image->installEventFilter(this);

  w.caption = new QLabel(w.panel);
  w.caption->setObjectName(QStringLiteral("RxLabel") + n);
  w.caption->setGeometry(1, g.panel.height - 11, g.panel.width - 2, 10);
  w.caption->setAlignment(Qt::AlignCenter);
  w.caption->setFont(smallFont(8));
}

void TForm1::buildMenus() {
  QMenu* mainImage = menuBar()->addMenu(QStringLiteral("Main Image"));
  mainImage->setObjectName(QStringLiteral("O_MainImage"));
  fillMenu(this, mainImage, kMainImageMenu, std::size(kMainImageMenu));
  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  options->setObjectName(QStringLiteral("O_Options"));
  fillMenu(this, options, kOptionsMenu, std::size(kOptionsMenu));
}

void TForm1::buildPopups() {
  sizingPopup_ = makePopup(this, "SizingPopupMenu", kSizingMenu);
  tileGradientPopup_ = makePopup(this, "TileGradientPopupMenu", kTileGradientMenu);
  csmPopup_ = makePopup(this, "CSMPopupMenu", kCsmMenu);
  tileResizePopup_ = makePopup(this, "TileResizePopupMenu", kTileResizeMenu);
}

QAction* TForm1::action(const char* name) const {
  return findChild<QAction*>(QString::fromLatin1(name));
}

// --- Start-up and close ---

void TForm1::FormCreate() {
  settingsPath_ = folders_.files + kSettingsFileName;
  Settings settings;
  try {
    const bool existed = LoadSettings(settingsPath_, settings);
    applySettings(settings);
    if (!existed) {
      const QSize screen = logicalScreenSize();
      const QSize outer = frameGeometry().size();
      move(RoundInt((screen.width() - outer.width()) / 2.0L),
           RoundInt((screen.height() - outer.height()) / 2.0L));
    }
    clampPosition();
  } catch (const SettingsError& e) {
    // The window still comes up with the keys read so far; the report waits for the event loop
    // so that it has a window to stand in front of.
    applySettings(settings);
    const std::string message = e.what();
    QTimer::singleShot(0, this, [this, message] { dialogs_.showError(this, message); });
  }
}

// The desktop service measures in physical pixels; window positions are logical ones.
QSize TForm1::logicalScreenSize() const {
  const DesktopGeometry desktop = platform_.desktop->geometry();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const long double ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  return QSize(RoundInt(desktop.screenWidth / ratio), RoundInt(desktop.screenHeight / ratio));
}

// Only the top-left corner has to stay 20 pixels inside the screen: a window standing mostly
// beyond the right or bottom edge is the user's choice.
void TForm1::clampPosition() {
  const QSize screen = logicalScreenSize();
  int top = y();
  int left = x();
  if (top < 0 || top > screen.height() - 20) {
    top = 0;
  }
  if (left < 0 || left > screen.width() - 20) {
    left = 0;
  }
  move(left, top);
}

void TForm1::applySettings(const Settings& settings) {
  move(settings.left, settings.top);
  panels_[0].coolBar->setBand1OnOwnRow(settings.hideTileDirectoryBar);
  panels_[1].coolBar->setBand1OnOwnRow(settings.hideTessoraDirectoryBar);
  CoolBar0Change();
  CoolBar1Change();
  action("O_SoundEffects")->setChecked(settings.useSoundEffects);
  action("O_UseEntireDesktopArea")->setChecked(settings.useEntireDesktopArea);
  action("O_RetainAspectRatio")->setChecked(settings.retainAspectRatio);
  action("O_ShowAllTools")->setChecked(settings.showAllTools);
  OptionsClick();
  document_.setDeepBackgroundColorValue(settings.DeepBackgroundColor);
}

Settings TForm1::currentSettings() const {
  Settings s;
  s.top = y();
  s.left = x();
  s.hideTileDirectoryBar = panels_[0].coolBar->band1OnOwnRow();
  s.hideTessoraDirectoryBar = panels_[1].coolBar->band1OnOwnRow();
  const Options& o = document_.options();
  s.useSoundEffects = o.soundEffects;
  s.useEntireDesktopArea = o.useEntireDesktopArea;
  s.retainAspectRatio = o.retainAspectRatio;
  s.showAllTools = o.showAllTools;
  s.DeepBackgroundColor = document_.DeepBackgroundColor();
  return s;
}

void TForm1::FormActivate() {
  if (started_) {
    return;
  }
  started_ = true;
  clipboardUsed_ = false;
  panels_[0].caption->setText(QString::fromLatin1(kPanelWiring[0].hint));
  panels_[1].caption->setText(QString::fromLatin1(kPanelWiring[1].hint));
  showSwapSymbol();
  if (document_.options().showAllTools) {
    O_ShowAllToolsClick();
  }
  listPaths_[0] = folders_.files + kTileListFileName;
  listPaths_[1] = folders_.files + kCenterListFileName;
  for (PanelWidgets& w : panels_) {
    w.saveBox->setPlaceholderText(QString::fromLatin1(kNoPathsStored));
  }
  document_.prepareStart(platform_.desktop->geometry());
  loadRecentLists();
  document_.resetTile();
  for (int i = 0; i < 2; ++i) {
    if (lists_[static_cast<std::size_t>(i)].count() > 0) {
      selectListEntry(i, 0);
    }
  }
  syncWidgets();
}

void TForm1::showSwapSymbol() {
  if (platform_.desktop->fontInstalled("Webdings")) {
    return;
  }
  colorSwitch_->move(colorSwitch_->x(), colorSwitch_->y() + 4);
  colorSwitch_->setFont(fixedFont(12));
  colorSwitch_->setText(QStringLiteral("<->"));
}

// The center list comes first, so a failure there is the one reported; each box mirrors its list
// even when the read fails half-way.
void TForm1::loadRecentLists() {
  for (const int i : {1, 0}) {
    const OnExit mirror([this, i] { mirrorRecentList(i); });
    const auto at = static_cast<std::size_t>(i);
    LoadRecentList(listPaths_[at], lists_[at]);
  }
}

void TForm1::FormCloseQuery() {
  try {
    SaveSettings(settingsPath_, currentSettings());
  } catch (const SettingsError& e) {
    // Reported, but the window still closes: a read-only folder must not keep the user in.
    dialogs_.showError(this, e.what());
  }
  if (clipboardUsed_ &&
      dialogs_.askYesNo(this, QStringLiteral("Tessora is closing"),
                        QStringLiteral("Do you want to clear the clipboard (to save system "
                                       "resources)?"))) {
    platform_.clipboard->clear();
  }
}

bool TForm1::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    FormActivate();
  }
  return QMainWindow::event(event);
}

// Without a window manager a shown window may never be activated; the start-up must run anyway.
void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  QTimer::singleShot(0, this, &TForm1::FormActivate);
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormCloseQuery();
  event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (tilePanelPress(watched, event) || panelEvent(0, watched, event) ||
      panelEvent(1, watched, event)) {
    return true;
  }
  if (watched == surface_) {
    if (event->type() == QEvent::Resize) {
      FormResize();
    } else if (event->type() == QEvent::MouseMove) {
      const auto* move = static_cast<QMouseEvent*>(event);
      if (surface_->childAt(move->position().toPoint()) == nullptr) {
        FormMouseMove();
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- Layout ---

void TForm1::FormResize() {
  QFrame* p0 = panels_[0].panel;
  QFrame* p1 = panels_[1].panel;
  p1->resize(p0->width(), p1->height());
  panels_[1].caption->resize(p1->width() - 2, panels_[1].caption->height());
  const int clientWidth = surface_->width();
  palettePanel_->move(RoundInt((clientWidth - palettePanel_->width()) / 2.0L), palettePanel_->y());
  const int gap = RoundInt((clientWidth - p0->width() - p1->width()) / 3.0L);
  p0->move(gap, p0->y());
  p1->move(p0->x() + p0->width() + gap, p1->y());
}

void TForm1::O_ShowAllToolsClick() {
  OptionsClick();
  QAction* full = action("Sizing_Full");
  full->setVisible(action("O_ShowAllTools")->isChecked());
  action("TG_CenteredGradient")->setVisible(full->isVisible());
}

void TForm1::coolBarChange(int index) {
  const PanelWidgets& w = panels_[static_cast<std::size_t>(index)];
  w.pathLabel->setVisible(!w.coolBar->band1OnOwnRow());
}

void TForm1::CoolBar0Change() {
  coolBarChange(0);
}

void TForm1::CoolBar1Change() {
  coolBarChange(1);
}

// --- Feedback ---

void TForm1::ShowInfo(const std::string& text, InfoStyle style) {
  switch (style) {
    case InfoStyle::Fixed:
      infoLabel_->setFont(fixedFont(9));
      break;
    case InfoStyle::Small: {
      QFont small = smallFont(9);
      small.setPointSize(7);
      infoLabel_->setFont(small);
      break;
    }
  }
  infoLabel_->show();
  // The label has room for two short lines; a longer report (why no wallpaper service took the
  // file) shows its start with an ellipsis and can still be read whole.
  infoLabel_->setText(FitStart(*infoLabel_, q(text)));
  infoLabel_->setToolTip(q(text));
}

void TForm1::HideInfo() {
  infoLabel_->hide();
}

// Whatever the reader's complaint, the user sees one word and hears one cue.
void TForm1::ShowLoadFailure(const std::string&, const std::string&) {
  PlayCue(Cue::Error);
  ShowInfo("INVALID", InfoStyle::Fixed);
}

void TForm1::PlayCue(Cue cue) {
  if (!document_.options().soundEffects) {
    return;
  }
  platform_.sound->play(folders_.program + "wav/" + CueFileName(cue));
}

void TForm1::SetBusy(bool busy) {
  if (busy) {
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
    setEnabled(true);
  }
}

// --- Document views ---

void TForm1::TilePictureChanged(const Bitmap& tile) {
  QLabel* image = panels_[0].image;
  image->setPixmap(QPixmap::fromImage(
      ToQImage(tile).scaled(image->size(), Qt::KeepAspectRatio, Qt::FastTransformation)));
}

void TForm1::CenterPictureChanged(const Bitmap& center, bool visible) {
  QLabel* image = panels_[1].image;
  image->setVisible(visible);
  image->setPixmap(visible ? QPixmap::fromImage(ToQImage(center).scaled(
                                 image->size(), Qt::KeepAspectRatio, Qt::FastTransformation))
                           : QPixmap());
}

void TForm1::PreviewChanged(const Bitmap& preview) {
  mainImage_->setPixmap(QPixmap::fromImage(ToQImage(preview)));
}

void TForm1::syncWidgets() {
  for (std::size_t i = 0; i < 2; ++i) {
    QPalette pal = colorPanels_[i]->palette();
    pal.setColor(QPalette::Window, toQColor(i == 0 ? document_.color0() : document_.color1()));
    colorPanels_[i]->setPalette(pal);
  }
  panels_[0].tools[1]->setEnabled(document_.tileToolsEnabled());
  panels_[0].tools[2]->setEnabled(document_.tileToolsEnabled());
  for (std::size_t t = 1; t < 4; ++t) {
    panels_[1].tools[t]->setEnabled(document_.centerToolsEnabled());
  }
  panels_[1].tools[3]->setChecked(document_.PreviewClickMode() != ClickMode::PickColors);
  showPath(panels_[0].pathLabel, document_.tileCaption());
  showPath(panels_[1].pathLabel, document_.centerCaption());
  CoolBar0Change();
  CoolBar1Change();
  QAction* shrink = action("TR_ShrinkCustom");
  shrink->setText(q(document_.shrinkCustomCaption()));
  shrink->setEnabled(document_.customScaleArmed());
  QAction* grow = action("TR_GrowCustom");
  grow->setText(q(document_.growCustomCaption()));
  grow->setEnabled(document_.customScaleArmed());
  grow->setVisible(document_.customScaleArmed());
}

// The shortened path is all the label has room for; the whole one stays within reach.
void TForm1::showPath(QLabel* label, const std::string& caption) {
  label->setText(FitPath(*label, q(ShortenText(caption, kPathLabelLength))));
  label->setToolTip(q(caption));
}

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
  syncWidgets();
}

void TForm1::CSM_NCHorizontalResizeClick() {
  document_.armClickMode(ClickMode::ResizeWidth);
  syncWidgets();
}

void TForm1::CSM_NCMakeColorTransparentClick() {
  document_.armClickMode(ClickMode::MarkTransparent);
  syncWidgets();
}

void TForm1::MainImageMouseDown(MouseButton button, int x, int y) {
  document_.previewMouseDown(button, x, y);
  syncWidgets();
}

void TForm1::MainImageMouseMove() {
  document_.previewMouseMove();
}

void TForm1::FormMouseMove() {
  document_.formMouseMove();
  syncWidgets();
}

// --- Panel commands ---

void TForm1::popupAtPointer(QMenu* menu) {
  menu->popup(QCursor::pos());
}

void TForm1::ToolButton0a0Click() {
  const std::optional<Bitmap> clip = platform_.clipboard->image();
  document_.pasteTile(clip ? &*clip : nullptr);
  syncWidgets();
}

void TForm1::ToolButton0a1Click() {
  document_.resetTile();
  syncWidgets();
}

void TForm1::ToolButton0a2Click() {
  syncWidgets();
  popupAtPointer(tileResizePopup_);
}

void TForm1::ToolButton0a3Click() {
  popupAtPointer(tileGradientPopup_);
}

void TForm1::ToolButton0b0Click() {
  OpenEntryFolder(0);
}

void TForm1::ToolButton1a0Click() {
  const std::optional<Bitmap> clip = platform_.clipboard->image();
  document_.pasteCenter(clip ? &*clip : nullptr);
  syncWidgets();
}

void TForm1::ToolButton1a1Click() {
  document_.ClearCenter();
  syncWidgets();
}

void TForm1::ToolButton1a2Click() {
  popupAtPointer(sizingPopup_);
}

// The button toggles its own down state when clicked; the armed mode decides it instead.
void TForm1::ToolButton1a3Click() {
  syncWidgets();
  popupAtPointer(csmPopup_);
}

void TForm1::ToolButton1b0Click() {
  OpenEntryFolder(1);
}

void TForm1::SaveBox0Click() {
  selectListEntry(0, panels_[0].saveBox->currentIndex());
}

void TForm1::SaveBox1Click() {
  selectListEntry(1, panels_[1].saveBox->currentIndex());
}

void TForm1::mirrorRecentList(int index) {
  const auto at = static_cast<std::size_t>(index);
  QComboBox* box = panels_[at].saveBox;
  const QSignalBlocker quiet(box);
  box->clear();
  for (const std::string& name : lists_[at].displayNames()) {
    box->addItem(q(name));
  }
  box->setCurrentIndex(lists_[at].selectedIndex());
}

void TForm1::selectListEntry(int index, int item) {
  const auto at = static_cast<std::size_t>(index);
  std::string path;
  {
    const OnExit mirror([this, index] { mirrorRecentList(index); });
    path = selectRecentEntry(lists_[at], item, listPaths_[at]);
  }
  if (index == 0) {
    document_.AssignTileFile(path);
  } else {
    document_.AssignCenterFile(path);
  }
  syncWidgets();
}

void TForm1::OpenEntryFolder(int index) {
  const auto at = static_cast<std::size_t>(index);
  RecentList& list = lists_[at];
  if (list.selectedIndex() < 0 || panels_[at].saveBox->currentIndex() < 0) {
    if (list.count() == 0) {
      return;
    }
    list.select(0);
    mirrorRecentList(index);
  }
  PlayCue(Cue::OpenFolder);
  const std::string& entry = list.entries()[static_cast<std::size_t>(list.selectedIndex())];
  platform_.shell->openFolder(entry.substr(0, entry.rfind('/') + 1));
}

void TForm1::ColorPanel0Click() {
  if (const auto c = dialogs_.chooseColor(this, document_.color0())) {
    document_.setColor0(*c);
  }
  syncWidgets();
}

void TForm1::ColorPanel1Click() {
  if (const auto c = dialogs_.chooseColor(this, document_.color1())) {
    document_.setColor1(*c);
  }
  syncWidgets();
}

void TForm1::ColorSwitchStaticTextClick() {
  document_.swapColors();
  syncWidgets();
}

// The panels take files dropped from a file manager; the pictures step back through the lists.
bool TForm1::panelEvent(int index, QObject* watched, QEvent* event) {
  const PanelWidgets& w = panels_[static_cast<std::size_t>(index)];
  if (watched == w.image && event->type() == QEvent::MouseButtonDblClick) {
    index == 0 ? Image0DblClick() : Image1DblClick();
    return true;
  }
  if (watched != w.panel) {
    return false;
  }
  if (event->type() == QEvent::DragEnter) {
    auto* enter = static_cast<QDragEnterEvent*>(event);
    if (!DroppedPaths(*enter->mimeData()).empty()) {
      enter->acceptProposedAction();
    }
    return true;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const std::vector<std::string> paths = DroppedPaths(*drop->mimeData());
    drop->acceptProposedAction();
    index == 0 ? FileDrop0FileDroped(paths) : FileDrop1FileDroped(paths);
    return true;
  }
  return false;
}

// Presses anywhere on the tile panel's surface, its picture frame or its picture pick the custom
// scaling factor; each is taken in the panel's coordinates.
bool TForm1::tilePanelPress(QObject* watched, QEvent* event) {
  const PanelWidgets& w = panels_[0];
  if (event->type() != QEvent::MouseButtonPress ||
      (watched != w.panel && watched != w.imageFrame && watched != w.image)) {
    return false;
  }
  const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
  if (watched == w.panel) {
    Panel0MouseDown(x);
  } else if (watched == w.imageFrame) {
    Panel0IMouseDown(x);
  } else {
    Image0MouseDown(x);
  }
  return true;
}

void TForm1::Panel0MouseDown(int x) {
  document_.SetTileResizeFraction(x);
  syncWidgets();
}

void TForm1::Panel0IMouseDown(int x) {
  Panel0MouseDown(x + panels_[0].imageFrame->x());
}

// On the plain block a cleared panel shows, the picture also chooses the deep background colour.
void TForm1::Image0MouseDown(int x) {
  Panel0MouseDown(x + panels_[0].image->x() + panels_[0].imageFrame->x());
  if (!panels_[0].tools[1]->isEnabled()) {
    if (const auto c = dialogs_.chooseColor(this, document_.DeepBackgroundColor())) {
      document_.setDeepBackgroundColor(*c);
      syncWidgets();
    }
  }
}

void TForm1::FileDrop0FileDroped(const std::vector<std::string>& paths) {
  dropFiles(0, paths);
}

void TForm1::FileDrop1FileDroped(const std::vector<std::string>& paths) {
  dropFiles(1, paths);
}

void TForm1::dropFiles(int index, const std::vector<std::string>& paths) {
  if (paths.empty()) {
    return;
  }
  const std::string& path = paths.front();
  const bool loaded =
      index == 0 ? document_.AssignTileFile(path) : document_.AssignCenterFile(path);
  syncWidgets();
  if (loaded) {
    const OnExit mirror([this, index] { mirrorRecentList(index); });
    const auto at = static_cast<std::size_t>(index);
    PushRecentEntry(path, listPaths_[at], lists_[at]);
  }
}

void TForm1::Image0DblClick() {
  runCommand([this] { stepBack(0); });
}

void TForm1::Image1DblClick() {
  runCommand([this] { stepBack(1); });
}

void TForm1::stepBack(int index) {
  const auto at = static_cast<std::size_t>(index);
  {
    const OnExit mirror([this, index] { mirrorRecentList(index); });
    RemoveRecentEntry(lists_[at], listPaths_[at]);
  }
  if (lists_[at].selectedIndex() >= 0) {
    selectListEntry(index, lists_[at].selectedIndex());
  } else if (index == 0) {
    document_.resetTile();
  } else {
    document_.ClearCenter();
  }
  syncWidgets();
}

// --- Background menus ---

void TForm1::TG_TileClick() {
  document_.generateBackground(BackgroundKind::Tile);
  syncWidgets();
}

void TForm1::TG_GradientClick() {
  document_.generateBackground(BackgroundKind::Vertical);
  syncWidgets();
}

void TForm1::TG_CenteredGradientClick() {
  document_.generateBackground(BackgroundKind::Centered);
  syncWidgets();
}

void TForm1::TG_HaloClick() {
  document_.generateBackground(BackgroundKind::Halo);
  syncWidgets();
}

void TForm1::TG_CornerGradientClick() {
  document_.generateBackground(BackgroundKind::Corner);
  syncWidgets();
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

// --- Main menu ---

void TForm1::MI_SetAsWallpaperClick() {
  runCommand([this] { document_.setAsWallpaper(platform_.wallpaper.get()); });
}

void TForm1::MI_CopyToClipboardClick() {
  runCommand([this] {
    platform_.clipboard->setImage(document_.ComposedBitmap());
    clipboardUsed_ = true;
    PlayCue(Cue::ImageAssign);
  });
}

void TForm1::MI_SaveAsClick() {
  runCommand([this] {
    const auto choice =
        dialogs_.chooseSaveFile(this, saveDialogFolder(), kSaveDialogFilter, saveFilterIndex_);
    if (!choice) {
      return;
    }
    saveFilterIndex_ = choice->filterIndex;
    const std::optional<std::string> name = ResolveSaveName(choice->fileName, choice->filterIndex);
    if (!name) {
      return;
    }
    document_.saveComposedAs(*name, choice->filterIndex);
  });
}

std::string TForm1::saveDialogFolder() const {
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty() || !QDir(pictures).exists()) {
    pictures = QDir::homePath();
  }
  return SaveDialogFolder(folders_.program, pictures.toStdString() + "/");
}

// Reads only the clipboard service's flag: asking the clipboard itself can wait for its owner.
void TForm1::ClipboardCheckTimerTimer() {
  const bool canPaste = platform_.clipboard->hasImage();
  panels_[0].tools[0]->setEnabled(canPaste);
  // Not read back from ToolButton0a0: a button of a busy (disabled) window reads as disabled.
  panels_[1].tools[0]->setEnabled(canPaste);
  panels_[1].tools[2]->setEnabled(!document_.CenterBitmap().empty());
}

// A failed command ends there and is reported in the error box; the window goes on.
void TForm1::runCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    dialogs_.showError(this, e.what());
  }
}

void TForm1::OptionsClick() {
  Options& o = document_.options();
  o.useEntireDesktopArea = action("O_UseEntireDesktopArea")->isChecked();
  o.soundEffects = action("O_SoundEffects")->isChecked();
  o.retainAspectRatio = action("O_RetainAspectRatio")->isChecked();
  o.showAllTools = action("O_ShowAllTools")->isChecked();
}

void TForm1::O_AboutClick() {
  TAboutBox box(this, *platform_.shell, folders_.program, ApplicationIconImage());
  box.exec();
}

std::vector<std::string> DroppedPaths(const QMimeData& data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) {
      paths.push_back(url.toLocalFile().toStdString());
    }
  }
  if (!paths.empty() || !data.hasText()) {
    return paths;
  }
  for (const QString& line : data.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    const QString item = line.trimmed();
    if (item.startsWith(QLatin1Char('/'))) {
      paths.push_back(item.toStdString());
    } else if (const QUrl url(item); url.isLocalFile()) {
      paths.push_back(url.toLocalFile().toStdString());
    }
  }
  return paths;
}

std::string SaveDialogFolder(const std::string& programFolder, const std::string& fallback) {
  return ::access(programFolder.c_str(), W_OK) == 0 ? programFolder : fallback;
}

}  // namespace tessora
