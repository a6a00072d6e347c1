#include "ui/about_box.h"

#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

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

TEST(TAboutBox, ReadmeLinkOnlyWhenTheFileIsBesideTheProgram) {
  AboutFixture without;
  auto box = without.open();
  EXPECT_TRUE(label(*box, "ReadmeStaticText")->isHidden());
  EXPECT_EQ(box->ReadmePath(), without.dir.path() + "/readme.txt");

  AboutFixture with;
  writeFile(with.dir.file("readme.txt"), "hello");
  auto shown = with.open();
  QLabel* link = label(*shown, "ReadmeStaticText");
  EXPECT_FALSE(link->isHidden());
  QTest::mouseClick(link, Qt::LeftButton);
  QTest::mouseClick(label(*shown, "StaticText1"), Qt::LeftButton);
  EXPECT_EQ(with.shell.documents,
            (std::vector<std::string>{with.dir.file("readme.txt"), TAboutBox::kWebsite}));

  // A second activation shows the same.
  shown->FormActivate();
  EXPECT_FALSE(link->isHidden());
}

}  // namespace
}  // namespace tessora::testing
