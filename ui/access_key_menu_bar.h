#pragma once

#include <QMenuBar>
#include <map>

class QAction;

namespace tessora {

/// The window's menu bar. A menu's caption stays the text it is given; an access key added here
/// is underlined in it and Alt with that key opens the menu, as a "&" in the caption would. F10
/// opens the first menu, as on the desktops where that key reaches the menu bar.
class AccessKeyMenuBar : public QMenuBar {
  Q_OBJECT

 public:
  explicit AccessKeyMenuBar(QWidget* window);

  /// Gives the menu of `menuAction` the access key `key`, a letter of its caption.
  void setAccessKey(QAction* menuAction, QChar key);

 protected:
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;

 private:
  bool openMenu(QAction* menuAction);
  void openFirstMenu();

  std::map<const QAction*, QChar> keys_;
};

}  // namespace tessora
