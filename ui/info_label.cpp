#include "ui/info_label.h"

#include <QAccessibleWidget>
#include <QTextDocument>

#include "ui/fonts.h"
#include "ui/label_text.h"

namespace tessora {
namespace {

/// The label as assistive technology sees it: a notification, which a screen reader reads out
/// when it shows, named by the whole report.
class InfoLabelAccessible : public QAccessibleWidget {
 public:
  explicit InfoLabelAccessible(QWidget* label)
      : QAccessibleWidget(label, QAccessible::Notification) {}
};

QAccessibleInterface* accessibleInfoLabel(const QString& className, QObject* object) {
  if (className == QLatin1String("tessora::InfoLabel") && object->isWidgetType()) {
    return new InfoLabelAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

}  // namespace

InfoLabel::InfoLabel(QWidget* parent) : QLabel(parent) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(accessibleInfoLabel);
    return true;
  }();
  (void)factoryInstalled;
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
  const QString whole = QString::fromStdString(text);
  // Assistive technology hears the report when the label shows (or, shown already, when its name
  // changes), so the name and the description are in place first.
  setAccessibleDescription(detail);
  if (accessibleName() == whole && isVisible()) {
    QAccessibleEvent again(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&again);
  }
  setAccessibleName(whole);
  show();
  // The label has room for two short lines; a longer report (why no wallpaper service took the
  // file) shows its start with an ellipsis and can still be read whole.
  setText(FitStart(*this, whole));
  // A file name is shown as it is spelt, never read as markup.
  setToolTip(detail.isEmpty()              ? whole
             : Qt::mightBeRichText(detail) ? Qt::convertFromPlainText(detail)
                                           : detail);
}

}  // namespace tessora
