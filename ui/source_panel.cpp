#include "ui/source_panel.h"

#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolButton>
#include <QUrl>
#include <utility>

#include "engine/window_geometry.h"
#include "imageio/picture_formats.h"
#include "platform/bitmap_qimage.h"
#include "settings/text_helpers.h"
#include "ui/band_bar.h"
#include "ui/drop_highlight.h"
#include "ui/fonts.h"
#include "ui/glyphs.h"
#include "ui/label_text.h"

namespace tessora {

/// What one panel shows and does besides its geometry.
struct SourceKind {
  int index;  ///< the digit its controls' names end in
  Source source;
  const char* hint;
  Glyph lastToolGlyph;
  int sourceTools;      ///< how many tools after the paste button follow the source
  bool modeButton;      ///< the last tool shows the armed click mode
  bool reportsPresses;  ///< presses pick the custom tile scale
  DocumentParts picturePart;
  const Bitmap& (Document::*picture)() const;
  bool (Document::*pictureShown)() const;  ///< none: the picture always shows
  const std::string& (Document::*caption)() const;
  bool (Document::*toolsEnabled)() const;
};

namespace {

constexpr int kPathLabelLength = 74;
constexpr const char* kNoPathsStored = "no paths stored";

const SourceKind kKinds[2] = {
    {0, Source::Tile, "(drop a tile)", Glyph::Gradient, /*sourceTools=*/2,
     /*modeButton=*/false, /*reportsPresses=*/true, kTilePicture, &Document::TileBitmap,
     /*pictureShown=*/nullptr, &Document::tileCaption, &Document::tileToolsEnabled},
    {1, Source::Center, "(drop a tessora)", Glyph::ClickModes, /*sourceTools=*/3,
     /*modeButton=*/true, /*reportsPresses=*/false, kCenterPicture, &Document::CenterBitmap,
     &Document::centerPictureShown, &Document::centerCaption, &Document::centerToolsEnabled},
};

/// What assistive technology and the tooltips call a panel's parts, in the words of their
/// commands: the name is what a screen reader says, the tooltip the same in a few more words.
struct PanelWords {
  const char* panel;
  std::array<const char*, 4> toolNames;
  std::array<const char*, 4> toolTips;
  const char* folderName;
  const char* folderTip;
  const char* boxName;
  const char* boxTip;
  const char* picture;  ///< the picture's description adds the file it shows
};

const PanelWords kWords[2] = {
    {"Tile panel",
     {"Paste tile", "Clear tile", "Resize tile", "Generate background"},
     {"Paste the picture on the clipboard as the tile",
      "Clear the tile to the deep background color",
      "Resize the tile: shrink to 50%, grow by 200%, or by the factor a click on the panel picks",
      "Generate the background: the tile, or a gradient or halo of the two colors"},
     "Open tile folder",
     "Open the folder of the selected tile",
     "Recent tiles",
     "The tiles used before: pick one to use it again",
     "Tile picture"},
    {"Center image panel",
     {"Paste center image", "Clear center image", "Size center image", "Click mode"},
     {"Paste the picture on the clipboard as the center image", "Remove the center image",
      "Size the center image: as is, or the default size",
      "Choose what a click on the preview does: resize height, resize width or mark the "
      "transparent color"},
     "Open center image folder",
     "Open the folder of the selected center image",
     "Recent center images",
     "The center images used before: pick one to use it again",
     "Center picture"},
};

/// The panels share the paste, clear and resize glyphs; the last tool differs.
Glyph toolGlyph(const SourceKind& kind, int tool) {
  const Glyph shared[] = {Glyph::Paste, Glyph::Clear, Glyph::Resize};
  return tool < 3 ? shared[tool] : kind.lastToolGlyph;
}

QRect toQRect(const Place& p) {
  return QRect(p.left, p.top, p.width, p.height);
}

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

QToolButton* makeToolButton(QWidget* parent, const QString& name, int x, const char* accessibleName,
                            const char* tip) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setAccessibleName(QString::fromLatin1(accessibleName));
  button->setToolTip(QString::fromLatin1(tip));
  button->setIconSize(QSize(16, 16));
  button->setAutoRaise(true);
  button->setGeometry(x, 1, 23, 22);
  return button;
}

}  // namespace

