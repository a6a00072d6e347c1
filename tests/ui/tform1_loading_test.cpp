#include <gtest/gtest.h>

#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <functional>

#include "imageio/image_files.h"
#include "ui/picture_worker.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

/// Runs the event loop until `done` or a generous time has passed.
bool Within(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

/// A started window that reads its pictures on worker threads, as the program does.
struct LoadingFixture : FormFixture {
  LoadingFixture() {
    create();
    form->decodeInBackground();
    form->FormActivate();
  }
  std::string picture(const std::string& name, int width, int height, TColor color) const {
    Bitmap bitmap(width, height);
    bitmap.setFillColor(color);
    bitmap.fill();
    SaveComposed(dir.file(name), SaveFormat::Png, bitmap);
    return dir.file(name);
  }
  void drop(const char* panel, const std::string& path) const {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(find<QWidget>(panel), &enter);
    QDropEvent event(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(find<QWidget>(panel), &event);
  }
  bool loading() const {
    return form->document().loading(Source::Tile) || form->document().loading(Source::Center);
  }
};

TEST(TForm1Loading, ADropLoadsWhileTheWindowStaysUsableWithTheBusyCursorAndTheFilesName) {
  LoadingFixture f;
  const std::string a = f.picture("a.png", 1200, 900, RGB(10, 200, 30));
  f.drop("Panel1", a);
  ASSERT_TRUE(f.loading());
  EXPECT_TRUE(f.form->isEnabled());
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  EXPECT_EQ(f.find<QLabel>("InfoLabel")->text(), QStringLiteral("loading a.png\u2026"));
  EXPECT_TRUE(f.find<QWidget>("Image1")->isHidden());

  ASSERT_TRUE(Within([&] { return !f.loading(); }));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(f.find<QLabel>("InfoLabel")->isHidden());
  EXPECT_EQ(f.form->document().CenterBitmap().pixel(5, 5), RGB(10, 200, 30));
  EXPECT_FALSE(f.find<QWidget>("Image1")->isHidden());
  EXPECT_EQ(f.form->CenterRecentList().entries(), std::vector<std::string>{a});
}

// File managers copy a picture as its file's address: the paste reads it like a drop.
TEST(TForm1Loading, APastedFileIsReadInTheBackgroundAndPasted) {
  LoadingFixture f;
  f.fake.clipboard->file = f.dir.file("copied.png");
  f.fake.clipboard->content = Bitmap(30, 20);
  f.find<QToolButton>("ToolButton1a0")->click();
  ASSERT_TRUE(f.loading());
  EXPECT_EQ(f.find<QLabel>("InfoLabel")->text(), QStringLiteral("loading copied.png\u2026"));
  ASSERT_TRUE(Within([&] { return !f.loading(); }));
  EXPECT_EQ(f.form->document().CenterBitmap().width(), 30);
  EXPECT_FALSE(f.find<QWidget>("Image1")->isHidden());
}

// The reading thread is left to finish on its own: nothing lands in the window that has gone.
TEST(TForm1Loading, AWindowThatGoesWhileAPictureLoadsLeavesItBehind) {
  {
    LoadingFixture f;
    f.drop("Panel0", f.picture("big.png", 3000, 2000, RGB(1, 2, 3)));
    ASSERT_TRUE(f.loading());
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(Within([] { return !PictureWorker::Decoding(); }));
  QApplication::processEvents();
}

}  // namespace
}  // namespace tessora::testing
