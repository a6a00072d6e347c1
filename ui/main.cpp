#include <QIcon>
#include <QPixmap>

#include "engine/color.h"
#include "platform/services.h"
#include "settings/filelocations.h"
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
  // The settings' default background colour is the desktop's own: it must be known first.
  tessora::SetSysColor(tessora::COLOR_BACKGROUND, platform.desktop->desktopColor());
  tessora::MessageDialogs dialogs;
  tessora::TForm1 window(platform, dialogs, {tessora::dataDirectory(), tessora::fileDirectory()});
  window.show();
  window.activateWindow();
  return tessora::TessoraApplication::exec();
}
