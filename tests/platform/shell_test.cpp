// Opening folders: a stand-in file manager service on a private bus, and a stand-in xdg-open
// first on PATH that records its arguments.
#include "platform/desktop_shell.h"

#include <gtest/gtest.h>

#include <QDBusContext>
#include <QFile>
#include <QTemporaryDir>

#include "child_process.h"

namespace tessora {
namespace {

class FakeFileManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

 public:
  QStringList shown;
 public Q_SLOTS:
  void ShowFolders(const QStringList& uris, const QString&) { shown << uris; }
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(commands_.add(QStringLiteral("xdg-open"),
                              "printf '%s\\n' \"$@\" >> \"$(dirname \"$0\")/opened\"\n"
                              "exit \"${STUB_EXIT:-0}\"\n"));
  }
  void TearDown() override { qunsetenv("STUB_EXIT"); }
  QString Opened() const { return commands_.read(QStringLiteral("opened")); }

  testing::StandInCommands commands_;
};

TEST_F(ShellTest, FoldersGoToTheFileManagerService) {
  testing::PrivateBus bus;
  ASSERT_TRUE(bus.ok());
  QDBusConnection service = bus.connect(QStringLiteral("files"));
  FakeFileManager manager;
  ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                     QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
  EXPECT_TRUE(DesktopShell(bus.connection()).openFolder("/home/u/my pictures"));
  EXPECT_EQ(manager.shown, QStringList{"file:///home/u/my%20pictures"});
  EXPECT_EQ(Opened(), QString());
}

TEST_F(ShellTest, WithoutTheServiceXdgOpenOpensTheFolder) {
  DesktopShell shell((QDBusConnection(QStringLiteral("none"))));
  EXPECT_TRUE(shell.openFolder("/home/u/pictures"));
  EXPECT_EQ(Opened(), QStringLiteral("file:///home/u/pictures\n"));
}

TEST_F(ShellTest, DocumentsAndAddressesGoToXdgOpen) {
  DesktopShell shell((QDBusConnection(QStringLiteral("none"))));
  EXPECT_TRUE(shell.openDocument("/opt/tessora/readme.txt"));
  EXPECT_TRUE(shell.openDocument("https://example.org/tessora"));
  EXPECT_EQ(Opened(),
            QStringLiteral("file:///opt/tessora/readme.txt\nhttps://example.org/tessora\n"));
}

TEST_F(ShellTest, NoApplicationForItIsAFailure) {
  qputenv("STUB_EXIT", "3");
  EXPECT_FALSE(DesktopShell(QDBusConnection(QStringLiteral("none"))).openDocument("/x.txt"));
}

}  // namespace
}  // namespace tessora

#include "shell_test.moc"
