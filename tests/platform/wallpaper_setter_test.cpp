#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/desktop_wallpaper_setter.h"
#include "platform/drawn_wallpaper.h"
#include "platform/pixbuf_formats.h"
#include "support/file_size_limit.h"

namespace tessora {
namespace {

// Records the files it is handed; fails with `error` when that is set.
class RecordingMethod : public WallpaperMethod {
 public:
  RecordingMethod(QString name, bool bmp, QString error, QStringList* log,
                  MonitorSpread spread = MonitorSpread::Primary)
      : name_(std::move(name)), bmp_(bmp), error_(std::move(error)), log_(log), spread_(spread) {}
  QString name() const override { return name_; }
  bool readsBmp() const override { return bmp_; }
  Outcome install(const QString& file) override {
    *log_ << file;
    return error_.isEmpty() ? Outcome::Done() : FailedWith(error_);
  }
  MonitorSpread spread() const override { return spread_; }
  Outcome installMonitors(const QList<MonitorFile>& files) override {
    for (const MonitorFile& f : files) {
      *log_ << QStringLiteral("%1 %2%3 %4")
                   .arg(f.name, f.primary ? QStringLiteral("*") : QString())
                   .arg(f.rect.width())
                   .arg(QFileInfo(f.file).fileName());
    }
    return error_.isEmpty() ? Outcome::Done() : FailedWith(error_);
  }

 private:
  QString name_;
  bool bmp_;
  QString error_;
  QStringList* log_;
  MonitorSpread spread_;
};

class WallpaperSetterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    picture_ = dir_.filePath(QStringLiteral("Tessora Wallpaper.bmp"));
    QImage image(40, 30, QImage::Format_RGB888);
    image.fill(QColor(10, 200, 30));
    ASSERT_TRUE(image.save(picture_, "BMP"));
  }
  DesktopWallpaperSetter Setter(std::initializer_list<std::pair<bool, QString>> methods) {
    std::vector<std::unique_ptr<WallpaperMethod>> list;
    int i = 0;
    for (const auto& [bmp, error] : methods) {
      list.push_back(
          std::make_unique<RecordingMethod>(QStringLiteral("M%1").arg(++i), bmp, error, &log_));
    }
    return DesktopWallpaperSetter(std::move(list));
  }
  QStringList Files() const { return QDir(dir_.path()).entryList(QDir::Files, QDir::Name); }
  // An 800-pixel-wide desktop: DP-1 at the left, the primary DP-2 beside it.
  MonitorPictures TwoMonitors() {
    MonitorPictures pictures;
    pictures.spanned = picture_.toStdString();
    pictures.bounds = Rect{0, 0, 80, 30};
    pictures.primary = 1;
    for (int i = 0; i < 2; ++i) {
      const QString file =
          dir_.filePath(QStringLiteral("Tessora Wallpaper monitor %1.bmp").arg(i + 1));
      QFile::remove(file);
      EXPECT_TRUE(QFile::copy(picture_, file));
      pictures.monitors.push_back(MonitorPicture{
          i == 0 ? "DP-1" : "DP-2", Rect{40 * i, 0, 40 * i + 30 + 10 * i, 30}, file.toStdString()});
    }
    return pictures;
  }

  QTemporaryDir dir_;
  QString picture_;
  QStringList log_;
};

