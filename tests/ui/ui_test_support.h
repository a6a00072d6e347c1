#pragma once

#include <QApplication>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_platform.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "support/wait.h"
#include "ui/dialogs.h"
#include "ui/tessora_application.h"
#include "ui/tform1.h"

namespace tessora::testing {

/// The one application object of the test program, with the general error handler in place.
/// It is never destroyed: Qt's test input devices are its children, and tearing them down among
/// the exit handlers crashes.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "tessora_ui_tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new TessoraApplication(argc, argv);
  return *app;
}

/// Runs the event loop until done() holds, for up to timeoutMs: the window keeps serving its
/// clipboard, its timers and its loads meanwhile.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kPatientMs) {
  return WaitFor(done, timeoutMs, [] { QApplication::processEvents(QEventLoop::AllEvents, 20); });
}

/// Answers the window's questions from fields and records what it was asked.
class FakeDialogs : public Dialogs {
 public:
  void showError(QWidget*, const std::string& message) override { errors.push_back(message); }
  bool askYesNo(QWidget*, const QString& title, const QString& text) override {
    questions.push_back(title + QStringLiteral(" | ") + text);
    return answerYes;
  }
  std::optional<TColor> chooseColor(QWidget*, TColor preset) override {
    presets.push_back(preset);
    return chosenColor;
  }
  std::optional<SaveChoice> chooseSaveFile(QWidget*, const std::string& folder,
                                           const std::string& filter, int filterIndex) override {
    saveRequests.push_back({folder, filter, filterIndex});
    return saveChoice;
  }
  std::optional<std::string> chooseOpenFile(QWidget*, const QString& title,
                                            const std::string& folder) override {
    openRequests.push_back(title + QStringLiteral(" | ") + QString::fromStdString(folder));
    return openChoice;
  }
  struct SaveRequest {
    std::string folder;
    std::string filter;
    int filterIndex;
  };
  std::vector<std::string> errors;
  std::vector<QString> questions;
  std::vector<TColor> presets;
  std::vector<SaveRequest> saveRequests;
  std::vector<QString> openRequests;
  bool answerYes = false;
  std::optional<TColor> chosenColor;
  std::optional<SaveChoice> saveChoice;
  std::optional<std::string> openChoice;
};

/// A window over fake services, with its program and file folders in one temporary folder.
struct FormFixture {
  FormFixture() { App(); }

  TForm1& create() {
    form = std::make_unique<TForm1>(fake.platform, dialogs,
                                    TForm1::Folders{dir.path() + "/", dir.path() + "/"});
    return *form;
  }
  TForm1& start() {
    create();
    form->FormActivate();
    return *form;
  }

  template <class T>
  T* find(const char* name) const {
    return form->findChild<T*>(QString::fromLatin1(name));
  }
  QColor previewPixel(int x, int y) const {
    return find<QLabel>("MainImage")->pixmap().toImage().pixelColor(x, y);
  }
  void writeSettings(const std::string& text) const { writeFile(dir.file("Tessora.ini"), text); }

  TempDir dir;
  FakePlatform fake;
  FakeDialogs dialogs;
  std::unique_ptr<TForm1> form;
};

/// Sends a move with no button pressed, as the pointer gliding over a widget does.
inline void glide(QWidget* widget, QPoint at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
}

/// Expects `label`'s text, wrapped as the label wraps it and measured in its own font, to lie
/// within its contents rectangle: no line is cut off at an edge.
inline void expectTextFits(const QLabel& label) {
  const QRectF room = label.contentsRect();
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  const QRectF used = QFontMetricsF(label.font(), &label).boundingRect(room, flags, label.text());
  EXPECT_TRUE(room.contains(used))
      << label.objectName().toStdString() << " needs " << used.width() << " x " << used.height()
      << " and has " << room.width() << " x " << room.height() << " for \""
      << label.text().toStdString() << "\"";
}

inline QColor qcolor(TColor c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace tessora::testing
