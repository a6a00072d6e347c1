#include "ui/message_dialogs.h"

#include <QColorDialog>
#include <QMessageBox>

#include "ui/error_box.h"

namespace tessora {

void MessageDialogs::showError(QWidget* owner, const std::string& message) {
  ShowErrorBox(owner, message);
}

bool MessageDialogs::askYesNo(QWidget* owner, const QString& title, const QString& text) {
  return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

std::optional<TColor> MessageDialogs::chooseColor(QWidget* owner, TColor preset) {
  const TColor rgb = ColorToRGB(preset);
  const QColor chosen =
      QColorDialog::getColor(QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)), owner);
  if (!chosen.isValid()) {
    return std::nullopt;
  }
  return RGB(chosen.red(), chosen.green(), chosen.blue());
}

}  // namespace tessora
