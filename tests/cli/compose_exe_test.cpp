// The built tessora-compose, run as a script would run it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "engine/feedback.h"
#include "imageio/image_files.h"
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

// The tool writes into a pipe, a link to one or a link to its standard output as any program
// writing to a path does: the node stays what it was, and the picture arrives at the other end.
TEST(ComposeExecutable, WritesIntoPipesAndStandardOutputWithoutReplacingThem) {
  const struct {
    const char* make;
    bool throughFifo;
    mode_t type;
  } cases[] = {{"mkfifo node", true, S_IFIFO},
               {"mkfifo fifo && ln -s fifo node", true, S_IFLNK},
               {"ln -s /proc/self/fd/1 node", false, S_IFLNK}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.make);
    const testing::TempDir dir;
    const std::string tool = "env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" + dir.path() +
                             "' '" TESSORA_COMPOSE_EXE "' -q --size 64x48 -o node";
    // `timeout` spares the reader a writer that never opens the pipe.
    const std::string run =
        c.throughFifo ? "timeout 10 cat node > got.png & " + tool + "; s=$?; wait; exit $s"
                      : tool + " | cat > got.png";
    const std::string cd = "cd '" + dir.path() + "' && ";
    ASSERT_EQ(std::system((cd + c.make).c_str()), 0);
    EXPECT_EQ(std::system((cd + "(" + run + ")").c_str()), 0);
    EXPECT_EQ(testing::LoadPicture(dir.file("got.png")).width(), 64);
    struct stat st {};
    EXPECT_EQ(::lstat(dir.file("node").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.type);
  }
}

// Pictures of the photo formats compose as the same pictures saved as PNG do.
TEST(ComposeExecutable, ComposesPicturesOfThePhotoFormats) {
  const testing::TempDir dir;
  const std::string tile = TESSORA_FUZZ_SEEDS_DIR "/webp/rgb-lossless.webp";
  const std::string center = TESSORA_FUZZ_SEEDS_DIR "/heif/rotated.heic";
  SaveComposed(dir.file("tile.png"), SaveFormat::Png, testing::LoadPicture(tile));
  SaveComposed(dir.file("center.png"), SaveFormat::Png, testing::LoadPicture(center));
  const std::string common = "--size 40x30 --sizing as-is -o ";
  const Result photo = RunTool("--tile '" + tile + "' --center '" + center + "' " + common + "'" +
                               dir.file("photo.png") + "'");
  ASSERT_EQ(photo.status, 0) << photo.err;
  const Result png =
      RunTool("--tile '" + dir.file("tile.png") + "' --center '" + dir.file("center.png") + "' " +
              common + "'" + dir.file("png.png") + "'");
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_TRUE(testing::SamePicture(testing::LoadPicture(dir.file("photo.png")),
                                   testing::LoadPicture(dir.file("png.png"))));
}

// What a user sees when a command fails: one line that says why, and the exit status.
TEST(ComposeExecutable, FailuresSayWhyOnOneLine) {
  const testing::TempDir dir;
  const std::string& d = dir.path();
  ASSERT_TRUE(testing::writeFile(d + "/notes.png", "not a picture"));
  ASSERT_TRUE(testing::writeFile(d + "/notes.webp", "not a picture"));
  SaveComposed(d + "/cut.png", SaveFormat::Png, Bitmap(64, 64));
  testing::Bytes cut = testing::readBytes(d + "/cut.png");
  cut.resize(cut.size() / 2);
  ASSERT_TRUE(testing::writeBytes(d + "/cut.png", cut));
  SaveComposed(d + "/huge.bmp", SaveFormat::Bmp, Bitmap(2, 2));
  testing::Bytes huge = testing::readBytes(d + "/huge.bmp");
  const std::uint8_t sides[] = {0x70, 0x11, 0x01, 0x00, 0x70, 0x11, 0x01, 0x00};  // 70000 x 70000
  std::copy(std::begin(sides), std::end(sides), huge.begin() + 18);
  ASSERT_TRUE(testing::writeBytes(d + "/huge.bmp", huge));
  const struct {
    std::string args;
    std::string line;  // the first line of standard error
    int status;
  } cases[] = {
      {"--size 40x30 --center '" + d + "/notes.png'",
       "INVALID: " + d + "/notes.png: not a PNG file", 1},
      {"--size 40x30 --tile '" + d + "/notes.webp'",
       "INVALID: " + d + "/notes.webp: not a WebP file", 1},
      {"--size 40x30 --tile '" + d + "/cut.png'", "INVALID: " + d + "/cut.png: truncated", 1},
      {"--size 40x30 --center '" + d + "/huge.bmp'",
       "INVALID: " + d + "/huge.bmp: picture of 70000 x 70000 is larger than 65535 x 65535", 1},
      // A name cannot forge a line of its own or reach the terminal as a command.
      {"--size 40x30 --center '" + d + "/a\nINVALID: b\x1b[2J.gif'",
       "INVALID: " + d + "/a\\nINVALID: b\\x1b[2J.gif: does not exist", 1},
      // Refused before any of the work, the center picture's failure included.
      {"--size 70000x10 --center '" + d + "/none.png' -o '" + d + "/wide.jpg'",
       "tessora-compose: " + d +
           "/wide.jpg: a JPEG picture is at most 65500 x 65500 pixels, not 70000 x 10",
       1},
      {"--size 0x10",
       "tessora-compose: --size: '0x10' is out of range: each side 2 to 131072 pixels, at most "
       "536870912 pixels in all",
       2},
      {"--size 99999999x2",
       "tessora-compose: --size: '99999999x2' is out of range: each side 2 "
       "to 131072 pixels, at most 536870912 pixels in all",
       2},
      {"'--bogus\x1b[0m'", "tessora-compose: unknown option '--bogus\\x1b[0m'", 2},
  };
  for (const auto& c : cases) {
    const Result r = RunTool(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.line) << c.args;
    if (c.status != 2) {
      EXPECT_EQ(r.err, c.line + "\n") << "one line alone";
    }
  }
  EXPECT_FALSE(std::filesystem::exists(d + "/wide.jpg"));
}

}  // namespace
}  // namespace tessora
