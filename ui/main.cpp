#include <cstdio>
#include <cstdlib>

#include <QIcon>
#include <QPixmap>

#include "platform/services.h"
#include "settings/file_locations.h"
#include "ui/glyphs.h"
#include "ui/message_dialogs.h"
#include "ui/picture_worker.h"
#include "ui/tessora_application.h"
#include "ui/tform1.h"

namespace {

int RunWindow(int argc, char** argv) {
  tessora::TessoraApplication app(argc, argv);
  // Wayland compositors match the window to its desktop entry, and so to its icon, by this name.
  tessora::TessoraApplication::setDesktopFileName(QStringLiteral("io.tessora.Tessora"));
  tessora::TessoraApplication::setWindowIcon(
      QIcon(QPixmap::fromImage(tessora::ApplicationIconImage())));
  tessora::Platform platform = tessora::CreateDesktopPlatform();
  tessora::MessageDialogs dialogs;
  tessora::TForm1 window(platform, dialogs, {tessora::DataDirectory(), tessora::FileDirectory()});
  window.decodeInBackground();
  window.show();
  window.activateWindow();
  return tessora::TessoraApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  const int status = RunWindow(argc, argv);
  // A picture still being read when the window closed is of no use, and its thread must not run
  // into the libraries' exit handlers: the program ends without them.
  if (tessora::PictureWorker::Decoding()) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}
