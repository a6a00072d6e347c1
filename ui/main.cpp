#include <QIcon>
#include <QPixmap>

#include "platform/services.h"
#include "settings/file_locations.h"
#include "ui/glyphs.h"
#include "ui/message_dialogs.h"
#include "ui/tessora_application.h"
#include "ui/tform1.h"

int main(int argc, char** argv) {
  tessora::TessoraApplication app(argc, argv);
  // Wayland compositors match the window to its desktop entry, and so to its icon, by this name.
  tessora::TessoraApplication::setDesktopFileName(QStringLiteral("io.tessora.Tessora"));
  tessora::TessoraApplication::setWindowIcon(
      QIcon(QPixmap::fromImage(tessora::ApplicationIconImage())));
  tessora::Platform platform = tessora::CreateDesktopPlatform();
  tessora::MessageDialogs dialogs;
  tessora::TForm1 window(platform, dialogs, {tessora::DataDirectory(), tessora::FileDirectory()});
  window.show();
  window.activateWindow();
  return tessora::TessoraApplication::exec();
}
