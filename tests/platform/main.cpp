// Runs the platform tests inside a QGuiApplication on an X server of their own, with a
// temporary home for every setting the services write, so the user's desktop is never touched.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "child_process.h"

namespace {

void SetEnv(const char* name, const QByteArray& value) {
  ::setenv(name, value.constData(), 1);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) {
    return RUN_ALL_TESTS();
  }
  QTemporaryDir home;
  const QByteArray root = QFile::encodeName(home.path());
  SetEnv("HOME", root);
  SetEnv("XDG_CONFIG_HOME", root + "/config");
  SetEnv("XDG_DATA_HOME", root + "/data");
  SetEnv("XDG_CACHE_HOME", root + "/cache");
  // GSettings in a plain file under the temporary home, not the user's dconf database.
  SetEnv("GSETTINGS_BACKEND", "keyfile");
  // No real session bus, no sound server, no Wayland: only what the tests start.
  SetEnv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
  SetEnv("PULSE_SERVER", "unix:/nonexistent/pulse");
  ::unsetenv("WAYLAND_DISPLAY");

  tessora::testing::XServer x(1280, 800);
  if (x.display().empty()) {
    std::fprintf(stderr, "cannot start Xvfb\n");
    return 1;
  }
  SetEnv("DISPLAY", QByteArray::fromStdString(x.display()));
  SetEnv("QT_QPA_PLATFORM", "xcb");
  int rc = 0;
  {
    QGuiApplication app(argc, argv);
    rc = RUN_ALL_TESTS();
  }
  return rc;
}