TEST_F(WallpaperSetterTest, EachInstallHandsTheDesktopAFreshCopy) {
  DesktopWallpaperSetter setter = Setter({{true, QString()}});
  ASSERT_TRUE(setter.setWallpaper(picture_.toStdString()).ok());
  ASSERT_TRUE(setter.setWallpaper(picture_.toStdString()).ok());
  ASSERT_EQ(log_.size(), 2);
  EXPECT_EQ(QFileInfo(log_[0]).fileName(), QStringLiteral("Tessora Wallpaper-1.bmp"));
  EXPECT_EQ(QFileInfo(log_[1]).fileName(), QStringLiteral("Tessora Wallpaper-2.bmp"));
  QFile original(picture_);
  QFile copy(log_[1]);
  ASSERT_TRUE(original.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
  EXPECT_EQ(original.readAll(), copy.readAll());
}

TEST_F(WallpaperSetterTest, KeepsTheShownAndThePreviousCopyOnly) {
  DesktopWallpaperSetter setter = Setter({{true, QString()}});
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(setter.setWallpaper(picture_.toStdString()).ok());
  }
  EXPECT_EQ(Files(), (QStringList{"Tessora Wallpaper-3.bmp", "Tessora Wallpaper-4.bmp",
                                  "Tessora Wallpaper.bmp"}));
}

TEST_F(WallpaperSetterTest, DesktopsWithoutBmpGetAPngOfTheSamePicture) {
  DesktopWallpaperSetter setter = Setter({{false, QString()}});
  ASSERT_TRUE(setter.setWallpaper(picture_.toStdString()).ok());
  ASSERT_EQ(log_.size(), 1);
  EXPECT_TRUE(log_[0].endsWith(QLatin1String(".png")));
  const QImage png(log_[0], "PNG");
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.size(), QSize(40, 30));
  EXPECT_EQ(png.pixelColor(5, 5), QColor(10, 200, 30));
}

TEST_F(WallpaperSetterTest, TriesTheNextMethodAndDropsTheRefusedCopy) {
  DesktopWallpaperSetter setter = Setter({{true, QStringLiteral("no")}, {true, QString()}});
  ASSERT_TRUE(setter.setWallpaper(picture_.toStdString()).ok());
  ASSERT_EQ(log_.size(), 2);
  EXPECT_NE(log_[0], log_[1]);
  EXPECT_FALSE(QFile::exists(log_[0]));
  EXPECT_TRUE(QFile::exists(log_[1]));
}

TEST_F(WallpaperSetterTest, WhenAllFailTheReportNamesEachMethodAndWhy) {
  DesktopWallpaperSetter setter =
      Setter({{true, QStringLiteral("schema missing")}, {true, QStringLiteral("no portal")}});
  const Outcome result = setter.setWallpaper(picture_.toStdString());
  EXPECT_FALSE(result.ok());
  const QString reason = QString::fromStdString(result.reason());
  EXPECT_TRUE(reason.startsWith(
      QStringLiteral("The wallpaper %1 could not be installed automatically.\n").arg(picture_)))
      << result.reason();
  EXPECT_TRUE(reason.contains(QLatin1String("\nM1: schema missing\nM2: no portal")));
  EXPECT_EQ(Files(), QStringList{"Tessora Wallpaper.bmp"});
}

