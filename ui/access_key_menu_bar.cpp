#include "ui/access_key_menu_bar.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>
#include <QStyleOptionMenuItem>

namespace tessora {

AccessKeyMenuBar::AccessKeyMenuBar(QWidget* window) : QMenuBar(window) {
  setAccessibleName(QStringLiteral("Menu bar"));
  auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
  connect(f10, &QShortcut::activated, this, &AccessKeyMenuBar::openFirstMenu);
}

void AccessKeyMenuBar::setAccessKey(QAction* menuAction, QChar key) {
  keys_[menuAction] = key.toLower();
  auto* shortcut = new QShortcut(
      QKeySequence(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(key.toUpper().unicode()))),
      parentWidget());
  connect(shortcut, &QShortcut::activated, this, [this, menuAction] { openMenu(menuAction); });
  update();
}

// Opened from the keyboard, a menu starts on its first item, so that Enter takes it at once.
bool AccessKeyMenuBar::openMenu(QAction* menuAction) {
  if (!menuAction->isVisible() || !menuAction->isEnabled()) {
    return false;
  }
  setActiveAction(menuAction);
  if (QMenu* menu = menuAction->menu()) {
    for (QAction* item : menu->actions()) {
      if (item->isVisible() && item->isEnabled() && !item->isSeparator()) {
        menu->setActiveAction(item);
        break;
      }
    }
  }
  return true;
}

// The style underlines the letter after a "&"; the caption itself is left as it is.
void AccessKeyMenuBar::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
  QMenuBar::initStyleOption(option, action);
  const auto key = keys_.find(action);
  if (key == keys_.end()) {
    return;
  }
  const qsizetype at = option->text.indexOf(key->second, 0, Qt::CaseInsensitive);
  if (at >= 0) {
    option->text.insert(at, QLatin1Char('&'));
  }
}

void AccessKeyMenuBar::openFirstMenu() {
  for (QAction* menu : actions()) {
    if (openMenu(menu)) {
      return;
    }
  }
}

}  // namespace tessora
