#include "ui/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QTimer>
#include <optional>
#include <utility>

#include "engine/rounding.h"
#include "engine/window_geometry.h"
#include "settings/file_locations.h"
#include "settings/settings_error.h"
#include "ui/glyphs.h"
#include "ui/info_label.h"
#include "ui/palette_bar.h"
#include "ui/picture_worker.h"
#include "ui/preview_image.h"
#include "ui/settings_keeper.h"

namespace tessora {
namespace {

using window_geometry::kClientHeight;
using window_geometry::kClientWidth;
constexpr int kClipboardCheckInterval = 300;
/// How long after it is shown a window manager has to frame the window for a first start to
/// centre the frame (milliseconds).
constexpr int kFrameWait = 3000;

using Handler = void (TForm1::*)();

/// The tool buttons' handlers, tile panel first.
const Handler kToolHandlers[2][4] = {
    {&TForm1::ToolButton0a0Click, &TForm1::ToolButton0a1Click, &TForm1::ToolButton0a2Click,
     &TForm1::ToolButton0a3Click},
    {&TForm1::ToolButton1a0Click, &TForm1::ToolButton1a1Click, &TForm1::ToolButton1a2Click,
     &TForm1::ToolButton1a3Click},
};

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
  buildSurface();
  menus_ = BuildMenus(*this);
  tilePanel_->describeKeys(menus_.openTile->shortcut(), menus_.pasteTile->shortcut());
  centerPanel_->describeKeys(menus_.openCenter->shortcut(), menus_.pasteCenter->shortcut());
  orderTabs();
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
  document_.setDecodeRunner(nullptr);
  // A picture still loading never lands now; its cursor goes with the window.
  if (cursorSet_) {
    QApplication::restoreOverrideCursor();
  }
}

void TForm1::decodeInBackground() {
  if (!pictureWorker_) {
    pictureWorker_ = std::make_unique<PictureWorker>();
    document_.setDecodeRunner(pictureWorker_.get());
  }
}

// --- Building the window ---

void TForm1::buildSurface() {
  surface_ = new QWidget(this);
  surface_->setObjectName(QStringLiteral("Surface"));
  surface_->setFixedSize(kClientWidth, kClientHeight);
  surface_->setMouseTracking(true);
  surface_->installEventFilter(this);
  setCentralWidget(surface_);
  buildPreview();
  palette_ = new PaletteBar(surface_);
  connect(palette_, &PaletteBar::color0Clicked, this, &TForm1::ColorPanel0Click);
  connect(palette_, &PaletteBar::color1Clicked, this, &TForm1::ColorPanel1Click);
  connect(palette_, &PaletteBar::swapClicked, this, &TForm1::ColorSwitchStaticTextClick);
  infoLabel_ = new InfoLabel(surface_);
  tilePanel_ = new SourcePanel(0, document_, surface_);
  centerPanel_ = new SourcePanel(1, document_, surface_);
  connectPanels();
}

void TForm1::buildPreview() {
  auto* mainPanel = new QFrame(surface_);
  mainPanel->setObjectName(QStringLiteral("MainPanel"));
  mainPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  mainPanel->setLineWidth(1);
  mainPanel->setGeometry(0, 0, kClientWidth, 233);
  mainPanel->setAccessibleName(QStringLiteral("Preview panel"));
  const Place& p = window_geometry::kPreview;
  mainImage_ = new PreviewImage(mainPanel);
  mainImage_->setObjectName(QStringLiteral("MainImage"));
  mainImage_->setGeometry(p.left, p.top, p.width, p.height);
  connect(mainImage_, &PreviewImage::mouseDown, this, &TForm1::MainImageMouseDown);
  connect(mainImage_, &PreviewImage::mouseMoved, this, &TForm1::MainImageMouseMove);
  connect(mainImage_, &PreviewImage::filesDropped, this, &TForm1::FileDrop1FileDroped);
}

// Tab goes through the controls as they are read: the palette under the preview from left to
// right, then the tile panel and the center panel, each from its tool row to its list.
void TForm1::orderTabs() {
  std::vector<QWidget*> order = palette_->tabOrder();
  for (const SourcePanel* panel : {tilePanel_, centerPanel_}) {
    const std::vector<QWidget*> controls = panel->tabOrder();
    order.insert(order.end(), controls.begin(), controls.end());
  }
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void TForm1::connectPanels() {
  connect(tilePanel_, &SourcePanel::toolClicked, this,
          [this](int tool) { (this->*kToolHandlers[0][tool])(); });
  connect(centerPanel_, &SourcePanel::toolClicked, this,
          [this](int tool) { (this->*kToolHandlers[1][tool])(); });
  connect(tilePanel_, &SourcePanel::folderClicked, this, &TForm1::ToolButton0b0Click);
  connect(centerPanel_, &SourcePanel::folderClicked, this, &TForm1::ToolButton1b0Click);
  connect(tilePanel_, &SourcePanel::entryPicked, this, &TForm1::SaveBox0Click);
  connect(centerPanel_, &SourcePanel::entryPicked, this, &TForm1::SaveBox1Click);
  connect(tilePanel_, &SourcePanel::bandsChanged, this, &TForm1::CoolBar0Change);
  connect(centerPanel_, &SourcePanel::bandsChanged, this, &TForm1::CoolBar1Change);
  connect(tilePanel_, &SourcePanel::filesDropped, this, &TForm1::FileDrop0FileDroped);
  connect(centerPanel_, &SourcePanel::filesDropped, this, &TForm1::FileDrop1FileDroped);
  connect(tilePanel_, &SourcePanel::pictureDoubleClicked, this, &TForm1::Image0DblClick);
  connect(centerPanel_, &SourcePanel::pictureDoubleClicked, this, &TForm1::Image1DblClick);
  connect(tilePanel_, &SourcePanel::pressed, this, &TForm1::Panel0MouseDown);
  connect(tilePanel_, &SourcePanel::framePressed, this, &TForm1::Panel0IMouseDown);
  connect(tilePanel_, &SourcePanel::picturePressed, this, &TForm1::Image0MouseDown);
}

// --- Start-up and close ---

void TForm1::FormCreate() {
  settings_ = std::make_unique<SettingsKeeper>(
      folders_.files + kSettingsFileName, *platform_.desktop,
      SettingsKeeper::Targets{*this, *tilePanel_, *centerPanel_, menus_.options, document_});
  if (const std::optional<std::string> error = settings_->load()) {
    // The window still comes up with the keys read so far; the report waits for the event loop
    // so that it has a window to stand in front of.
    QTimer::singleShot(0, this, [this, message = *error] { dialogs_.showError(this, message); });
  }
}

const std::string& TForm1::SettingsPath() const {
  return settings_->path();
}

void TForm1::FormActivate() {
  if (started_) {
    return;
  }
  started_ = true;
  clipboardUsed_ = false;
  tilePanel_->showHint();
  centerPanel_->showHint();
  if (!platform_.desktop->fontInstalled("Webdings")) {
    palette_->useTextSwapSymbol();
  }
  if (document_.options().showAllTools) {
    O_ShowAllToolsClick();
  }
  StartState start = StartStateFor(settings_->loaded(), platform_.desktop->geometry(),
                                   platform_.desktop->desktopColor());
  start.listFolder = folders_.files;
  document_.Activate(start);
}

void TForm1::FormCloseQuery() {
  try {
    settings_->save();
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
  } else if (event->type() == QEvent::Move && settings_ != nullptr) {
    settings_->followFrame();
  }
  return QMainWindow::event(event);
}

// Without a window manager a shown window may never be activated; the start-up must run anyway.
void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  QTimer::singleShot(0, this, &TForm1::FormActivate);
  QTimer::singleShot(kFrameWait, this, [this] { settings_->stopFollowingFrame(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormCloseQuery();
  event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
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
  centerPanel_->setWidth(tilePanel_->width());
  const int clientWidth = surface_->width();
  palette_->move(RoundInt((clientWidth - palette_->width()) / 2.0L), palette_->y());
  const int gap = RoundInt((clientWidth - tilePanel_->width() - centerPanel_->width()) / 3.0L);
  tilePanel_->move(gap, tilePanel_->y());
  centerPanel_->move(tilePanel_->x() + tilePanel_->width() + gap, centerPanel_->y());
}

void TForm1::O_ShowAllToolsClick() {
  OptionsClick();
  menus_.followShowAllTools();
}

void TForm1::CoolBar0Change() {
  tilePanel_->followBands();
}

void TForm1::CoolBar1Change() {
  centerPanel_->followBands();
}

void TForm1::OptionsClick() {
  document_.setOptions(menus_.options.checked());
}

// --- Feedback ---

void TForm1::ShowInfo(const std::string& text, InfoStyle style) {
  loadingShown_ = false;
  infoLabel_->showText(text, style);
}

void TForm1::HideInfo() {
  loadingShown_ = false;
  infoLabel_->hide();
}

// Whatever the reader's complaint, the user sees one word and hears one cue; which file it was
// and why is a hover (or, for assistive technology, the label's description) away.
void TForm1::ShowLoadFailure(const std::string& path, const std::string& reason) {
  PlayCue(Cue::Error);
  infoLabel_->showText(
      "INVALID", InfoStyle::Fixed,
      QStringLiteral("%1: %2").arg(QString::fromStdString(path), QString::fromStdString(reason)));
}

void TForm1::PlayCue(Cue cue) {
  if (!document_.options().soundEffects) {
    return;
  }
  platform_.sound->play(folders_.program + "wav/" + CueFileName(cue));
}

void TForm1::SetBusy(bool busy) {
  busy_ = busy;
  setEnabled(!busy);
  followCursor();
}

// The window stays usable while a picture loads; the name goes away with the last load unless
// something else has been shown since.
void TForm1::ShowLoading(const std::string& path) {
  loading_ = !path.empty();
  followCursor();
  if (loading_) {
    const std::string::size_type slash = path.find_last_of('/');
    infoLabel_->showText(
        "loading " + (slash == std::string::npos ? path : path.substr(slash + 1)) + "\u2026",
        InfoStyle::Small);
    loadingShown_ = true;
  } else if (loadingShown_) {
    HideInfo();
  }
}

void TForm1::followCursor() {
  if (!busy_ && !loading_) {
    if (cursorSet_) {
      QApplication::restoreOverrideCursor();
      cursorSet_ = false;
    }
    return;
  }
  const QCursor cursor(busy_ ? Qt::WaitCursor : Qt::BusyCursor);
  if (cursorSet_) {
    QApplication::changeOverrideCursor(cursor);
  } else {
    QApplication::setOverrideCursor(cursor);
    cursorSet_ = true;
  }
}

// Every widget that shows the document is redrawn from it here, and only here.
void TForm1::Changed(DocumentParts parts) {
  tilePanel_->follow(parts);
  centerPanel_->follow(parts);
  if ((parts & kPreview) != 0) {
    mainImage_->showComposition(document_.PreviewBitmap(), document_.ComposedBitmap());
  }
  if ((parts & kColors) != 0) {
    palette_->showColors(document_.color0(), document_.color1());
  }
  if ((parts & kTileScale) != 0) {
    menus_.showCustomScale(document_);
  }
}

}  // namespace tessora