// Whatever else has a fresh copy's name (a folder, a link, a pipe) is passed over, not written
// into. A copy that cannot be made ends the attempt with the system's reason, which blames no
// method, and leaves no copy: a disk that fills up under it leaves no torn one.
TEST_F(WallpaperSetterTest, ACopyIsMadeWholeBesideWhatIsInTheWayOrTheReasonIsTold) {
  const QString notAPicture = dir_.filePath(QStringLiteral("Broken.bmp"));
  QFile broken(notAPicture);
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("not a picture") > 0);
  broken.close();
  const QString pipe = dir_.filePath(QStringLiteral("Pipe.bmp"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  const QString next = dir_.filePath(QStringLiteral("Tessora Wallpaper-1.bmp"));
  const std::string firstFree = "Tessora Wallpaper-2.bmp";
  const struct {
    const char* inTheWay;  // shell command making something of the next copy's name
    bool bmp;
    QString picture;
    rlim_t sizeLimit;
    QString reason;  // "" when the set succeeds
  } cases[] = {
      {"mkdir", true, picture_, RLIM_INFINITY, {}},
      {"ln -s nowhere", true, picture_, RLIM_INFINITY, {}},
      {"mkfifo", false, picture_, RLIM_INFINITY, {}},
      {"", true, picture_, 1000, QStringLiteral("\ncannot write %1: File too large").arg(next)},
      {"", false, notAPicture, RLIM_INFINITY, QStringLiteral("\ncannot read %1").arg(notAPicture)},
      {"", true, pipe, RLIM_INFINITY,
       QStringLiteral("\ncannot read %1: it is not a regular file").arg(pipe)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.inTheWay) + " " + c.picture.toStdString());
    log_.clear();
    for (const QFileInfo& entry : QDir(dir_.path())
                                      .entryInfoList({QStringLiteral("Tessora Wallpaper-*")},
                                                     QDir::AllEntries | QDir::System)) {
      if (entry.isDir() && !entry.isSymLink()) {
        QDir(entry.filePath()).removeRecursively();
      } else {
        QFile::remove(entry.filePath());
      }
    }
    if (*c.inTheWay != '\0') {
      const QString make = QStringLiteral("%1 '%2'").arg(QLatin1String(c.inTheWay), next);
      ASSERT_EQ(std::system(make.toLocal8Bit().constData()), 0);
    }
    DesktopWallpaperSetter setter = Setter({{c.bmp, QString()}, {true, QString()}});
    Outcome result = Outcome::Done();
    {
      const testing::FileSizeLimit limit(c.sizeLimit);
      result = setter.setWallpaper(c.picture.toStdString());
    }
    const QString reason = QString::fromStdString(result.reason());
    if (c.reason.isEmpty()) {
      EXPECT_TRUE(result.ok()) << result.reason();
      EXPECT_EQ(log_.size() == 1 ? QFileInfo(log_[0]).completeBaseName().toStdString() + ".bmp"
                                 : std::string(),
                firstFree);
      continue;
    }
    EXPECT_FALSE(result.ok());
    // Nothing was handed over, and nothing is said to have been saved.
    EXPECT_TRUE(reason.startsWith(
        QStringLiteral("The wallpaper %1 could not be handed to the desktop.\n").arg(c.picture)))
        << result.reason();
    EXPECT_TRUE(reason.contains(c.reason)) << result.reason();
    EXPECT_FALSE(reason.contains(QLatin1String("M1:"))) << result.reason();
    EXPECT_TRUE(log_.isEmpty());
    EXPECT_EQ(Files().filter(QStringLiteral("Tessora Wallpaper-")), QStringList());
  }
}

TEST_F(WallpaperSetterTest, AMissingFileOrNoMethodIsReported) {
  DesktopWallpaperSetter setter = Setter({{true, QString()}});
  EXPECT_FALSE(setter.setWallpaper(dir_.filePath("missing.bmp").toStdString()).ok());
  EXPECT_TRUE(log_.isEmpty());
  DesktopWallpaperSetter none({});
  const Outcome result = none.setWallpaper(picture_.toStdString());
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.reason().find("no way of setting the wallpaper"), std::string::npos);
}

