#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/file_descriptor.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace tessora {
namespace {

mode_t nodeType(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

std::set<std::string> entries(const testing::TempDir& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    names.insert(e.path().filename().string());
  }
  return names;
}

// A whole write through AtomicFile, with errno saying why it failed (pictures are written so;
// settings and lists go through WriteFileAtomically, which leaves special files alone).
bool writeWhole(const std::string& path, const std::string& text) {
  int error = 0;
  {
    AtomicFile file(path);
    if (file.open() && file.write(text.data(), text.size()) && file.commit()) {
      return true;
    }
    error = file.error();
  }
  errno = error;
  return false;
}

int exitStatus(pid_t child) {
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(AtomicFile, WritesIntoSpecialFilesAndCreatesWhatADanglingLinkNames) {
  testing::TempDir dir;
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_NONBLOCK), 0);
  const FileDescriptor readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
  // A link to an open file's entry in /proc, as /dev/stdout is.
  const std::string viaProc = dir.file("stdout.png");
  ASSERT_EQ(::symlink(("/proc/self/fd/" + std::to_string(writeEnd.get())).c_str(), viaProc.c_str()),
            0);
  EXPECT_TRUE(writeWhole(viaProc, "through the pipe"));
  char got[64];
  const ssize_t n = ::read(readEnd.get(), got, sizeof got);
  EXPECT_EQ(std::string(got, static_cast<std::size_t>(std::max<ssize_t>(n, 0))),
            "through the pipe");
  // Only once a link to a special file is known to be written through may the next case run:
  // as root, replacing the link's target would replace the machine's /dev/full.
  ASSERT_EQ(nodeType(viaProc), S_IFLNK);

  const std::string full = dir.file("full.png");
  ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
  const bool written = writeWhole(full, "bytes");
  const int why = errno;
  EXPECT_FALSE(written);
  EXPECT_EQ(why, ENOSPC);
  EXPECT_EQ(nodeType("/dev/full"), S_IFCHR);
  EXPECT_EQ(nodeType(full), S_IFLNK);

  const std::string dangling = dir.file("dangling.ini");
  ASSERT_EQ(::symlink("made.ini", dangling.c_str()), 0);
  ASSERT_TRUE(writeWhole(dangling, "new"));
  EXPECT_EQ(nodeType(dangling), S_IFLNK);
  EXPECT_EQ(testing::readFile(dir.file("made.ini")), "new");
  EXPECT_EQ(entries(dir),
            (std::set<std::string>{"dangling.ini", "full.png", "made.ini", "stdout.png"}));
}

TEST(AtomicFile, AFileAPlainWriteMayNotChangeIsNotReplaced) {
  testing::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  const std::string file = dir.file("read-only.ini");
  testing::writeFile(file, "old");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    // Root may write any file: the user who may not is someone else.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(255);
    }
    ::_exit(writeWhole(file, "new") ? 0 : errno);
  }
  EXPECT_EQ(exitStatus(child), EACCES);
  EXPECT_EQ(testing::readFile(file), "old");
  // Whoever runs the test gets the answer a plain write gets.
  const bool plainWriteAllowed = FileDescriptor(::open(file.c_str(), O_WRONLY)).get() >= 0;
  EXPECT_EQ(writeWhole(file, "new"), plainWriteAllowed);
  EXPECT_EQ(testing::readFile(file), plainWriteAllowed ? "new" : "old");
  EXPECT_EQ(entries(dir), std::set<std::string>{"read-only.ini"});
}

