#include "ui/about_box.h"

#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "ui/glyphs.h"
#include "ui_test_support.h"

namespace tessora::testing {
namespace {

struct AboutFixture {
  AboutFixture() { App(); }
  std::unique_ptr<TAboutBox> open() {
    auto box =
        std::make_unique<TAboutBox>(nullptr, shell, dir.path() + "/", ApplicationIconImage());
    box->FormActivate();
    return box;
  }
  TempDir dir;
  FakeShell shell;
};

QLabel* label(const TAboutBox& box, const char* name) {
  return box.findChild<QLabel*>(QString::fromLatin1(name));
}

TEST(TAboutBox, ShowsNameVersionCreditAndIconInItsFixedLayout) {
  AboutFixture f;
  auto box = f.open();
  EXPECT_EQ(box->windowTitle(), QStringLiteral("About Tessora"));
  EXPECT_EQ(box->size(), QSize(298, 213));
  EXPECT_EQ(label(*box, "ProductName")->text(), QStringLiteral("Tessora"));
  EXPECT_EQ(label(*box, "Version")->text(), QStringLiteral("version 2.0"));
  EXPECT_FALSE(label(*box, "StaticText2")->text().isEmpty());
  EXPECT_EQ(label(*box, "IconImage")->pixmap().size(), QSize(32, 32));
  const auto* ok = box->findChild<QPushButton*>(QStringLiteral("OKButton"));
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(ok->geometry(), QRect(111, 180, 75, 25));
}

TEST(TAboutBox, LinksOnlyWhenTheReadmeIsBesideTheProgram) {
  AboutFixture without;
  auto box = without.open();
  EXPECT_TRUE(label(*box, "ReadmeStaticText")->isHidden());
  EXPECT_TRUE(label(*box, "StaticText1")->isHidden()) << "a link must not lead nowhere";
  EXPECT_EQ(box->ReadmePath(), without.dir.path() + "/readme.txt");

  AboutFixture with;
  writeFile(with.dir.file("readme.txt"), "hello");
  auto shown = with.open();
  QLabel* link = label(*shown, "ReadmeStaticText");
  EXPECT_FALSE(link->isHidden());
  QTest::mouseClick(link, Qt::LeftButton);
  QTest::mouseClick(label(*shown, "StaticText1"), Qt::LeftButton);
  EXPECT_EQ(with.shell.documents,
            (std::vector<std::string>{with.dir.file("readme.txt"), shown->WebsitePath()}));

  // A second activation shows the same.
  shown->FormActivate();
  EXPECT_FALSE(link->isHidden());
}

// The program folder the build lays out, as it is installed: every link there opens a file that
// is there, and every text stands whole inside the box's frame without crossing another.
TEST(TAboutBox, InTheBuiltProgramFolderEveryLinkOpensAFileAndEveryTextFits) {
  App();
  FakeShell shell;
  TAboutBox box(nullptr, shell, TESSORA_PROGRAM_BUILD_DIR, ApplicationIconImage());
  box.FormActivate();
  const char* names[] = {"ProductName", "Version", "ReadmeStaticText", "StaticText1",
                         "StaticText2"};
  const QRect frame = box.findChild<QFrame*>(QStringLiteral("Panel1"))->contentsRect();
  for (const char* name : names) {
    const QLabel* text = label(box, name);
    ASSERT_NE(text, nullptr) << name;
    EXPECT_FALSE(text->isHidden()) << name;
    expectTextFits(*text);
    EXPECT_TRUE(frame.contains(text->geometry())) << name;
    for (const char* other : names) {
      EXPECT_TRUE(other == name || !text->geometry().intersects(label(box, other)->geometry()))
          << name << " crosses " << other;
    }
  }
  box.ReadmeStaticTextClick();
  box.StaticText1Click();
  ASSERT_EQ(shell.documents.size(), 2U);
  for (const std::string& target : shell.documents) {
    EXPECT_TRUE(std::filesystem::is_regular_file(target)) << target;
  }
}

}  // namespace
}  // namespace tessora::testing
