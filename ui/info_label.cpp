#include "ui/info_label.h"

#include <QTextDocument>

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

void InfoLabel::showText(const std::string& text, InfoStyle style, const QString& detail) {
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
  // A file name is shown as it is spelt, never read as markup.
  setToolTip(detail.isEmpty()              ? whole
             : Qt::mightBeRichText(detail) ? Qt::convertFromPlainText(detail)
                                           : detail);
  setAccessibleDescription(detail);
  // Set last: the name's change is what a screen reader announces, the description ready by then.
  setAccessibleName(whole);
}

}  // namespace tessora