// A writer that is killed halfway leaves nothing the next write to its target does not remove;
// temporaries of other targets, and of writers still alive, stay.
TEST(AtomicFile, TheNextWriteRemovesWhatKilledWritersLeft) {
  testing::TempDir dir;
  const std::string target = dir.file("big.bmp");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    AtomicFile file(target);
    const std::vector<char> chunk(1 << 20, 'x');
    for (int i = 0; i < 8 && file.open(); ++i) {
      file.write(chunk.data(), chunk.size());
    }
    static_cast<void>(::write(ready[1], "w", 1));
    ::sleep(60);  // killed long before; a failed test leaves no process behind for long
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ::close(ready[1]);
  const pid_t gone = ::fork();
  if (gone == 0) {
    ::_exit(0);
  }
  ASSERT_EQ(exitStatus(gone), 0);
  const std::string dead = std::to_string(gone);
  const std::string stale[] = {".big.bmp." + dead + ".0.tmp", ".tessora." + dead + ".3.tmp"};
  const std::string living = ".big.bmp." + std::to_string(writer) + ".7.tmp";
  const std::string otherTarget = ".other.bmp." + dead + ".0.tmp";
  // Another user's writer may live where our process numbers mean nothing.
  const std::string othersUser = ".tessora." + dead + ".4.tmp";
  for (const std::string& name : {stale[0], stale[1], living, otherTarget, othersUser}) {
    testing::writeFile(dir.file(name), "left");
  }
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(dir.file(othersUser).c_str(), 65534, 65534), 0);
  } else {
    std::filesystem::remove(dir.file(othersUser));
  }
  ASSERT_TRUE(writeWhole(target, "first"));
  const std::set<std::string> afterFirst = entries(dir);
  EXPECT_EQ(afterFirst.count(stale[0]) + afterFirst.count(stale[1]), 0u);
  EXPECT_EQ(afterFirst.count(living), 1u);
  EXPECT_EQ(afterFirst.count(othersUser), root ? 1u : 0u);
  if (root) {
    std::filesystem::remove(dir.file(othersUser));
  }

  ASSERT_EQ(::kill(writer, SIGKILL), 0);
  EXPECT_EQ(exitStatus(writer), -1);
  ASSERT_TRUE(writeWhole(target, "second"));
  EXPECT_EQ(entries(dir), (std::set<std::string>{"big.bmp", otherTarget}));
  EXPECT_EQ(testing::readFile(target), "second");
}

// Another user's link in a sticky folder everyone may write to is followed only where the kernel
// would follow it: for the link's owner, or when the folder's owner made it; that holds for a link
// in place of the file and for one in place of a folder on the path. Another user's FIFO or file
// there is refused on the same terms, before it is opened (a write into a FIFO would wait for a
// reader for ever, one into a file would stay theirs); the user's own are written into. Each row:
// what is planted in the shared folder, the folder's mode and owner, the planted entry's owner,
// whether the file the link leads to exists, and whether the write goes through. Run as root, the
// only user who can hand entries to others.
TEST(AtomicFile, ALinkPlantedByAnotherUserInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to make another user's link";
  }
  constexpr uid_t kOther = 65534;
  const uid_t me = ::geteuid();
  enum class Planted { Link, FolderLink, Fifo, File };
  const struct {
    const char* what;
    Planted planted;
    mode_t folderMode;
    uid_t folderOwner, plantOwner;
    bool existing, followed;
  } rows[] = {
      {"another's link to my file", Planted::Link, 01777, me, kOther, true, false},
      {"another's dangling link", Planted::Link, 01777, me, kOther, false, false},
      {"my own link", Planted::Link, 01777, me, me, true, true},
      {"the folder owner's link", Planted::Link, 01777, kOther, kOther, true, true},
      {"not sticky", Planted::Link, 0777, me, kOther, true, true},
      {"another's link as a folder", Planted::FolderLink, 01777, me, kOther, true, false},
      {"another's link as a folder, to a new file", Planted::FolderLink, 01777, me, kOther, false,
       false},
      {"my own link as a folder", Planted::FolderLink, 01777, me, me, false, true},
      {"the folder owner's link as a folder", Planted::FolderLink, 01777, kOther, kOther, true,
       true},
      {"another's FIFO", Planted::Fifo, 01777, me, kOther, true, false},
      {"my own FIFO", Planted::Fifo, 01777, me, me, true, true},
      {"the folder owner's FIFO", Planted::Fifo, 01777, kOther, kOther, true, true},
      {"another's FIFO, not sticky", Planted::Fifo, 0777, me, kOther, true, true},
      {"another's file", Planted::File, 01777, me, kOther, true, false},
      {"the folder owner's file", Planted::File, 01777, kOther, kOther, true, true},
  };
  for (const auto& row : rows) {
    testing::TempDir dir;
    const std::string shared = dir.file("shared");
    const std::string mine = dir.file("mine");
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(mine.c_str(), 0700), 0);
    ASSERT_EQ(::chown(shared.c_str(), row.folderOwner, 0), 0);
    ASSERT_EQ(::chmod(shared.c_str(), row.folderMode), 0);
    const std::string victim = mine + "/notes.txt";
    if (row.existing) {
      ASSERT_TRUE(testing::writeFile(victim, "notes"));
    }
    std::string planted = shared + "/wall.png";
    std::string target = planted;
    if (row.planted == Planted::Fifo) {
      ASSERT_EQ(::mkfifo(planted.c_str(), 0666), 0);
    } else if (row.planted == Planted::File) {
      ASSERT_TRUE(testing::writeFile(planted, "theirs"));
    } else if (row.planted == Planted::FolderLink) {
      planted = shared + "/planted";
      target = planted + "/notes.txt";
      ASSERT_EQ(::symlink(mine.c_str(), planted.c_str()), 0);
    } else {
      ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
    }
    // A reader, so that a write that goes through a FIFO has somewhere to go without waiting.
    const bool fifo = row.planted == Planted::Fifo;
    const FileDescriptor reader(fifo ? ::open(planted.c_str(), O_RDONLY | O_NONBLOCK) : -1);
    ASSERT_EQ(reader.get() >= 0, fifo) << row.what;
    const mode_t plantedType = nodeType(planted);
    ASSERT_EQ(::lchown(planted.c_str(), row.plantOwner, 0), 0);
    AtomicFile file(target);
    const bool written = file.open() && file.write("new", 3) && file.commit();
    EXPECT_EQ(written, row.followed) << row.what;
    EXPECT_EQ(nodeType(planted), plantedType) << row.what << ": what was planted stays";
    char got[8] = {};
    const ssize_t n = fifo ? ::read(reader.get(), got, sizeof got) : 0;
    const std::string received(got, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    // Where the bytes of a write that goes through end up.
    const bool ownFile = row.planted == Planted::File;
    const std::string landed = fifo ? received : testing::readFile(ownFile ? planted : victim);
    if (row.followed) {
      EXPECT_EQ(landed, "new") << row.what;
      continue;
    }
    EXPECT_EQ(landed, ownFile ? "theirs" : row.existing && !fifo ? "notes" : "") << row.what;
    EXPECT_NE(file.failureReason().find("another user made in a folder everyone may write to"),
              std::string::npos)
        << row.what << ": " << file.failureReason();
    EXPECT_EQ(nodeType(victim), row.existing ? static_cast<mode_t>(S_IFREG) : 0) << row.what;
  }
}