SourcePanel::SourcePanel(int index, Document& document, QWidget* parent)
    : QFrame(parent), kind_(kKinds[index]), document_(document) {
  const PanelPlaces& g = window_geometry::kPanels[index];
  setObjectName(QStringLiteral("Panel%1").arg(index));
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setGeometry(toQRect(g.panel));
  setAcceptDrops(true);
  setAccessibleName(QString::fromLatin1(kWords[index].panel));
  QWidget* toolRow = buildToolRow();
  QWidget* listBar = buildListBar();
  coolBar_ = new BandBar(toolRow, g.band0Width, listBar, g.band1Width, g.panel.width - 2, this);
  coolBar_->setObjectName(QStringLiteral("CoolBar%1").arg(index));
  coolBar_->move(1, 1);
  connect(coolBar_, &BandBar::changed, this, &SourcePanel::bandsChanged);
  buildLabels();
  paintGlyphs();
  dropHighlight_ = new DropHighlight(this);
}

QWidget* SourcePanel::buildToolRow() {
  auto* toolRow = new QWidget;
  toolRow->setObjectName(QStringLiteral("ToolBar%1a").arg(kind_.index));
  for (int t = 0; t < 4; ++t) {
    tools_[t] =
        makeToolButton(toolRow, QStringLiteral("ToolButton%1a%2").arg(kind_.index).arg(t), t * 23,
                       kWords[kind_.index].toolNames[t], kWords[kind_.index].toolTips[t]);
    connect(tools_[t], &QToolButton::clicked, this, [this, t] { toolClick(t); });
  }
  tools_[3]->setCheckable(kind_.modeButton);
  return toolRow;
}

QWidget* SourcePanel::buildListBar() {
  auto* listBar = new QWidget;
  listBar->setObjectName(QStringLiteral("ToolBar%1b").arg(kind_.index));
  saveBox_ = new QComboBox(listBar);
  saveBox_->setObjectName(QStringLiteral("SaveBox%1").arg(kind_.index));
  saveBox_->setGeometry(0, 3, 120, 19);
  saveBox_->setFont(SmallFont(9));
  saveBox_->setPlaceholderText(QString::fromLatin1(kNoPathsStored));
  saveBox_->setAccessibleName(QString::fromLatin1(kWords[kind_.index].boxName));
  saveBox_->setToolTip(QString::fromLatin1(kWords[kind_.index].boxTip));
  connect(saveBox_, qOverload<int>(&QComboBox::activated), this, &SourcePanel::entryPicked);
  folder_ = makeToolButton(listBar, QStringLiteral("ToolButton%1b0").arg(kind_.index), 121,
                           kWords[kind_.index].folderName, kWords[kind_.index].folderTip);
  connect(folder_, &QToolButton::clicked, this, &SourcePanel::folderClicked);
  return listBar;
}

// The path label, the picture and the hint under it.
void SourcePanel::buildLabels() {
  const PanelPlaces& g = window_geometry::kPanels[kind_.index];
  pathLabel_ = new QLabel(this);
  pathLabel_->setObjectName(QStringLiteral("RxLabel%1b").arg(kind_.index));
  pathLabel_->setGeometry(toQRect(g.pathLabel));
  pathLabel_->setFont(SmallFont(8));
  pathLabel_->setWordWrap(true);
  pathLabel_->setTextFormat(Qt::PlainText);
  pathLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pathLabel_->lower();
  pathLabel_->setAccessibleName(QStringLiteral("no file"));

  imageFrame_ = new QWidget(this);
  imageFrame_->setObjectName(QStringLiteral("Panel%1I").arg(kind_.index));
  imageFrame_->setGeometry(toQRect(g.imageFrame));
  imageFrame_->installEventFilter(this);
  image_ = new QLabel(imageFrame_);
  image_->setObjectName(QStringLiteral("Image%1").arg(kind_.index));
  image_->setGeometry(toQRect(g.image));
  image_->setAlignment(Qt::AlignCenter);
  image_->setVisible(kind_.pictureShown == nullptr);
  image_->installEventFilter(this);
  image_->setAccessibleName(QString::fromLatin1(kWords[kind_.index].picture));
  describePicture();

  caption_ = new QLabel(this);
  caption_->setObjectName(QStringLiteral("RxLabel%1").arg(kind_.index));
  caption_->setGeometry(1, g.panel.height - 11, g.panel.width - 2, 10);
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setFont(SmallFont(8));
}

