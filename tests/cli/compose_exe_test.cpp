// The built tessora-compose, run as a script would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/files.h"
#include "support/pictures.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Runs the tool without a display, arguments quoted for the shell.
Result RunTool(const std::string& args) {
  const testing::TempDir dir;
  const std::string out = dir.file("out");
  const std::string err = dir.file("err");
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" + dir.path() +
                              "' '" TESSORA_COMPOSE_EXE "' " + args + " >'" + out + "' 2>'" + err +
                              "'";
  const int raw = std::system(command.c_str());
  return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing::readFile(out),
                testing::readFile(err)};
}

TEST(ComposeExecutable, HelpVersionAndUsageErrors) {
  Result r = RunTool("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: tessora-compose"), std::string::npos);
  EXPECT_NE(r.out.find("--set-wallpaper"), std::string::npos);
  r = RunTool("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("tessora-compose 2.", 0), 0U) << r.out;
  r = RunTool("--sizing sideways");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--sizing: 'sideways'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Usage: tessora-compose"), std::string::npos);
  r = RunTool("-o /tmp/never-written.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("give --size"), std::string::npos) << r.err;
}

TEST(ComposeExecutable, ComposesAndSavesWithoutADisplay) {
  const testing::TempDir dir;
  const std::string file = dir.file("out.png");
  const Result r = RunTool(
      "--size 320x200 --color1 '#000000' --color2 '#ffffff' "
      "--background vertical -o '" +
      file + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("saved: "), std::string::npos);
  const Bitmap b = testing::LoadPicture(file);
  ASSERT_EQ(b.width(), 320);
  EXPECT_EQ(b.pixel(10, 0), RGB(0, 0, 0));
  EXPECT_GT(GetRValue(b.pixel(10, 199)), 240);
}

}  // namespace
}  // namespace tessora
