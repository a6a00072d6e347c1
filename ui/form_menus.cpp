#include "ui/form_menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/access_key_menu_bar.h"
#include "ui/glyphs.h"
#include "ui/tform1.h"

namespace tessora {
namespace {

using Handler = void (TForm1::*)();

enum MenuFlag : unsigned {
  kCheckable = 1U,
  kChecked = 2U,
  kHidden = 4U,
  kDisabled = 8U,
  kWallpaperGlyph = 16U,
};

/// One menu item; `keep` names where an item the window reads or rewrites is kept, `keys` its
/// shortcut (portable text), shown beside its caption.
template <class Keeper>
struct MenuEntry {
  const char* name;
  const char* caption;
  Handler handler;
  unsigned flags;
  QAction* Keeper::*keep;
  const char* keys = nullptr;
};

const MenuEntry<FormMenus> kMainImageMenu[] = {
    {"MI_SetAsWallpaper", "Set as Wallpaper", &TForm1::MI_SetAsWallpaperClick, kWallpaperGlyph,
     nullptr},
    {"MI_CopyToClipboard", "Copy to Clipboard", &TForm1::MI_CopyToClipboardClick, 0, nullptr,
     "Ctrl+C"},
    {"MI_SaveAs", "Save As ...", &TForm1::MI_SaveAsClick, 0, nullptr, "Ctrl+S"},
};

/// The commands the keyboard reaches without a menu: the panels take pictures from a file dialog
/// and from the clipboard, the center panel with the plain keys as the bigger target.
const MenuEntry<FormMenus> kKeyCommands[] = {
    {"K_OpenCenterPicture", "Open a center image", &TForm1::OpenCenterPictureClick, 0,
     &FormMenus::openCenter, "Ctrl+O"},
    {"K_OpenTilePicture", "Open a tile", &TForm1::OpenTilePictureClick, 0, &FormMenus::openTile,
     "Ctrl+Shift+O"},
    {"K_PasteCenterPicture", "Paste the center image", &TForm1::PasteCenterKey, 0,
     &FormMenus::pasteCenter, "Ctrl+V"},
    {"K_PasteTilePicture", "Paste the tile", &TForm1::PasteTileKey, 0, &FormMenus::pasteTile,
     "Ctrl+Shift+V"},
};

const MenuEntry<OptionsMenu> kOptionsMenu[] = {
    {"O_UseEntireDesktopArea", "part of wallpaper under taskbar", &TForm1::OptionsClick, kCheckable,
     &OptionsMenu::useEntireDesktopArea},
    {"O_SoundEffects", "sound effects", &TForm1::OptionsClick, kCheckable | kChecked,
     &OptionsMenu::soundEffects},
    {"O_RetainAspectRatio", "retain aspect ratio", &TForm1::OptionsClick, kCheckable,
     &OptionsMenu::retainAspectRatio},
    {"O_ShowAllTools", "show all tools", &TForm1::O_ShowAllToolsClick, kCheckable,
     &OptionsMenu::showAllTools},
    {"O_About", "about", &TForm1::O_AboutClick, 0, nullptr, "F1"},
};

const MenuEntry<FormMenus> kSizingMenu[] = {
    {"Sizing_AsIs", "as is", &TForm1::Sizing_AsIsClick, 0, nullptr},
    {"Sizing_Full", "full", &TForm1::Sizing_FullClick, kHidden, &FormMenus::sizingFull},
    {"Sizing_GoldenArea", "default", &TForm1::Sizing_GoldenAreaClick, 0, nullptr},
};

const MenuEntry<FormMenus> kTileGradientMenu[] = {
    {"TG_Tile", "tile", &TForm1::TG_TileClick, 0, nullptr},
    {"TG_Gradient", "vertical gradient (2c)", &TForm1::TG_GradientClick, 0, nullptr},
    {"TG_CenteredGradient", "centered gradient (2c)", &TForm1::TG_CenteredGradientClick, kHidden,
     &FormMenus::centeredGradient},
    {"TG_Halo", "halo (2c)", &TForm1::TG_HaloClick, 0, nullptr},
    {"TG_CornerGradient", "corner gradient", &TForm1::TG_CornerGradientClick, 0, nullptr},
};

const MenuEntry<FormMenus> kCsmMenu[] = {
    {"CSM_NCVerticalResize", "resize height", &TForm1::CSM_NCVerticalResizeClick, 0, nullptr},
    {"CSM_NCHorizontalResize", "resize width", &TForm1::CSM_NCHorizontalResizeClick, 0, nullptr},
    {"CSM_NCMakeColorTransparent", "mark transparent color",
     &TForm1::CSM_NCMakeColorTransparentClick, 0, nullptr},
};

const MenuEntry<FormMenus> kTileResizeMenu[] = {
    {"TR_Half", "shrink to 50%", &TForm1::TR_HalfClick, 0, nullptr},
    {"TR_Double", "grow by 200%", &TForm1::TR_DoubleClick, 0, nullptr},
    {"TR_ShrinkCustom", "(click on panel...)", &TForm1::TR_ShrinkCustomClick, kDisabled,
     &FormMenus::shrinkCustom},
    {"TR_GrowCustom", "(click on panel...)", &TForm1::TR_GrowCustomClick, kDisabled | kHidden,
     &FormMenus::growCustom},
};

template <class Keeper, std::size_t N>
void fillMenu(TForm1& form, QWidget* menu, const MenuEntry<Keeper> (&entries)[N], Keeper& keeper) {
  for (const MenuEntry<Keeper>& e : entries) {
    auto* a = new QAction(QString::fromLatin1(e.caption), menu);
    menu->addAction(a);
    a->setObjectName(QString::fromLatin1(e.name));
    if (e.keys != nullptr) {
      a->setShortcut(QKeySequence(QString::fromLatin1(e.keys)));
    }
    a->setCheckable((e.flags & kCheckable) != 0);
    a->setChecked((e.flags & kChecked) != 0);
    a->setVisible((e.flags & kHidden) == 0);
    a->setEnabled((e.flags & kDisabled) == 0);
    if ((e.flags & kWallpaperGlyph) != 0) {
      a->setIcon(QIcon(QPixmap::fromImage(GlyphImage(Glyph::Wallpaper))));
    }
    QObject::connect(a, &QAction::triggered, &form, e.handler);
    if (e.keep != nullptr) {
      keeper.*e.keep = a;
    }
  }
}

template <std::size_t N>
QMenu* makePopup(TForm1& form, const char* name, const MenuEntry<FormMenus> (&entries)[N],
                 FormMenus& menus) {
  auto* menu = new QMenu(&form);
  menu->setObjectName(QString::fromLatin1(name));
  fillMenu(form, menu, entries, menus);
  return menu;
}

}  // namespace

Options OptionsMenu::checked() const {
  Options o;
  o.useEntireDesktopArea = useEntireDesktopArea->isChecked();
  o.soundEffects = soundEffects->isChecked();
  o.retainAspectRatio = retainAspectRatio->isChecked();
  o.showAllTools = showAllTools->isChecked();
  return o;
}

void OptionsMenu::check(const Options& o) {
  useEntireDesktopArea->setChecked(o.useEntireDesktopArea);
  soundEffects->setChecked(o.soundEffects);
  retainAspectRatio->setChecked(o.retainAspectRatio);
  showAllTools->setChecked(o.showAllTools);
}

void FormMenus::followShowAllTools() {
  sizingFull->setVisible(options.showAllTools->isChecked());
  centeredGradient->setVisible(sizingFull->isVisible());
}

void FormMenus::showCustomScale(const Document& document) {
  const bool armed = document.customScaleArmed();
  shrinkCustom->setText(QString::fromStdString(document.shrinkCustomCaption()));
  shrinkCustom->setEnabled(armed);
  growCustom->setText(QString::fromStdString(document.growCustomCaption()));
  growCustom->setEnabled(armed);
  growCustom->setVisible(armed);
}

FormMenus BuildMenus(TForm1& form) {
  FormMenus menus;
  auto* bar = new AccessKeyMenuBar(&form);
  form.setMenuBar(bar);
  QMenu* mainImage = bar->addMenu(QStringLiteral("Main Image"));
  mainImage->setObjectName(QStringLiteral("O_MainImage"));
  bar->setAccessKey(mainImage->menuAction(), QLatin1Char('M'));
  fillMenu(form, mainImage, kMainImageMenu, menus);
  QMenu* options = form.menuBar()->addMenu(QStringLiteral("&Options"));
  options->setObjectName(QStringLiteral("O_Options"));
  fillMenu(form, options, kOptionsMenu, menus.options);
  menus.sizingPopup = makePopup(form, "SizingPopupMenu", kSizingMenu, menus);
  menus.tileGradientPopup = makePopup(form, "TileGradientPopupMenu", kTileGradientMenu, menus);
  menus.csmPopup = makePopup(form, "CSMPopupMenu", kCsmMenu, menus);
  menus.tileResizePopup = makePopup(form, "TileResizePopupMenu", kTileResizeMenu, menus);
  fillMenu(form, &form, kKeyCommands, menus);
  return menus;
}

}  // namespace tessora