// Several monitors: each method gets the form it takes, the files of one install a fresh number
// of their own, and refused copies go.
TEST_F(WallpaperSetterTest, SeveralMonitorsGiveEachMethodTheFormItTakes) {
  const MonitorPictures pictures = TwoMonitors();
  std::vector<std::unique_ptr<WallpaperMethod>> list;
  list.push_back(std::make_unique<RecordingMethod>(
      QStringLiteral("Each"), true, QStringLiteral("refused"), &log_, MonitorSpread::PerMonitor));
  list.push_back(std::make_unique<RecordingMethod>(QStringLiteral("Primary"), true,
                                                   QStringLiteral("refused"), &log_));
  list.push_back(std::make_unique<RecordingMethod>(QStringLiteral("Span"), true, QString(), &log_,
                                                   MonitorSpread::Spanned));
  DesktopWallpaperSetter setter(std::move(list));
  ASSERT_TRUE(setter.setMonitorWallpapers(pictures).ok());
  EXPECT_EQ(log_, (QStringList{"DP-1 30 Tessora Wallpaper monitor 1-1.bmp",
                               "DP-2 *40 Tessora Wallpaper monitor 2-1.bmp",
                               "DP-2 *40 Tessora Wallpaper monitor 2-2.bmp",
                               " *80 Tessora Wallpaper-3.bmp"}));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(setter.setMonitorWallpapers(pictures).ok());
  }
  EXPECT_EQ(Files(), (QStringList{"Tessora Wallpaper monitor 1.bmp",
                                  "Tessora Wallpaper monitor 2.bmp", "Tessora Wallpaper-12.bmp",
                                  "Tessora Wallpaper-9.bmp", "Tessora Wallpaper.bmp"}));
  const Outcome none = DesktopWallpaperSetter({}).setMonitorWallpapers(pictures);
  EXPECT_FALSE(none.ok());
  EXPECT_NE(none.reason().find(pictures.spanned), std::string::npos);
}

// A desktop's setting with nobody drawing it shows black: the root window then shows the
// picture, and where it cannot, the report says which program is missing.
TEST(DrawnWallpaper, WithoutItsDrawerThePictureGoesOnTheRootOrTheReportSaysWhy) {
  enum Root { None, Paints, Fails };
  const struct {
    QString settingError;
    bool drawerRunning;
    Root root;
    std::string reason;  // empty: success
    QStringList rootLog;
  } cases[] = {
      {QString(), true, Paints, "", {}},
      {QString(), false, Paints, "", {"/w.bmp"}},
      {QString(),
       false,
       Fails,
       "xfdesktop is not running, and the root window cannot show the picture: unsupported "
       "root visual (depth 16)",
       {"/w.bmp"}},
      {QString(),
       false,
       None,
       "xfdesktop is not running: the picture is stored in the desktop's settings, but nothing "
       "draws it",
       {}},
      {QStringLiteral("xfconf: no such service"), false, Paints, "xfconf: no such service", {}},
  };
  for (const auto& c : cases) {
    QStringList settingLog;
    QStringList rootLog;
    std::unique_ptr<WallpaperMethod> root;
    if (c.root != None) {
      root = std::make_unique<RecordingMethod>(
          QStringLiteral("X11"), true,
          c.root == Fails ? QStringLiteral("unsupported root visual (depth 16)") : QString(),
          &rootLog);
    }
    DrawnWallpaper method(
        std::make_unique<RecordingMethod>(QStringLiteral("XFCE"), true, c.settingError,
                                          &settingLog),
        WallpaperDrawer{QStringLiteral("xfdesktop"), [&c] { return c.drawerRunning; }},
        std::move(root));
    EXPECT_EQ(method.name(), QStringLiteral("XFCE"));
    const Outcome result = method.install(QStringLiteral("/w.bmp"));
    EXPECT_EQ(result.ok() ? std::string() : result.reason(), c.reason);
    EXPECT_EQ(settingLog, QStringList{"/w.bmp"});
    EXPECT_EQ(rootLog, c.rootLog) << c.reason;
  }
}

