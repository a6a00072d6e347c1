#include "ui/error_box.h"

#include <QApplication>
#include <QMessageBox>

namespace tessora {

namespace {

// A message may carry a value from a file (a settings value a megabyte long): laid out whole, it
// would hold up the window for seconds and make a box no screen can show. Its start says what
// went wrong and its end how the message closes; the middle gives way.
constexpr qsizetype kKeptHead = 1000;
constexpr qsizetype kKeptTail = 100;

// Cuts between two UTF-16 units only where no surrogate pair is split.
qsizetype cutAt(const QString& text, qsizetype at) {
  return at > 0 && text.at(at - 1).isHighSurrogate() ? at - 1 : at;
}

QString shortened(QString text) {
  if (text.size() <= kKeptHead + kKeptTail + 1) {
    return text;
  }
  const qsizetype head = cutAt(text, kKeptHead);
  const qsizetype tail = cutAt(text, text.size() - kKeptTail);
  return text.left(head) + QChar(0x2026) + text.mid(tail);
}

}  // namespace

QString ErrorBoxText(const std::string& message) {
  QString text = shortened(QString::fromStdString(message));
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
