#pragma once

#include <QApplication>

namespace tessora {

/// The application object with the general error handler: a command that fails (an exception
/// escaping an event handler) is reported in the error box, and the program goes on.
class TessoraApplication : public QApplication {
  Q_OBJECT

 public:
  TessoraApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tessora
