#include "ui/info_label.h"

#include "ui/fonts.h"
#include "ui/label_text.h"

namespace tessora {

InfoLabel::InfoLabel(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("InfoLabel"));
  setGeometry(224, 236, 122, 23);
  setAlignment(Qt::AlignCenter);
  setWordWrap(true);
  setTextFormat(Qt::PlainText);
  setAttribute(Qt::WA_TranslucentBackground);
  setFont(SmallFont(9));
}

void InfoLabel::showText(const std::string& text, InfoStyle style) {
  switch (style) {
    case InfoStyle::Fixed:
      setFont(FixedFont(9));
      break;
    case InfoStyle::Small: {
      QFont small = SmallFont(9);
      small.setPointSize(7);
      setFont(small);
      break;
    }
  }
  show();
  // The label has room for two short lines; a longer report (why no wallpaper service took the
  // file) shows its start with an ellipsis and can still be read whole.
  const QString whole = QString::fromStdString(text);
  setText(FitStart(*this, whole));
  setToolTip(whole);
}

}  // namespace tessora
