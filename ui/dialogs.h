#pragma once

#include <QString>
#include <optional>
#include <string>

#include "engine/color.h"

class QWidget;

namespace tessora {

/// The modal questions and reports the window puts to the user. Tests answer them with a fake, so
/// that no nested event loop waits for a click.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  /// The general error box (title and full-stop rule of ShowErrorBox).
  virtual void showError(QWidget* owner, const std::string& message) = 0;
  /// A Yes/No question; true for Yes.
  virtual bool askYesNo(QWidget* owner, const QString& title, const QString& text) = 0;
  /// The colour dialog preset with `preset`; nothing when cancelled.
  virtual std::optional<TColor> chooseColor(QWidget* owner, TColor preset) = 0;
};

}  // namespace tessora
