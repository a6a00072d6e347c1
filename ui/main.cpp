#include <QApplication>

#include "engine/document.h"
#include "ui/preview_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessora"));
  tessora::Document document(tessora::SilentFeedback());
  tessora::PreviewWindow window(document);
  document.Activate(tessora::PrimaryScreenGeometry());
  window.show();
  return QApplication::exec();
}
