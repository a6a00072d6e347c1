#include "cli/desktop_helper.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>

#include "support/files.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

namespace fs = std::filesystem;

// A temporary folder with executable scripts in it.
class Scripts {
 public:
  std::string add(const std::string& name, const std::string& body) const {
    const std::string path = dir_.file(name);
    fs::create_directories(fs::path(path).parent_path());
    EXPECT_TRUE(testing::writeScript(path, body)) << path;
    return path;
  }
  std::string path(const std::string& name) const { return dir_.file(name); }

 private:
  testing::TempDir dir_;
};

TEST(DesktopHelper, ProgramsReportTheirOutputAndHowTheyEnded) {
  Scripts s;
  ProgramRun run = RunProgram(s.add("talk", "echo \"$1|$2\"; exit 3\n"), {"a b", "c"});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "a b|c\n");
  run = RunProgram(s.path("missing"), {});
  EXPECT_EQ(run.status, -1);
  EXPECT_FALSE(run.error.empty());
  run = RunProgram(s.add("crash", "kill -9 $$\n"), {});
  EXPECT_EQ(run.status, -1);
  EXPECT_EQ(run.error, "ended by signal 9");
}

// A program the helper leaves running (swaybg) keeps the pipe open; the answer must not wait
// for it.
TEST(DesktopHelper, TheAnswerEndsWithTheProgramNotWithWhatItLeftRunning) {
  Scripts s;
  const std::string pidFile = s.path("left.pid");
  const auto start = std::chrono::steady_clock::now();
  const ProgramRun run =
      RunProgram(s.add("leave", "sleep 30 & echo $! > \"$1\"; echo answer\n"), {pidFile});
  const auto took = std::chrono::steady_clock::now() - start;
  const std::string left = testing::readFile(pidFile);
  if (!left.empty()) {
    ::kill(std::stoi(left), SIGTERM);
  }
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "answer\n");
  EXPECT_LT(took, std::chrono::seconds(10));
}

TEST(DesktopHelper, GeometrySurvivesTheTripThroughText) {
  DesktopGeometry g;
  g.screenWidth = 2560;
  g.screenHeight = 1440;
  g.workArea = Rect{0, 32, 2560, 1440};
  g.workAreaKnown = false;
  const auto back = DesktopHelper::ParseGeometry(DesktopHelper::FormatGeometry(g));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->screenWidth, 2560);
  EXPECT_EQ(back->screenHeight, 1440);
  EXPECT_EQ(back->workArea.Top, 32);
  EXPECT_EQ(back->workArea.Bottom, 1440);
  EXPECT_FALSE(back->workAreaKnown);
  EXPECT_FALSE(DesktopHelper::ParseGeometry("").has_value());
  EXPECT_FALSE(DesktopHelper::ParseGeometry("1920 1080 0 0").has_value());
  EXPECT_FALSE(DesktopHelper::ParseGeometry("0 1080 0 0 0 0 1").has_value());
}