// Several monitors: the root gets what the setting got, or the primary's picture on each.
TEST(DrawnWallpaper, TheRootGetsTheMonitorsAsTheSettingTookThem) {
  const QList<MonitorFile> spanned{{QString(), QRect(0, 0, 80, 30), "/all.bmp", true}};
  const QList<MonitorFile> primary{{QStringLiteral("DP-2"), QRect(40, 0, 40, 30), "/p.bmp", true}};
  const struct {
    MonitorSpread spread;
    QList<MonitorFile> files;
    QStringList rootLog;
  } cases[] = {
      {MonitorSpread::Spanned, spanned, {" *80 all.bmp"}},
      {MonitorSpread::Primary, primary, {"/p.bmp"}},
  };
  for (const auto& c : cases) {
    QStringList settingLog;
    QStringList rootLog;
    DrawnWallpaper method(std::make_unique<RecordingMethod>(QStringLiteral("MATE"), true, QString(),
                                                            &settingLog, c.spread),
                          WallpaperDrawer{QStringLiteral("caja"), [] { return false; }},
                          std::make_unique<RecordingMethod>(QStringLiteral("X11"), true, QString(),
                                                            &rootLog, MonitorSpread::PerMonitor));
    EXPECT_EQ(method.spread(), c.spread);
    EXPECT_TRUE(method.installMonitors(c.files).ok());
    EXPECT_EQ(rootLog, c.rootLog);
  }
}

// A drawer of our own on display :4242 (the name is what the process table gives).
TEST(DrawnWallpaper, AProgramIsFoundAmongThisUsersProcessesOnItsDisplay) {
  QTemporaryDir dir;
  const QString drawer = dir.filePath(QStringLiteral("tessora-drawer"));
  ASSERT_TRUE(QFile::link(QStringLiteral("/bin/sleep"), drawer));
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":4242"));
  process.setProcessEnvironment(env);
  process.start(drawer, {QStringLiteral("30")});
  ASSERT_TRUE(process.waitForStarted());
  const QStringList names{QStringLiteral("tessora-drawer")};
  EXPECT_TRUE(ProgramRunning(names));
  EXPECT_TRUE(ProgramRunning(names, QByteArray("unix:4242.0")));
  EXPECT_FALSE(ProgramRunning(names, QByteArray(":4243")));
  EXPECT_FALSE(ProgramRunning({QStringLiteral("no-such-drawer")}));
  process.kill();
  process.waitForFinished();
}

// After each set, only the copies the desktop shows and those of the set before stay: one
// monitor or several, a picture per monitor or one spanned, a set the desktop refused (its
// copies go, the shown ones stay), and monitors going back to one.
TEST_F(WallpaperSetterTest, OnlyTheShownAndThePreviousSetsCopiesStay) {
  const MonitorPictures two = TwoMonitors();
  enum Set { One, Two, TwoRefused };
  const struct {
    MonitorSpread spread;
    std::vector<std::pair<Set, QStringList>> sets;  // each set and the copies left after it
  } tables[] = {
      {MonitorSpread::PerMonitor,
       {{One, {"Tessora Wallpaper-1.bmp"}},
        {Two,
         {"Tessora Wallpaper monitor 1-2.bmp", "Tessora Wallpaper monitor 2-2.bmp",
          "Tessora Wallpaper-1.bmp"}},
        {Two,
         {"Tessora Wallpaper monitor 1-2.bmp", "Tessora Wallpaper monitor 1-3.bmp",
          "Tessora Wallpaper monitor 2-2.bmp", "Tessora Wallpaper monitor 2-3.bmp"}},
        {TwoRefused,
         {"Tessora Wallpaper monitor 1-2.bmp", "Tessora Wallpaper monitor 1-3.bmp",
          "Tessora Wallpaper monitor 2-2.bmp", "Tessora Wallpaper monitor 2-3.bmp"}},
        // Another process's numbers continue from the folder's.
        {Two,
         {"Tessora Wallpaper monitor 1-3.bmp", "Tessora Wallpaper monitor 1-4.bmp",
          "Tessora Wallpaper monitor 2-3.bmp", "Tessora Wallpaper monitor 2-4.bmp"}},
        {One,
         {"Tessora Wallpaper monitor 1-4.bmp", "Tessora Wallpaper monitor 2-4.bmp",
          "Tessora Wallpaper-5.bmp"}},
        {One, {"Tessora Wallpaper-5.bmp", "Tessora Wallpaper-6.bmp"}}}},
      {MonitorSpread::Spanned,
       {{Two, {"Tessora Wallpaper-1.bmp"}},
        {Two, {"Tessora Wallpaper-1.bmp", "Tessora Wallpaper-2.bmp"}},
        {Two, {"Tessora Wallpaper-2.bmp", "Tessora Wallpaper-3.bmp"}},
        {TwoRefused, {"Tessora Wallpaper-2.bmp", "Tessora Wallpaper-3.bmp"}},
        {One, {"Tessora Wallpaper-3.bmp", "Tessora Wallpaper-4.bmp"}}}},
  };
  for (const auto& table : tables) {
    for (const QString& f : Files()) {
      if (f.contains(QLatin1Char('-'))) {
        QFile::remove(dir_.filePath(f));
      }
    }
    auto shows = std::make_unique<RecordingMethod>(QStringLiteral("Shows"), true, QString(), &log_,
                                                   table.spread);
    auto refuses = std::make_unique<RecordingMethod>(QStringLiteral("Refuses"), true,
                                                     QStringLiteral("no"), &log_, table.spread);
    std::vector<std::unique_ptr<WallpaperMethod>> showing;
    showing.push_back(std::move(shows));
    std::vector<std::unique_ptr<WallpaperMethod>> refusing;
    refusing.push_back(std::move(refuses));
    DesktopWallpaperSetter setter(std::move(showing));
    DesktopWallpaperSetter refused(std::move(refusing));
    int n = 0;
    for (const auto& [set, left] : table.sets) {
      ++n;
      if (set == One) {
        ASSERT_TRUE(setter.setWallpaper(picture_.toStdString()).ok());
      } else if (set == Two) {
        ASSERT_TRUE(setter.setMonitorWallpapers(two).ok());
      } else {
        ASSERT_FALSE(refused.setMonitorWallpapers(two).ok());
      }
      QStringList copies;
      for (const QString& f : Files()) {
        if (f.contains(QLatin1Char('-'))) {
          copies << f;
        }
      }
      copies.sort();
      QStringList expected = left;
      expected.sort();
      EXPECT_EQ(copies, expected) << "set " << n;
    }
  }
}

