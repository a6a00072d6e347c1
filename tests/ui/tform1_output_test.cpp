#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QToolButton>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "imageio/image_files.h"
#include "ui/message_dialogs.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

/// A started window whose wallpaper is a red 1024 x 768 block with a green center image.
struct OutputFixture : FormFixture {
  OutputFixture() {
    writeSettings("[program parameters]\r\ndeep background color=$000000FF\r\n");
    fake.wallpaper->folder = dir.path() + "/";
    start();
    Bitmap center(200, 100);
    center.setFillColor(RGB(0, 255, 0));
    center.fill();
    fake.clipboard->content = center;
    find<QToolButton>("ToolButton1a0")->click();
    fake.clipboard->content.reset();
  }
  Document& doc() const { return form->document(); }
  QString info() const { return find<QLabel>("InfoLabel")->text(); }
  bool enabled(const char* name) const { return find<QToolButton>(name)->isEnabled(); }
  const std::string& lastCue() const { return fake.sound->played.back(); }
  /// Reads a written file back through the image readers.
  static Bitmap load(const std::string& path) {
    Bitmap bitmap;
    EXPECT_TRUE(LoadImageFile(path, bitmap)) << path;
    return bitmap;
  }
};

TEST(TForm1Output, SetAsWallpaperWritesTheBitmapFileAndInstallsIt) {
  OutputFixture f;
  const std::string file = f.dir.file("Tessora Wallpaper.bmp");
  f.find<QAction>("MI_SetAsWallpaper")->trigger();
  EXPECT_EQ(f.fake.wallpaper->installed, std::vector<std::string>{file});
  EXPECT_EQ(readFile(file).substr(0, 2), "BM");
  EXPECT_TRUE(f.load(file).samePixels(f.doc().ComposedBitmap()));
  EXPECT_EQ(f.info(), QStringLiteral("Wallpaper has been set"));
  EXPECT_EQ(f.lastCue(), f.dir.path() + "/wav/SetWallpaper.wav");
  EXPECT_TRUE(f.form->isEnabled());

  // The second install rewrites the same file.
  f.doc().setColor0(RGB(1, 2, 3));
  f.find<QAction>("TG_Tile")->trigger();
  f.find<QAction>("MI_SetAsWallpaper")->trigger();
  EXPECT_EQ(f.fake.wallpaper->installed.size(), 2U);
  EXPECT_EQ(f.load(file).pixel(0, 0), RGB(1, 2, 3));
}

TEST(TForm1Output, AWallpaperNoServiceTakesIsReportedWithTheReasonAndTheFileStays) {
  OutputFixture f;
  f.fake.wallpaper->result =
      Outcome::Failed("GNOME: schema not installed; Portal: no Wallpaper interface");
  const std::size_t cues = f.fake.sound->played.size();
  f.find<QAction>("MI_SetAsWallpaper")->trigger();
  const QString report = QStringLiteral(
      "Wallpaper could not be set: GNOME: schema not installed; Portal: no Wallpaper interface");
  EXPECT_TRUE(f.info().simplified().startsWith(QStringLiteral("Wallpaper could not be set")))
      << "the summary";
  EXPECT_EQ(f.find<QLabel>("InfoLabel")->toolTip(), report) << "the whole report on hover";
  expectTextFits(*f.find<QLabel>("InfoLabel"));
  EXPECT_EQ(f.fake.sound->played.size(), cues) << "no success cue";
  EXPECT_TRUE(f.load(f.dir.file("Tessora Wallpaper.bmp")).samePixels(f.doc().ComposedBitmap()));
  EXPECT_TRUE(f.form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // A folder that cannot be written: the error box, and the desktop is not asked.
  f.fake.wallpaper->folder = f.dir.file("missing/");
  f.fake.wallpaper->installed.clear();
  f.find<QAction>("MI_SetAsWallpaper")->trigger();
  ASSERT_EQ(f.dialogs.errors.size(), 1U);
  EXPECT_NE(f.dialogs.errors[0].find(f.dir.file("missing/Tessora Wallpaper.bmp")),
            std::string::npos)
      << f.dialogs.errors[0];
  EXPECT_TRUE(f.fake.wallpaper->installed.empty());
  EXPECT_TRUE(f.form->isEnabled());
}

TEST(TForm1Output, CopyToClipboardPutsTheWallpaperThereAndThePasteButtonsFollowTheClipboard) {
  OutputFixture f;
  EXPECT_FALSE(f.form->ClipboardUsed());
  f.find<QAction>("MI_CopyToClipboard")->trigger();
  ASSERT_TRUE(f.fake.clipboard->content.has_value());
  EXPECT_TRUE(f.fake.clipboard->content->samePixels(f.doc().ComposedBitmap()));
  EXPECT_TRUE(f.form->ClipboardUsed());
  EXPECT_EQ(f.lastCue(), f.dir.path() + "/wav/ImageAssign.wav");
  EXPECT_TRUE(f.find<QLabel>("InfoLabel")->isHidden()) << "copying shows no text";

  const auto* timer = f.form->findChild<QTimer*>(QStringLiteral("ClipboardCheckTimer"));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 300);
  EXPECT_TRUE(timer->isActive());
  // The watch's next round, however late a busy machine lets it come.
  EXPECT_TRUE(WaitUntil([&] { return f.enabled("ToolButton0a0") && f.enabled("ToolButton1a0"); }));
  f.fake.clipboard->content.reset();
  EXPECT_TRUE(
      WaitUntil([&] { return !f.enabled("ToolButton0a0") && !f.enabled("ToolButton1a0"); }));
}

