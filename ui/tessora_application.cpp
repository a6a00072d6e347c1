#include "ui/tessora_application.h"

#include <exception>

#include "ui/error_box.h"

namespace tessora {

TessoraApplication::TessoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Tessora"));
}

// Qt does not support exceptions unwinding through its event loop; every handler runs inside
// notify(), so this is the one place that catches what a command throws before it gets there.
bool TessoraApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowErrorBox(activeWindow(), e.what());
  } catch (...) {
    ShowErrorBox(activeWindow(), "Unknown failure");
  }
  return false;
}

}  // namespace tessora
