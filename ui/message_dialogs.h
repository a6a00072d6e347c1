#pragma once

#include <QStringList>

#include "ui/dialogs.h"

namespace tessora {

/// Dialogs shown with Qt's message boxes, colour dialog and file dialog.
class MessageDialogs : public Dialogs {
 public:
  void showError(QWidget* owner, const std::string& message) override;
  bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
  std::optional<TColor> chooseColor(QWidget* owner, TColor preset) override;
  std::optional<SaveChoice> chooseSaveFile(QWidget* owner, const std::string& folder,
                                           const std::string& filter, int filterIndex) override;
  std::optional<std::string> chooseOpenFile(QWidget* owner, const QString& title,
                                            const std::string& folder) override;
};

/// The open dialog's name filters: the pictures the loader reads, by their extensions, then
/// every file (a name without a known extension is read as a Windows bitmap).
QStringList OpenDialogNameFilters();

/// The file dialog's name filters ("description (pattern)") for a filter text of
/// "description|pattern|..." pairs.
QStringList SaveDialogNameFilters(const std::string& filter);

/// The folder the save dialog opens in: the program's folder, or `fallback` (the user's pictures
/// folder) where the program's folder cannot be written, as for an installed program.
std::string SaveDialogFolder(const std::string& programFolder, const std::string& fallback);

/// The user's pictures folder, or the home folder where there is none, ending in "/".
std::string PicturesFolder();

}  // namespace tessora