TEST(TForm1Output, TheWatchEnablesTheSizingButtonExactlyWhileThereIsACenterImage) {
  OutputFixture f;
  f.find<QToolButton>("ToolButton1a2")->setEnabled(false);
  EXPECT_TRUE(WaitUntil([&] { return f.enabled("ToolButton1a2"); }));
  f.find<QToolButton>("ToolButton1a1")->click();
  f.find<QToolButton>("ToolButton1a2")->setEnabled(true);
  EXPECT_TRUE(WaitUntil([&] { return !f.enabled("ToolButton1a2"); }));
  EXPECT_FALSE(f.enabled("ToolButton1a3")) << "the watch leaves the other center tools";
}

TEST(TForm1Output, SaveAsWritesTheSelectedFormatUnderTheResolvedName) {
  OutputFixture f;
  const std::string d = f.dir.path() + "/";
  const struct {
    const char* typed;
    int filter;
    const char* written;
    const char* magic;
  } rows[] = {
      {"wall", 1, "wall.png", "\x89PNG"},
      {"wall.png", 3, "wall.png", "BM"},
      {"wall.jpeg", 2, "wall.jpeg", "\xFF\xD8\xFF"},
      {"wall.gif", 2, "wall.gif.jpg", "\xFF\xD8\xFF"},
      {"Wall.BMP", 3, "Wall.BMP", "BM"},
  };
  int expectedIndex = 1;
  for (const auto& row : rows) {
    f.dialogs.saveChoice = Dialogs::SaveChoice{d + row.typed, row.filter};
    f.find<QAction>("MI_SaveAs")->trigger();
    const auto& request = f.dialogs.saveRequests.back();
    EXPECT_EQ(request.folder, d) << "the program's folder";
    EXPECT_EQ(request.filter,
              "PNG - Portable Network Graphics|*.png|JPG (77) - Joint Photographic Experts "
              "Group|*.jpg|BMP - Windows Bitmap|*.bmp");
    EXPECT_EQ(request.filterIndex, expectedIndex) << "the last choice stays selected";
    expectedIndex = row.filter;
    const std::string written = d + row.written;
    const std::string magic = row.magic;
    EXPECT_EQ(readFile(written).substr(0, magic.size()), magic) << row.written;
    EXPECT_EQ(f.info().toStdString(), SavedInfoText(written));
    // The readers go by the extension: a copy named for the format is read back.
    const std::string copy = d + "check" +
                             (row.filter == 1   ? ".png"
                              : row.filter == 2 ? ".jpg"
                                                : ".bmp");
    std::filesystem::copy_file(written, copy, std::filesystem::copy_options::overwrite_existing);
    const Bitmap back = f.load(copy);
    EXPECT_EQ(back.width(), 1024) << row.written;
    if (row.filter != 2) {
      EXPECT_TRUE(back.samePixels(f.doc().ComposedBitmap())) << row.written;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(d + "wall.gif"));
  EXPECT_TRUE(f.dialogs.errors.empty());
}

TEST(TForm1Output, SaveAsCancelledOrFailingLeavesNoSavedText) {
  OutputFixture f;
  f.find<QAction>("MI_SaveAs")->trigger();
  EXPECT_EQ(f.dialogs.saveRequests.size(), 1U);
  EXPECT_EQ(f.form->document().ComposedBitmap().width(), 1024);
  EXPECT_FALSE(f.info().startsWith(QStringLiteral("saved: ")));

  f.dialogs.saveChoice = Dialogs::SaveChoice{f.dir.file("no/such/folder/x.png"), 1};
  f.find<QAction>("MI_SaveAs")->trigger();
  ASSERT_EQ(f.dialogs.errors.size(), 1U);
  EXPECT_EQ(f.dialogs.errors[0], "Error Opening File " + f.dir.file("no/such/folder/x.png") + "! " +
                                     std::strerror(ENOENT));
  EXPECT_FALSE(f.info().startsWith(QStringLiteral("saved: ")));
  EXPECT_TRUE(f.form->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  f.dialogs.saveChoice = Dialogs::SaveChoice{f.dir.file("x"), 0};
  f.find<QAction>("MI_SaveAs")->trigger();
  EXPECT_FALSE(std::filesystem::exists(f.dir.file("x"))) << "an unknown filter saves nothing";
}

TEST(TForm1Output, TheSaveDialogStartsInThePicturesFolderWhereTheProgramFolderIsReadOnly) {
  TempDir dir;
  EXPECT_EQ(SaveDialogFolder(dir.path() + "/", "/pictures/"), dir.path() + "/");
  EXPECT_EQ(SaveDialogFolder(dir.file("missing/"), "/pictures/"), "/pictures/");
  if (::geteuid() != 0) {
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(SaveDialogFolder(dir.path() + "/", "/pictures/"), "/pictures/");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
  }
  EXPECT_EQ(SaveDialogNameFilters(kSaveDialogFilter),
            (QStringList{"PNG - Portable Network Graphics (*.png)",
                         "JPG (77) - Joint Photographic Experts Group (*.jpg)",
                         "BMP - Windows Bitmap (*.bmp)"}));
}

TEST(TForm1Output, TheRealSaveDialogShowsTheFilterAndReturnsTheChosenEntry) {
  App();
  TempDir dir;
  writeFile(dir.file("old.png"), "x");
  QStringList filters;
  QString directory;
  bool confirms = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    directory = dialog->directory().absolutePath();
    confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite) &&
               dialog->acceptMode() == QFileDialog::AcceptSave;
    // The patterns stay hidden: the user sees the descriptions as the filter text gives them.
    EXPECT_EQ(dialog->selectedNameFilter().toStdString(),
              "JPG (77) - Joint Photographic Experts Group");
    EXPECT_TRUE(dialog->defaultSuffix().isEmpty());
    dialog->selectNameFilter(filters.value(2));
    dialog->selectFile(QString::fromStdString(dir.file("wall")));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  MessageDialogs dialogs;
  const auto choice = dialogs.chooseSaveFile(nullptr, dir.path() + "/", kSaveDialogFilter, 2);
  EXPECT_EQ(filters, SaveDialogNameFilters(kSaveDialogFilter));
  EXPECT_EQ(directory.toStdString(), dir.path());
  EXPECT_TRUE(confirms) << "the dialog asks before an existing file is replaced";
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->fileName, dir.file("wall"));
  EXPECT_EQ(choice->filterIndex, 3);

  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  EXPECT_FALSE(dialogs.chooseSaveFile(nullptr, dir.path() + "/", kSaveDialogFilter, 1));
}

}  // namespace
}  // namespace tessora::testing
