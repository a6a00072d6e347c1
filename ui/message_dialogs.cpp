#include "ui/message_dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>

#include <unistd.h>

#include "imageio/picture_formats.h"
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

QStringList SaveDialogNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    filters.push_back(parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')'));
  }
  return filters;
}

// The descriptions alone are shown, as the filter text gives them; the patterns stay hidden.
// Overwriting is confirmed by the dialog itself, which is Qt's default.
std::optional<Dialogs::SaveChoice> MessageDialogs::chooseSaveFile(QWidget* owner,
                                                                  const std::string& folder,
                                                                  const std::string& filter,
                                                                  int filterIndex) {
  const QStringList filters = SaveDialogNameFilters(filter);
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setDirectory(QString::fromStdString(folder));
  dialog.setNameFilters(filters);
  if (filterIndex >= 1 && filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[filterIndex - 1]);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  const QString selected = dialog.selectedNameFilter();
  int index = 0;
  for (qsizetype i = 0; i < filters.size() && index == 0; ++i) {
    if (filters[i] == selected || filters[i].startsWith(selected + QStringLiteral(" ("))) {
      index = static_cast<int>(i) + 1;
    }
  }
  return SaveChoice{dialog.selectedFiles().front().toStdString(), index};
}

QStringList OpenDialogNameFilters() {
  QStringList patterns;
  for (const PictureFormatRow& row : PictureFormats()) {
    for (const char* extension : row.extensions) {
      if (extension != nullptr) {
        patterns.push_back(QStringLiteral("*") + QString::fromLatin1(extension));
      }
    }
  }
  return {QStringLiteral("Pictures (%1)").arg(patterns.join(QLatin1Char(' '))),
          QStringLiteral("All files (*)")};
}

// A dialog object rather than the static helper: the platform theme decides whether the desktop's
// own dialog (the portal's, where the desktop has one) stands in for Qt's.
std::optional<std::string> MessageDialogs::chooseOpenFile(QWidget* owner, const QString& title,
                                                          const std::string& folder) {
  QFileDialog dialog(owner, title, QString::fromStdString(folder));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(OpenDialogNameFilters());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().front().toStdString();
}

std::string SaveDialogFolder(const std::string& programFolder, const std::string& fallback) {
  return ::access(programFolder.c_str(), W_OK) == 0 ? programFolder : fallback;
}

std::string PicturesFolder() {
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty() || !QDir(pictures).exists()) {
    pictures = QDir::homePath();
  }
  return pictures.toStdString() + "/";
}

}  // namespace tessora