// --- Showing the document ---

void SourcePanel::follow(DocumentParts parts) {
  if ((parts & kind_.picturePart) != 0) {
    showPicture();
  }
  if ((parts & kTools) != 0) {
    const bool on = (document_.*kind_.toolsEnabled)();
    for (int t = 1; t <= kind_.sourceTools; ++t) {
      tools_[t]->setEnabled(on);
    }
  }
  if ((parts & kCaptions) != 0) {
    showCaption();
  }
  if (kind_.modeButton && (parts & kClickMode) != 0) {
    modeArmed_ = document_.PreviewClickMode() != ClickMode::PickColors;
    tools_[3]->setChecked(modeArmed_);
  }
  if ((parts & kRecentLists) != 0) {
    mirrorList();
  }
}

void SourcePanel::showPicture() {
  const bool shown = kind_.pictureShown == nullptr || (document_.*kind_.pictureShown)();
  const Bitmap& picture = (document_.*kind_.picture)();
  image_->setVisible(shown);
  // No picture yet is an empty frame, not a null image handed to Qt's scaler (which warns).
  if (!shown || picture.empty()) {
    image_->setPixmap(QPixmap());
    return;
  }
  // Scaled straight from the document's pixels: a copy of a large picture first would cost the
  // window more time than the scaling itself.
  const QImage view = BitmapView(picture);
  QImage scaled = view.scaled(image_->size(), Qt::KeepAspectRatio, Qt::FastTransformation);
  if (scaled.constBits() == view.constBits()) {
    scaled = view.copy();
  }
  image_->setPixmap(QPixmap::fromImage(scaled));
}

// The shortened path is all the label has room for; the whole one stays within reach. A newly
// assigned file also applies the label's visibility rule anew.
void SourcePanel::showCaption() {
  const std::string& caption = (document_.*kind_.caption)();
  pathLabel_->setText(FitPath(*pathLabel_, q(ShortenText(caption, kPathLabelLength))));
  pathLabel_->setToolTip(q(caption));
  // Read whole, not as the lines the label breaks it into; an empty label still says so.
  pathLabel_->setAccessibleName(caption.empty() ? QStringLiteral("no file") : q(caption));
  describePicture();
  followBands();
}

void SourcePanel::describePicture() {
  const std::string& caption = (document_.*kind_.caption)();
  image_->setAccessibleDescription(
      QStringLiteral("%1: %2").arg(QString::fromLatin1(kWords[kind_.index].picture),
                                   caption.empty() ? QStringLiteral("none") : q(caption)));
}

// Glyphs drawn in black on a light palette are drawn in the text colour on any other.
void SourcePanel::paintGlyphs() {
  const QColor ink = palette().color(QPalette::ButtonText);
  for (int t = 0; t < 4; ++t) {
    tools_[t]->setIcon(QIcon(QPixmap::fromImage(GlyphImage(toolGlyph(kind_, t), ink))));
  }
  folder_->setIcon(QIcon(QPixmap::fromImage(GlyphImage(Glyph::Folder, ink))));
}

