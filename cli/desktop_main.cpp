// tessora-compose-desktop: answers tessora-compose's questions about the desktop, one a run.
//   geometry        prints "screenWidth screenHeight workLeft workTop workRight workBottom known"
//   folder          prints the folder wallpaper files are written to; on failure prints the
//                   reason, exit status 1
//   install FILE    installs FILE as the wallpaper and prints "installed" as soon as the desktop
//                   took it; on failure prints the reason, exit status 1
//   monitors        prints a line per monitor, then the desktop's colour (see
//                   DesktopHelper::FormatDesktop)
//   install-monitors SPANNED PRIMARY L T R B [NAME L T R B FILE]...
//                   installs several monitors' pictures, as install does
//   follow          prints what monitors prints, then "end", at once and again each time the
//                   monitors have changed and settled; ends when its standard input does
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/desktop_helper.h"
#include "platform/services.h"

namespace {

// What Qt says while it starts: held back until it is known whether it could start at all.
std::vector<std::string> g_startupMessages;  // NOLINT: one per process, before any thread
std::string g_platformTrouble;               // NOLINT: the first word of the display plugin

// Qt ends the process when the display it is given cannot be reached (a DISPLAY left over from
// another session, a compositor that has gone). The caller then hears the reason as the
// helper's answer, on one line, instead of an abort and Qt's advice to reinstall.
void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    std::cout << "the desktop cannot be reached: "
              << (g_platformTrouble.empty() ? "no display could be opened" : g_platformTrouble)
              << '\n'
              << std::flush;
    std::_Exit(1);
  }
  const bool platform =
      context.category != nullptr && std::string(context.category).rfind("qt.qpa", 0) == 0;
  if (platform && g_platformTrouble.empty() && (type == QtWarningMsg || type == QtCriticalMsg)) {
    g_platformTrouble = text.toStdString();
  }
  g_startupMessages.push_back(text.toStdString());
}

void DropNotes(QtMsgType type, const QMessageLogContext& /*context*/, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::cerr << text.toStdString() << '\n';
  }
}

// An install belongs to the caller's set: should the caller be killed, the install goes with it,
// so that the desktop is never handed a set the caller can no longer make current. A caller gone
// before this is seen in the pipe it reads our answer from.
void EndWithTheCaller() {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  pollfd answer{STDOUT_FILENO, 0, 0};
  if (::poll(&answer, 1, 0) == 1 && (answer.revents & (POLLERR | POLLHUP)) != 0) {
    std::_Exit(1);
  }
}

// A layout change comes in several notices (an output gone, the primary moved, sizes changed):
// the desktop is told once they have stopped for this long.
constexpr int kSettleMs = 1000;

// Tells the desktop now and after every change of the monitors, until the caller closes our
// standard input (it has gone) or stops reading.
int Follow(QGuiApplication& app, const tessora::Platform& platform) {
  auto tell = [&] {
    std::cout << tessora::DesktopHelper::FormatDesktop(platform.desktop->monitors(),
                                                       platform.desktop->desktopColor())
              << "end" << std::endl;
    if (!std::cout) {
      QGuiApplication::quit();
    }
  };
  QTimer settle;
  settle.setSingleShot(true);
  settle.setInterval(kSettleMs);
  QObject::connect(&settle, &QTimer::timeout, tell);
  auto changed = [&] { settle.start(); };
  auto watch = [&](QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, &settle, changed);
    QObject::connect(screen, &QScreen::availableGeometryChanged, &settle, changed);
  };
  for (QScreen* screen : QGuiApplication::screens()) {
    watch(screen);
  }
  QObject::connect(&app, &QGuiApplication::screenAdded, &settle, [&](QScreen* screen) {
    watch(screen);
    changed();
  });
  QObject::connect(&app, &QGuiApplication::screenRemoved, &settle, changed);
  QObject::connect(&app, &QGuiApplication::primaryScreenChanged, &settle, changed);
  QSocketNotifier input(0, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[256];
    if (::read(0, buffer, sizeof buffer) <= 0) {
      QGuiApplication::quit();
    }
  });
  tell();
  return QGuiApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const std::vector<std::string> rest(argv + std::min(argc, 2), argv + argc);
  const std::optional<tessora::MonitorPictures> pictures =
      command == "install-monitors" ? tessora::DesktopHelper::ParseMonitorPicturesArgs(rest)
                                    : std::nullopt;
  if (command != "geometry" && command != "folder" && command != "monitors" &&
      command != "follow" && !(command == "install" && argc == 3) && !pictures) {
    std::cerr << "usage: " << tessora::kDesktopHelperName
              << " geometry | folder | monitors | follow | install FILE | install-monitors "
                 "SPANNED PRIMARY L T R B [NAME L T R B FILE]...\n";
    return 2;
  }
  if (command == "install" || pictures) {
    EndWithTheCaller();
  }
  const QtMessageHandler usual = qInstallMessageHandler(StartupMessages);
  QGuiApplication app(argc, argv);
  // A quiet caller wants its errors only: Qt's notes (a missing XDG_RUNTIME_DIR, a font it did
  // not find) are not ours to pass on then. Failures reach the caller as answers, not as notes.
  const char* quiet = std::getenv(tessora::kDesktopHelperQuiet);
  if (quiet != nullptr && *quiet != '\0') {
    qInstallMessageHandler(DropNotes);
  } else {
    qInstallMessageHandler(usual);
    for (const std::string& message : g_startupMessages) {
      std::cerr << message << '\n';
    }
  }
  tessora::Platform platform = tessora::CreateDesktopPlatform();
  if (command == "geometry") {
    std::cout << tessora::DesktopHelper::FormatGeometry(platform.desktop->geometry());
    return 0;
  }
  if (command == "monitors") {
    std::cout << tessora::DesktopHelper::FormatDesktop(platform.desktop->monitors(),
                                                       platform.desktop->desktopColor());
    return 0;
  }
  if (command == "follow") {
    return Follow(app, platform);
  }
  if (command == "folder") {
    const tessora::OutcomeOf<std::string> folder = platform.wallpaper->wallpaperFolder();
    std::cout << (folder ? folder.value() : folder.reason()) << '\n';
    return folder ? 0 : 1;
  }
  const tessora::Outcome result = pictures ? platform.wallpaper->setMonitorWallpapers(*pictures)
                                           : platform.wallpaper->setWallpaper(argv[2]);
  if (!result) {
    std::cout << result.reason() << '\n';
    return 1;
  }
  // Taken: what is left (closing the desktop libraries) is ours alone, and may outlive the caller.
  ::prctl(PR_SET_PDEATHSIG, 0);
  std::cout << tessora::kDesktopHelperInstalled << std::endl;
  return 0;
}
