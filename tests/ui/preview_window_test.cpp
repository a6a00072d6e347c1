#include "ui/preview_window.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace tessora {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "tessora_ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

TEST(PreviewWindow, ShowsTheRenderedDefaultComposition) {
  App();
  Document doc(SilentFeedback());
  doc.setDeepBackgroundColorValue(RGB(12, 34, 56));
  PreviewWindow window(doc);
  doc.Activate(DesktopGeometry{1024, 768, Rect{0, 0, 1024, 768}});
  const auto* label = window.findChild<QLabel*>(QStringLiteral("MainImage"));
  ASSERT_NE(label, nullptr);
  const QImage shown = label->pixmap().toImage();
  ASSERT_EQ(shown.width(), 344);
  ASSERT_EQ(shown.height(), 231);
  EXPECT_EQ(shown.pixelColor(100, 100), QColor(12, 34, 56));
}

}  // namespace
}  // namespace tessora