TEST(WallpaperFolder, IsTheTessoraFolderOfTheDataHome) {
  DesktopWallpaperSetter setter({});
  const QString expected = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/tessora/");
  const OutcomeOf<std::string> folder = setter.wallpaperFolder();
  ASSERT_TRUE(folder.ok()) << folder.reason();
  EXPECT_EQ(QString::fromStdString(folder.value()), expected);
  EXPECT_TRUE(QDir(expected).exists());

  // A relative data home is ignored, as the base directory rules ask: the folder is the home's.
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  const QByteArray home = qgetenv("HOME");
  qputenv("XDG_DATA_HOME", "relative/data");
  qputenv("HOME", dataHome + "/home");
  const OutcomeOf<std::string> underHome = setter.wallpaperFolder();
  qputenv("XDG_DATA_HOME", dataHome);
  qputenv("HOME", home);
  ASSERT_TRUE(underHome.ok()) << underHome.reason();
  EXPECT_EQ(QString::fromStdString(underHome.value()),
            QString::fromUtf8(dataHome) + QStringLiteral("/home/.local/share/tessora/"));
}

TEST(PixbufFormats, BmpIsReadWhenTheLoaderListNamesIt) {
  EXPECT_TRUE(LoaderListReadsBmp(QStringLiteral(
      "\"/usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-bmp.so\"\n"
      "\"bmp\" 5 \"gdk-pixbuf\" \"BMP\" \"LGPL\"\n\"image/bmp\" \"image/x-bmp\" \"\"\n")));
  EXPECT_FALSE(LoaderListReadsBmp(
      QStringLiteral("\"png\" 5 \"gdk-pixbuf\" \"PNG\" \"LGPL\"\n\"image/png\" \"\"\n")));
}

}  // namespace
}  // namespace tessora
