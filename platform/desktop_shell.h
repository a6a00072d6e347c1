#pragma once

#include <QDBusConnection>

#include "platform/services.h"

namespace tessora {

/// Opens folders through the desktop's file manager service (FileManager1, which Nautilus,
/// Dolphin, Nemo, Caja and Thunar offer), else through xdg-open, whose exit code tells
/// whether something was opened (QDesktopServices reports only that a launcher started).
class DesktopShell : public Shell {
 public:
  static constexpr int kTimeoutMs = 5000;

  explicit DesktopShell(QDBusConnection bus) : bus_(std::move(bus)) {}
  bool openFolder(const std::string& folder) override;
  bool openDocument(const std::string& pathOrUrl) override;

 private:
  QDBusConnection bus_;
};

}  // namespace tessora
