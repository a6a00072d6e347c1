#include "settings/file_locations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tessora {
namespace {

std::string withSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') {
    dir += '/';
  }
  return dir;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// mkdir -p: each missing component is made in turn; failures show up later, when the files
// cannot be written, with the messages the user is meant to see.
void makeFolders(const std::string& dir) {
  for (std::size_t pos = dir.find('/', 1); pos != std::string::npos; pos = dir.find('/', pos + 1)) {
    ::mkdir(dir.substr(0, pos).c_str(), 0700);
  }
}

}  // namespace

std::string ProgramDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
      return "";
    }
    if (static_cast<std::size_t>(n) < buffer.size()) {
      const std::string exe(buffer.data(), static_cast<std::size_t>(n));
      return exe.substr(0, exe.rfind('/') + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ChooseDataDirectory(const std::string& programDir) {
  if (programDir.empty()) {
    return "";
  }
  const std::string beside = withSlash(programDir);
  if (exists(beside + "wav") || exists(beside + "readme.txt")) {
    return beside;
  }
  // Relative to the program rather than a prefix fixed at build time, so that an installation
  // under /usr/local or a staging folder finds its files as well as one under /usr.
  const std::string installed = beside + "../share/tessora/";
  return exists(installed) ? installed : beside;
}

std::string DataDirectory() {
  return ChooseDataDirectory(ProgramDirectory());
}

std::string ChooseFileDirectory(const std::string& programDir, const std::string& xdgConfigHome,
                                const std::string& home) {
  if (!programDir.empty() && ::access(programDir.c_str(), W_OK) == 0) {
    return withSlash(programDir);
  }
  // The base directory rules ask to ignore a relative XDG_CONFIG_HOME.
  const std::string base = (!xdgConfigHome.empty() && xdgConfigHome.front() == '/')
                               ? xdgConfigHome
                               : withSlash(home) + ".config";
  const std::string dir = withSlash(base) + "tessora/";
  makeFolders(dir);
  return dir;
}

std::string FileDirectory() {
  const std::string program = ProgramDirectory();
  const bool installed = ChooseDataDirectory(program) != withSlash(program);
  return ChooseFileDirectory(installed ? std::string() : program, environment("XDG_CONFIG_HOME"),
                             environment("HOME"));
}

}  // namespace tessora
