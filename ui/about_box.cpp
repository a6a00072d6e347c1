#include "ui/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <filesystem>
#include <system_error>

#include "tessora_version.h"
#include "ui/click_label.h"

namespace tessora {
namespace {

constexpr const char* kCreditLine = "by the Tessora team";

QLabel* placeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(at);
  label->adjustSize();
  return label;
}

void useHighlight(QWidget* w) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::WindowText, pal.color(QPalette::Highlight));
  w->setPalette(pal);
}

}  // namespace

TAboutBox::TAboutBox(QWidget* owner, Shell& shell, const std::string& programDir,
                     const QImage& icon)
    : QDialog(owner), shell_(shell), programDir_(programDir) {
  setWindowTitle(QStringLiteral("About Tessora"));
  // A title and a close box only: nothing to minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(298, 213);
  QFont face = font();
  face.setPointSize(8);
  setFont(face);
  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("Panel1"));
  frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
  frame->setGeometry(8, 8, 281, 161);

  auto* iconImage = new QLabel(frame);
  iconImage->setObjectName(QStringLiteral("IconImage"));
  iconImage->setGeometry(8, 8, 32, 32);
  iconImage->setPixmap(QPixmap::fromImage(icon));

  useHighlight(
      placeLabel(frame, QStringLiteral("ProductName"), QStringLiteral("Tessora"), QPoint(88, 16)));
  placeLabel(frame, QStringLiteral("Version"),
             QStringLiteral("version %1.%2").arg(TESSORA_VERSION_MAJOR).arg(TESSORA_VERSION_MINOR),
             QPoint(88, 40));
  readmeLink_ = makeLink(QStringLiteral("ReadmeStaticText"), QStringLiteral("readme text file"),
                         QRect(184, 32, 75, 17));
  connect(readmeLink_, &ClickLabel::clicked, this, &TAboutBox::ReadmeStaticTextClick);
  websiteLink_ = makeLink(QStringLiteral("StaticText1"), QStringLiteral("current website"),
                          QRect(184, 128, 76, 17));
  connect(websiteLink_, &ClickLabel::clicked, this, &TAboutBox::StaticText1Click);
  credit_ = placeLabel(frame, QStringLiteral("StaticText2"), QString(), QPoint(8, 128));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setGeometry(111, 180, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

ClickLabel* TAboutBox::makeLink(const QString& name, const QString& text, const QRect& where) {
  auto* link = new ClickLabel(findChild<QFrame*>(QStringLiteral("Panel1")));
  link->setObjectName(name);
  link->setText(text);
  link->setGeometry(where);
  QFont font = link->font();
  font.setUnderline(true);
  link->setFont(font);
  // The layout's widths were measured for a narrower face: let a link keep all of its text.
  link->adjustSize();
  link->setCursor(Qt::PointingHandCursor);
  link->setFocusPolicy(Qt::StrongFocus);
  useHighlight(link);
  return link;
}

void TAboutBox::showEvent(QShowEvent* event) {
  FormActivate();
  QDialog::showEvent(event);
  // Centred on the screen, not over the main window, which may stand near an edge.
  if (const QScreen* s = screen()) {
    move(s->geometry().center() - frameGeometry().center() + pos());
  }
}

void TAboutBox::FormActivate() {
  credit_->setText(QString::fromLatin1(kCreditLine));
  credit_->adjustSize();
  readmePath_ = programDir_ + "readme.txt";
  std::error_code error;
  // A link is only offered while what it opens is there.
  const bool present = std::filesystem::exists(readmePath_, error);
  readmeLink_->setVisible(present);
  websiteLink_->setVisible(present);
}

void TAboutBox::ReadmeStaticTextClick() {
  shell_.openDocument(readmePath_);
}

void TAboutBox::StaticText1Click() {
  shell_.openDocument(WebsitePath());
}

}  // namespace tessora