TEST(DesktopHelper, MonitorsAndTheirPicturesSurviveTheTripThroughText) {
  MonitorLayout layout;
  layout.monitors = {Monitor{"DP-1", Rect{0, 0, 1920, 1080}, Rect{0, 0, 1920, 1050}, true},
                     Monitor{"", Rect{1920, -200, 3000, 1720}, Rect{0, 0, 1080, 1920}, false},
                     Monitor{"Virtual 2", Rect{-800, 0, 0, 600}, Rect{0, 0, 800, 600}, true}};
  layout.primary = 1;
  const auto facts =
      DesktopHelper::ParseDesktop(DesktopHelper::FormatDesktop(layout, RGB(2, 60, 136)));
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->color, RGB(2, 60, 136)) << "the desktop's colour comes along";
  const std::optional<MonitorLayout> back = facts->layout;
  EXPECT_EQ(back->primary, 1U);
  ASSERT_EQ(back->monitors.size(), 3U);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back->monitors[i].name, layout.monitors[i].name);
    EXPECT_EQ(back->monitors[i].rect, layout.monitors[i].rect);
    EXPECT_EQ(back->monitors[i].workArea, layout.monitors[i].workArea);
    EXPECT_EQ(back->monitors[i].workAreaKnown, layout.monitors[i].workAreaKnown);
  }
  EXPECT_FALSE(DesktopHelper::ParseLayout("").has_value());
  EXPECT_FALSE(DesktopHelper::ParseLayout("0 0 0 1080 0 0 0 0 1 1 X\n").has_value());
  EXPECT_FALSE(DesktopHelper::ParseDesktop(DesktopHelper::FormatLayout(layout) + "color 12\n"));

  MonitorPictures pictures;
  pictures.spanned = "/w/all.bmp";
  pictures.bounds = Rect{-800, -200, 3000, 1720};
  pictures.primary = 1;
  pictures.monitors = {MonitorPicture{"DP-1", Rect{0, 0, 1920, 1080}, "/w/1.bmp"},
                       MonitorPicture{"", Rect{1920, -200, 3000, 1720}, "/w/2 b.bmp"}};
  std::vector<std::string> args = DesktopHelper::MonitorPicturesArgs(pictures);
  const auto read = DesktopHelper::ParseMonitorPicturesArgs(args);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->spanned, pictures.spanned);
  EXPECT_EQ(read->bounds, pictures.bounds);
  EXPECT_EQ(read->primary, 1U);
  ASSERT_EQ(read->monitors.size(), 2U);
  EXPECT_EQ(read->monitors[1].name, "");
  EXPECT_EQ(read->monitors[1].rect, pictures.monitors[1].rect);
  EXPECT_EQ(read->monitors[1].path, "/w/2 b.bmp");
  args[1] = "2";  // no third monitor
  EXPECT_FALSE(DesktopHelper::ParseMonitorPicturesArgs(args).has_value());
  args.pop_back();
  EXPECT_FALSE(DesktopHelper::ParseMonitorPicturesArgs(args).has_value());
}

TEST(DesktopHelper, AnswersComeFromTheHelperProgram) {
  Scripts s;
  const std::string helper = s.add("helper", R"(case "$1" in
  geometry) echo "1920 1080 0 0 1920 1050 1" ;;
  monitors) printf '0 0 1920 1080 0 0 1920 1050 1 0 DP-1\n1920 0 3000 1920 0 0 1080 1920 1 1 HDMI-1\n' ;;
  install-monitors) echo "$2 $3 $8 ${13}"; exit 1 ;;
  folder) echo "/tmp/walls/" ;;
  install) echo "no desktop would take $2"; exit 1 ;;
esac
)");
  DesktopHelper desktop(helper);
  const OutcomeOf<DesktopGeometry> g = desktop.geometry();
  ASSERT_TRUE(g.ok());
  EXPECT_EQ(g.value().workArea.Bottom, 1050);
  EXPECT_EQ(desktop.wallpaperFolder().value(), "/tmp/walls/");
  const Outcome r = desktop.setWallpaper("/tmp/walls/w.bmp");
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.reason(), "no desktop would take /tmp/walls/w.bmp");
  const OutcomeOf<DesktopFacts> m = desktop.desktop();
  ASSERT_TRUE(m.ok());
  ASSERT_EQ(m.value().layout.monitors.size(), 2U);
  EXPECT_EQ(m.value().layout.primary, 1U);
  EXPECT_EQ(m.value().layout.monitors[1].name, "HDMI-1");
  EXPECT_EQ(m.value().color, std::nullopt) << "a helper that does not tell the colour";
  MonitorPictures pictures;
  pictures.spanned = "/s.bmp";
  pictures.bounds = Rect{0, 0, 3000, 1920};
  pictures.monitors = {MonitorPicture{"DP-1", Rect{0, 0, 1920, 1080}, "/1.bmp"}};
  // The helper echoes the spanned picture, the primary, the first name and the first picture.
  EXPECT_EQ(desktop.setMonitorWallpapers(pictures).reason(), "/s.bmp 0 DP-1 /1.bmp");

  DesktopHelper broken(s.add("broken", "exit 1\n"));
  const OutcomeOf<DesktopGeometry> unread = broken.geometry();
  EXPECT_FALSE(unread.ok());
  EXPECT_EQ(unread.reason(), "the desktop's size could not be read");
  EXPECT_EQ(broken.desktop().reason(), "the desktop's monitors could not be read");
  EXPECT_EQ(broken.setWallpaper("/tmp/w.bmp").reason(), "the desktop helper failed");
  DesktopHelper absent(s.path("absent"));
  const OutcomeOf<DesktopGeometry> unstarted = absent.geometry();
  EXPECT_FALSE(unstarted.ok());
  EXPECT_NE(unstarted.reason().find("absent"), std::string::npos);
  EXPECT_FALSE(absent.setWallpaper("/tmp/w.bmp").ok());
}

