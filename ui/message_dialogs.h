#pragma once

#include "ui/dialogs.h"

namespace tessora {

/// Dialogs shown with Qt's message boxes and colour dialog.
class MessageDialogs : public Dialogs {
 public:
  void showError(QWidget* owner, const std::string& message) override;
  bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
  std::optional<TColor> chooseColor(QWidget* owner, TColor preset) override;
};

}  // namespace tessora
