#include "ui/error_box.h"

#include <QApplication>
#include <QMessageBox>

namespace tessora {

QString ErrorBoxText(const std::string& message) {
  QString text = QString::fromStdString(message);
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    text += QLatin1Char('.');
  }
  return text;
}

void ShowErrorBox(QWidget* owner, const std::string& message) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), ErrorBoxText(message),
                  QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace tessora
