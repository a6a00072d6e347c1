#include "ui/error_box.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>
#include <stdexcept>

#include "ui_test_support.h"

namespace tessora::testing {
namespace {

TEST(ErrorBox, AFullStopFollowsOnlyWhatSortsAfterIt) {
  EXPECT_EQ(ErrorBoxText("Unable to write to /tmp/x"),
            QStringLiteral("Unable to write to /tmp/x."));
  EXPECT_EQ(ErrorBoxText("path ends in /"), QStringLiteral("path ends in /."));
  EXPECT_EQ(ErrorBoxText("List index out of bounds (3)"),
            QStringLiteral("List index out of bounds (3)"));
  EXPECT_EQ(ErrorBoxText("Error Reading File!"), QStringLiteral("Error Reading File!"));
  EXPECT_EQ(ErrorBoxText("Done."), QStringLiteral("Done."));
  EXPECT_EQ(ErrorBoxText("-"), QStringLiteral("-"));
  EXPECT_EQ(ErrorBoxText("0"), QStringLiteral("0."));
  EXPECT_EQ(ErrorBoxText(""), QString());
}

// A settings value a megabyte long must not hold the window up while the box lays it out.
TEST(ErrorBox, AnAbsurdlyLongMessageIsShortenedInTheMiddle) {
  const std::string value(1 << 20, '7');
  for (const std::string& message :
       {"'" + value + "' is not a valid integer value", "'" + value + "' is not valid.",
        // Characters beyond 16 bits right where it is cut stay whole.
        std::string(999, 'a') + "\xf0\x9f\x98\x80" + value + "\xf0\x9f\x98\x80" +
            std::string(99, 'b')}) {
    const QString text = ErrorBoxText(message);
    const QString whole = QString::fromStdString(message);
    EXPECT_LT(text.size(), 1200);
    EXPECT_TRUE(whole.startsWith(text.left(900))) << "the start says what went wrong";
    const QString end = QString::fromStdString(message.substr(message.size() - 60));
    const bool fullStop = message.back() > '.';
    EXPECT_TRUE(text.endsWith(fullStop ? end + '.' : end)) << "the end, and the full stop rule";
    EXPECT_TRUE(text.contains(QChar(0x2026)));
    EXPECT_TRUE(text.isValidUtf16());
  }
  const std::string fits(1000, 'x');
  EXPECT_EQ(ErrorBoxText(fits), QString::fromStdString(fits) + '.');
}

class Thrower : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) {
      throw std::runtime_error("Cannot open clipboard");
    }
    return QObject::event(e);
  }
};

TEST(ErrorBox, AFailingHandlerIsReportedInTheBoxAndTheProgramGoesOn) {
  App();
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  // The box is modal: answer it from the event loop it runs.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->accept();
    }
  });
  closer.start(10);
  Thrower thrower;
  QEvent failing(QEvent::User);
  EXPECT_FALSE(QApplication::sendEvent(&thrower, &failing));
  EXPECT_EQ(title, QStringLiteral("Tessora"));
  EXPECT_EQ(text, QStringLiteral("Cannot open clipboard."));
  EXPECT_EQ(icon, QMessageBox::Critical);
  QEvent harmless(QEvent::MaxUser);
  QApplication::sendEvent(&thrower, &harmless);
}

}  // namespace
}  // namespace tessora::testing
