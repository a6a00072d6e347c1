#pragma once

#include <QString>
#include <optional>
#include <string>

#include "engine/color.h"
#include "imageio/image_files.h"

class QWidget;

namespace tessora {

/// The format of the save dialog's filter entry `filterIndex` (1 for the first, in the order of
/// kSaveDialogFilter: PNG, JPEG, BMP); nothing for an index that names no entry.
inline std::optional<SaveFormat> SaveFormatOfFilter(int filterIndex) {
  switch (filterIndex) {
    case 1:
      return SaveFormat::Png;
    case 2:
      return SaveFormat::Jpeg;
    case 3:
      return SaveFormat::Bmp;
    default:
      return std::nullopt;
  }
}

/// The modal questions and reports the window puts to the user. Tests answer them with a fake, so
/// that no nested event loop waits for a click.
class Dialogs {
 public:
  /// What the save dialog returned: the name as the user chose it and the selected filter entry
  /// (1 for the first).
  struct SaveChoice {
    std::string fileName;
    int filterIndex = 1;
  };

  virtual ~Dialogs() = default;
  /// The general error box (title and full-stop rule of ShowErrorBox).
  virtual void showError(QWidget* owner, const std::string& message) = 0;
  /// A Yes/No question; true for Yes.
  virtual bool askYesNo(QWidget* owner, const QString& title, const QString& text) = 0;
  /// The colour dialog preset with `preset`; nothing when cancelled.
  virtual std::optional<TColor> chooseColor(QWidget* owner, TColor preset) = 0;
  /// The save dialog opened in `folder` with `filter` ("description|pattern|..." pairs) and entry
  /// `filterIndex` selected; it asks before it returns the name of an existing file and appends
  /// no extension. Nothing when cancelled.
  virtual std::optional<SaveChoice> chooseSaveFile(QWidget* owner, const std::string& folder,
                                                   const std::string& filter, int filterIndex) = 0;
  /// The desktop's dialog for opening one picture, titled `title` and opened in `folder`; the
  /// path of the file chosen, nothing when cancelled.
  virtual std::optional<std::string> chooseOpenFile(QWidget* owner, const QString& title,
                                                    const std::string& folder) = 0;
};

}  // namespace tessora
