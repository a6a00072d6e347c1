#include <QApplication>

#include "engine/document.h"
#include "platform/services.h"
#include "ui/preview_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessora"));
  tessora::Platform platform = tessora::CreateDesktopPlatform();
  tessora::Document document(tessora::SilentFeedback());
  tessora::PreviewWindow window(document);
  document.Activate(platform.desktop->geometry());
  window.show();
  return QApplication::exec();
}