// A save by root keeps the owner, group, permissions and access list of the file it replaces, so
// that the user can still use it; a user's file in a folder that takes no new files is refused
// with the folder named, since the file itself could be written.
TEST(AtomicFile, AReplacedFileKeepsWhoMayUseIt) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to write another user's file";
  }
  constexpr uid_t kUser = 65534;
  testing::TempDir dir;
  const std::string path = dir.file("notes.png");
  ASSERT_TRUE(testing::writeFile(path, "old"));
  ASSERT_EQ(::chown(path.c_str(), kUser, kUser), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  // An access list that also lets user 1000 read: version 2, then tag, permissions, id.
  const std::vector<std::uint16_t> acl = {2,      0,      0x01, 6, 0xFFFF, 0xFFFF, 0x02, 4,
                                          1000,   0,      0x04, 4, 0xFFFF, 0xFFFF, 0x10, 4,
                                          0xFFFF, 0xFFFF, 0x20, 0, 0xFFFF, 0xFFFF};
  const bool withAcl =
      ::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size() * 2, 0) == 0;
  ASSERT_TRUE(writeWhole(path, "new"));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(testing::readFile(path), "new");
  EXPECT_EQ(st.st_uid, kUser);
  EXPECT_EQ(st.st_gid, kUser);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (withAcl) {
    std::vector<std::uint16_t> kept(acl.size());
    EXPECT_EQ(::getxattr(path.c_str(), "system.posix_acl_access", kept.data(), kept.size() * 2),
              static_cast<ssize_t>(acl.size() * 2));
    EXPECT_EQ(kept, acl);
  }

  const std::string folder = dir.file("closed");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string open = folder + "/open.png";
  ASSERT_TRUE(testing::writeFile(open, "old"));
  ASSERT_EQ(::chmod(open.c_str(), 0666), 0);
  int answer[2];
  ASSERT_EQ(::pipe(answer), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(kUser) == 0 && ::setuid(kUser) == 0) {
      AtomicFile file(open);
      const bool written = file.open() && file.commit();
      const std::string reason = written ? "written" : file.failureReason();
      static_cast<void>(::write(answer[1], reason.data(), reason.size()));
    }
    ::_exit(0);
  }
  ::close(answer[1]);
  char text[512] = {};
  const ssize_t n = ::read(answer[0], text, sizeof text - 1);
  ::close(answer[0]);
  EXPECT_EQ(exitStatus(child), 0);
  EXPECT_EQ(std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0),
            "the folder " + folder + "/ takes no new files: Permission denied");
  EXPECT_EQ(testing::readFile(open), "old");
}

}  // namespace
}  // namespace tessora
