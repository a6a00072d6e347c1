#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <functional>

#include "imageio/image_files.h"
#include "support/pictures.h"
#include "ui/picture_worker.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

/// Runs the event loop until `done` or a generous time has passed.
bool Within(const std::function<bool()>& done) {
  return WaitUntil(done);
}

/// A started window that reads its pictures on worker threads, as the program does.
struct LoadingFixture : FormFixture {
  LoadingFixture() {
    create();
    form->decodeInBackground();
    form->FormActivate();
  }
  std::string picture(const std::string& name, int width, int height) const {
    Bitmap bitmap(width, height);
    bitmap.setFillColor(RGB(10, 200, 30));
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

// A drop, and a paste of a file a file manager copied, are read while the window stays usable.
TEST(TForm1Loading, APictureLoadsInTheBackgroundWithTheBusyCursorAndTheFilesName) {
  for (const bool paste : {false, true}) {
    LoadingFixture f;
    const std::string a = f.picture("a.png", 1200, 900);
    if (paste) {
      f.fake.clipboard->file = a;
      f.fake.clipboard->content = LoadPicture(a);
      f.find<QToolButton>("ToolButton1a0")->click();
    } else {
      f.drop("Panel1", a);
    }
    ASSERT_TRUE(f.loading()) << paste;
    EXPECT_TRUE(f.form->isEnabled()) << paste;
    ASSERT_NE(QApplication::overrideCursor(), nullptr) << paste;
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor) << paste;
    EXPECT_EQ(f.find<QLabel>("InfoLabel")->text(), QStringLiteral("loading a.png\u2026")) << paste;
    EXPECT_TRUE(f.find<QWidget>("Image1")->isHidden()) << paste;

    ASSERT_TRUE(Within([&] { return !f.loading(); })) << paste;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << paste;
    EXPECT_TRUE(f.find<QLabel>("InfoLabel")->isHidden()) << paste;
    EXPECT_EQ(f.form->document().CenterBitmap().pixel(5, 5), RGB(10, 200, 30)) << paste;
    EXPECT_FALSE(f.find<QWidget>("Image1")->isHidden()) << paste;
    EXPECT_EQ(f.form->CenterRecentList().entries().size(), paste ? 0U : 1U) << paste;
  }
}

// The reading thread is left to finish on its own: nothing lands in the window that has gone.
TEST(TForm1Loading, AWindowThatGoesWhileAPictureLoadsLeavesItBehind) {
  {
    LoadingFixture f;
    f.drop("Panel0", f.picture("big.png", 3000, 2000));
    ASSERT_TRUE(f.loading());
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(Within([] { return !PictureWorker::Decoding(); }));
  QApplication::processEvents();
}

}  // namespace
}  // namespace tessora::testing