void SourcePanel::describeKeys(const QKeySequence& open, const QKeySequence& paste) {
  const QString pasteKeys = paste.toString(QKeySequence::NativeText);
  tools_[0]->setToolTip(QStringLiteral("%1 (%2)").arg(
      QString::fromLatin1(kWords[kind_.index].toolTips[0]), pasteKeys));
  image_->setToolTip(QStringLiteral("%1: %2 opens another, %3 pastes one")
                         .arg(QString::fromLatin1(kWords[kind_.index].picture),
                              open.toString(QKeySequence::NativeText), pasteKeys));
}

// The hint has room for a few words only; the kinds of file a drop takes are a hover away.
void SourcePanel::showHint() {
  caption_->setText(QString::fromLatin1(kind_.hint));
  caption_->setToolTip(
      QStringLiteral("Drop a picture: %1").arg(QString::fromStdString(LoadableFormatsText())));
}

void SourcePanel::followBands() {
  pathLabel_->setVisible(!coolBar_->band1OnOwnRow());
}

bool SourcePanel::listBarOnOwnRow() const {
  return coolBar_->band1OnOwnRow();
}

void SourcePanel::setListBarOnOwnRow(bool ownRow) {
  coolBar_->setBand1OnOwnRow(ownRow);
  followBands();
}

void SourcePanel::setToolEnabled(int tool, bool on) {
  tools_[tool]->setEnabled(on);
}

void SourcePanel::setWidth(int width) {
  resize(width, height());
  caption_->resize(width - 2, caption_->height());
}

int SourcePanel::frameLeft() const {
  return imageFrame_->x();
}

int SourcePanel::pictureLeft() const {
  return image_->x();
}

// The mode button toggles its own down state when clicked; the armed mode decides it instead.
void SourcePanel::toolClick(int tool) {
  if (tool == 3 && kind_.modeButton) {
    tools_[3]->setChecked(modeArmed_);
  }
  emit toolClicked(tool);
}

// --- The recent list ---

Source SourcePanel::source() const {
  return kind_.source;
}

// The box shows the document's list and its selection; its own signals stay quiet meanwhile, so
// that only the user's picks reach the document.
void SourcePanel::mirrorList() {
  const RecentList& list = document_.recentList(kind_.source);
  const QSignalBlocker quiet(saveBox_);
  saveBox_->clear();
  for (const std::string& name : list.displayNames()) {
    saveBox_->addItem(q(name));
  }
  saveBox_->setCurrentIndex(list.selectedIndex());
}

int SourcePanel::boxIndex() const {
  return saveBox_->currentIndex();
}

std::vector<QWidget*> SourcePanel::tabOrder() const {
  return {tools_[0], tools_[1], tools_[2], tools_[3], saveBox_, folder_};
}

// --- Events ---

// The pictures step back through the lists; on the tile panel, presses on the picture and its
// frame pick the custom scaling factor like presses on the panel itself.
bool SourcePanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == image_ && event->type() == QEvent::MouseButtonDblClick) {
    emit pictureDoubleClicked();
    return true;
  }
  if (kind_.reportsPresses && event->type() == QEvent::MouseButtonPress) {
    const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
    if (watched == image_) {
      emit picturePressed(x);
    } else {
      emit framePressed(x);
    }
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

void SourcePanel::mousePressEvent(QMouseEvent* event) {
  if (!kind_.reportsPresses) {
    QFrame::mousePressEvent(event);
    return;
  }
  event->accept();
  emit pressed(event->position().toPoint().x());
}

void SourcePanel::changeEvent(QEvent* event) {
  QFrame::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) {
    paintGlyphs();
  }
}

// The panels take files dropped from a file manager, and show it while one is over them.
void SourcePanel::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedPaths(*event->mimeData()).empty()) {
    event->acceptProposedAction();
    dropHighlight_->follow(true);
  }
}

void SourcePanel::dragLeaveEvent(QDragLeaveEvent* event) {
  dropHighlight_->follow(false);
  QFrame::dragLeaveEvent(event);
}

void SourcePanel::dropEvent(QDropEvent* event) {
  dropHighlight_->follow(false);
  const std::vector<std::string> paths = DroppedPaths(*event->mimeData());
  event->acceptProposedAction();
  emit filesDropped(paths);
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

}  // namespace tessora
