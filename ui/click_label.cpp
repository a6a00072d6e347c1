#include "ui/click_label.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace tessora {
namespace {

/// A click label as assistive technology sees it: a button it can press.
class ClickLabelAccessible : public QAccessibleWidget {
 public:
  explicit ClickLabelAccessible(ClickLabel* label)
      : QAccessibleWidget(label, QAccessible::Button) {}

  QString text(QAccessible::Text t) const override {
    const QString own = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && own.isEmpty()) {
      return static_cast<const QLabel*>(widget())->text();
    }
    return own;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction()) {
      static_cast<ClickLabel*>(widget())->click();
    }
  }
};

QAccessibleInterface* accessibleClickLabel(const QString& className, QObject* object) {
  if (className == QLatin1String("tessora::ClickLabel") && object->isWidgetType()) {
    return new ClickLabelAccessible(static_cast<ClickLabel*>(object));
  }
  return nullptr;
}

}  // namespace

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(accessibleClickLabel);
    return true;
  }();
  (void)factoryInstalled;
}

void ClickLabel::click() {
  emit clicked();
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit clicked();
  }
  QLabel::mousePressEvent(event);
}

void ClickLabel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      emit clicked();
      break;
    default:
      QLabel::keyPressEvent(event);
  }
}

void ClickLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (hasFocus()) {
    QStylePainter p(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = contentsRect().adjusted(1, 1, -1, -1);
    focus.backgroundColor = palette().color(backgroundRole());
    p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

}  // namespace tessora
