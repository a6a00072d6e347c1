// wlroots compositors: swaybg, and the user's own background programs, played by stand-ins
// whose command lines read as the real ones' while they run ("swaybg -c SCRIPT -o * -i FILE").
#include "platform/swaybg_wallpaper.h"

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "child_process.h"
#include "platform/background_programs.h"
#include "platform/command_wallpaper.h"
#include "platform/processes.h"

namespace tessora {
namespace {

// A shell running for a while whose command line is "NAME -c SCRIPT ARGUMENTS...".
QStringList PosingAs(const QString& name, const QStringList& arguments = {}) {
  QStringList quoted;
  for (const QString& a : arguments) {
    quoted << QLatin1Char('\'') + a + QLatin1Char('\'');
  }
  return {QStringLiteral("-c"), QStringLiteral("exec -a %1 bash -c 'sleep 20; :' %2")
                                    .arg(name, quoted.join(QLatin1Char(' ')))};
}

// The processes of this session running as `program`.
QList<ProcessInfo> Running(const QByteArray& program) {
  QList<ProcessInfo> found;
  for (const ProcessInfo& p : UserProcesses()) {
    if (p.program() == program && InThisSession(p.pid)) {
      found << p;
    }
  }
  return found;
}

class SwaybgWallpaperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(runtime_.isValid());
    record_ = runtime_.filePath(QStringLiteral("tessora-swaybg.pid"));
    const QByteArray log =
        "printf '%s|' \"$(basename \"$0\")\" \"$@\" >> \"$(dirname \"$0\")/log\"\n";
    ASSERT_TRUE(commands_.add(QStringLiteral("swaybg"),
                              log + "exec bash -c 'exec -a swaybg bash -c \"sleep 20; :\" \"$@\"' "
                                    "_ \"$@\"\n"));
    for (const char* name : {"hyprctl", "swww", "swaymsg"}) {
      ASSERT_TRUE(
          commands_.add(QLatin1String(name), log + "[ \"$0\" = \"${0%hyprctl}\" ] || echo ok\n"));
    }
  }
  void TearDown() override {
    for (const ProcessInfo& p : Running("swaybg")) {
      ::kill(static_cast<pid_t>(p.pid), SIGTERM);
    }
  }
  QString Log() const { return commands_.read(QStringLiteral("log")); }

  QTemporaryDir runtime_;
  QString record_;
  testing::StandInCommands commands_;
};

// Each set ends the instance the set before started, once the new one is up.
TEST_F(SwaybgWallpaperTest, ExactlyOneOfOursRunsAfterEachSet) {
  ASSERT_TRUE(Running("swaybg").isEmpty());
  for (int i = 1; i <= 3; ++i) {
    const QString file = QStringLiteral("/w-%1.bmp").arg(i);
    const Outcome o = SwaybgWallpaper(record_).install(file);
    ASSERT_TRUE(o.ok()) << o.reason();
    const QList<ProcessInfo> now = Running("swaybg");
    ASSERT_EQ(now.size(), 1) << "after set " << i;
    EXPECT_TRUE(IsSwaybgShowing(now.front().pid, file));
  }
}

// What stands in the record's place (a FIFO, a link to a device) is neither waited on nor read
// whole, and the record replaces it, never what a link points to.
TEST_F(SwaybgWallpaperTest, TheRecordIsReadOnlyWhenASmallFile) {
  ASSERT_EQ(::mkfifo(QFile::encodeName(record_).constData(), 0600), 0);
  const Outcome o = SwaybgWallpaper(record_).install(QStringLiteral("/w.bmp"));
  EXPECT_TRUE(o.ok()) << o.reason();
  EXPECT_TRUE(QFileInfo(record_).isFile() && !QFileInfo(record_).isSymLink());
  QFile::remove(record_);
  TearDown();
  const QString device = runtime_.filePath(QStringLiteral("zero"));
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
  ASSERT_TRUE(QFile::link(device, record_));
  const Outcome zero = SwaybgWallpaper(record_).install(QStringLiteral("/w.bmp"));
  EXPECT_TRUE(zero.ok()) << zero.reason();
  EXPECT_TRUE(QFileInfo(record_).isFile() && !QFileInfo(record_).isSymLink());
  EXPECT_TRUE(QFileInfo(device).isSymLink());
}

// The user's own background program covers anything started under it: theirs shows the picture
// where it takes commands; a stranger's swaybg takes none, and the set fails saying so.
TEST_F(SwaybgWallpaperTest, TheUsersOwnBackgroundProgramIsUsedOrNamed) {
  const QList<MonitorFile> two = {
      MonitorFile{QStringLiteral("DP-1"), QRect(0, 0, 800, 600), QStringLiteral("/a.bmp"), true},
      MonitorFile{QStringLiteral("HDMI-A-1"), QRect(800, 0, 480, 640), QStringLiteral("/b.bmp")}};
  const struct {
    const char* program;
    const char* log;  // what was run; nullptr: the set fails
  } cases[] = {
      {"hyprpaper",
       "hyprctl|hyprpaper|preload|/a.bmp|hyprctl|hyprpaper|preload|/b.bmp|"
       "hyprctl|hyprpaper|wallpaper|,/a.bmp|hyprctl|hyprpaper|wallpaper|DP-1,/a.bmp|"
       "hyprctl|hyprpaper|wallpaper|HDMI-A-1,/b.bmp|hyprctl|hyprpaper|unload|unused|"},
      {"swww-daemon", "swww|img|/a.bmp|swww|img|-o|DP-1|/a.bmp|swww|img|-o|HDMI-A-1|/b.bmp|"},
      {"swaybg", nullptr},
  };
  for (const auto& c : cases) {
    testing::ChildProcess theirs;
    ASSERT_TRUE(theirs.start(QStringLiteral("bash"),
                             PosingAs(QLatin1String(c.program),
                                      {QStringLiteral("-i"), QStringLiteral("/home/u/mine.png")})));
    ASSERT_TRUE(testing::WaitUntil([&] { return !Running(c.program).isEmpty(); }));
    const qsizetype before = Log().size();
    const Outcome o = SwaybgWallpaper(record_).installMonitors(two);
    if (c.log != nullptr) {
      EXPECT_TRUE(o.ok()) << c.program << ": " << o.reason();
      EXPECT_EQ(Log().mid(before), QLatin1String(c.log)) << c.program;
    } else {
      EXPECT_EQ(o.reason(),
                QStringLiteral("another background program (swaybg, pid %1) covers the wallpaper: "
                               "stop it, or let Tessora set the wallpaper at start-up with "
                               "`tessora-compose --restore`")
                    .arg(theirs.pid())
                    .toStdString());
      EXPECT_EQ(Log().mid(before), QString()) << "nothing started under it";
      // sway's own background command would land under it as well.
      EXPECT_EQ(SwayWallpaper().install(QStringLiteral("/a.bmp")).reason(), o.reason());
      EXPECT_EQ(Log().mid(before), QString());
    }
  }
}

}  // namespace
}  // namespace tessora