// An install is done once the helper says the desktop took the wallpaper, while the helper still
// closes its desktop libraries: the set becomes current at once. A helper that then lingers is
// not waited for.
TEST(DesktopHelper, AnInstallIsDoneAsSoonAsTheHelperSaysTheDesktopTookIt) {
  Scripts s;
  const std::string pids = s.path("pids");
  DesktopHelper desktop(
      s.add("helper", "echo $$ >> '" + pids + "'; echo installed; exec sleep 20\n"));
  MonitorPictures pictures;
  pictures.spanned = "/s.bmp";
  pictures.bounds = Rect{0, 0, 10, 10};
  pictures.monitors = {MonitorPicture{"DP-1", Rect{0, 0, 10, 10}, "/1.bmp"}};
  const std::function<Outcome()> installs[] = {
      [&] { return desktop.setWallpaper("/w.bmp"); },
      [&] { return desktop.setMonitorWallpapers(pictures); },
  };
  for (const auto& install : installs) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(install().ok());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  }
  std::istringstream lingering(testing::readFile(pids));
  for (int pid = 0; lingering >> pid;) {
    ::kill(pid, SIGTERM);
  }
}

// Without a usable folder the wallpaper file would land wherever the tool runs.
TEST(DesktopHelper, AWallpaperFolderIsAbsoluteOrComesWithTheReason) {
  Scripts s;
  const std::pair<std::string, std::string> answers[] = {
      {"echo 'cannot create /x'; exit 1\n", "cannot create /x"},
      {"exit 1\n", "the desktop helper failed"},
      {"echo walls\n", "the desktop helper gave no wallpaper folder"},
      {"exit 0\n", "the desktop helper gave no wallpaper folder"},
  };
  int n = 0;
  for (const auto& [script, reason] : answers) {
    const OutcomeOf<std::string> folder =
        DesktopHelper(s.add("h" + std::to_string(n++), script)).wallpaperFolder();
    EXPECT_FALSE(folder.ok()) << script;
    EXPECT_EQ(folder.reason(), reason) << script;
  }
  EXPECT_EQ(DesktopHelper(s.add("plain", "echo /w\n")).wallpaperFolder().value(), "/w/");
  EXPECT_NE(DesktopHelper(s.path("absent")).wallpaperFolder().reason().find("absent"),
            std::string::npos);
}

TEST(DesktopHelper, FoundBesideTheProgramOrInItsInstalledFolder) {
  Scripts s;
  fs::create_directories(s.path("bin"));
  EXPECT_EQ(FindDesktopHelper(s.path("bin/")), "");
  const std::string installed = s.add("libexec/tessora/tessora-compose-desktop", "exit 0\n");
  EXPECT_EQ(fs::canonical(FindDesktopHelper(s.path("bin/"))), fs::canonical(installed));
  const std::string beside = s.add("bin/tessora-compose-desktop", "exit 0\n");
  EXPECT_EQ(FindDesktopHelper(s.path("bin/")), beside);
}

}  // namespace
}  // namespace tessora
