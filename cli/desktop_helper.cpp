#include "cli/desktop_helper.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

extern char** environ;

namespace tessora {

const char* const kDesktopHelperName = "tessora-compose-desktop";
const char* const kDesktopHelperQuiet = "TESSORA_COMPOSE_QUIET";
const char* const kDesktopHelperInstalled = "installed";

namespace {

// Closes what it holds when it goes.
struct Pipe {
  int fd[2] = {-1, -1};
  ~Pipe() {
    for (int f : fd) {
      if (f >= 0) {
        ::close(f);
      }
    }
  }
};

// The helper's one-line answer, without its line end.
std::string AnswerLine(std::string text) {
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

// Why a failed run of the helper failed: it says so itself on its output, unless it could not
// even run or died without a word.
std::string FailureReason(const std::string& program, const ProgramRun& run) {
  if (run.status < 0) {
    return program + ": " + run.error;
  }
  const std::string said = AnswerLine(run.out);
  return said.empty() ? "the desktop helper failed" : said;
}

// Appends what the pipe holds now; false once it is closed.
bool Drain(int fd, std::string& out) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
      return false;
    } else if (errno != EINTR) {
      return true;  // nothing more for now
    }
  }
}

// Whether `out` holds the line `answer`.
bool HasLine(const std::string& out, const std::string& answer) {
  const std::string line = answer + "\n";
  const std::size_t at = out.find(line);
  return !answer.empty() && at != std::string::npos && (at == 0 || out[at - 1] == '\n');
}

// Reads the child's output until the child has ended, or has printed the line `answer` (then
// `answered` is set and the child is not waited for). Not until the end of the output: a program
// the child left running in the background may hold the pipe open for as long as it runs. Once
// the child is gone, what it wrote is already in the pipe and is taken as it is.
bool ReadUntilExit(int fd, pid_t pid, std::string& out, int& status,
                   const std::string& answer = std::string(), bool* answered = nullptr) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  for (bool open = true; open;) {
    pollfd waiting{fd, POLLIN, 0};
    ::poll(&waiting, 1, 50);
    open = Drain(fd, out);
    if (answered != nullptr && HasLine(out, answer)) {
      *answered = true;
      return true;
    }
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid) {
      Drain(fd, out);
      return true;
    }
    if (ended < 0 && errno != EINTR) {
      return false;
    }
  }
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

// Hands each answer the follow command prints (ended by a line "end") to `changed`, reading as
// the helper writes, until the helper ends or `changed` returns false. An answer that cannot be
// read ends the following; so does a first answer that never comes.
Outcome ReadDesktops(int fd, const std::function<bool(const DesktopFacts&)>& changed) {
  std::string pending;
  bool any = false;
  char buffer[4096];
  for (;;) {
    const std::size_t end = pending.find("end\n");
    if (end != std::string::npos && (end == 0 || pending[end - 1] == '\n')) {
      const std::optional<DesktopFacts> facts = DesktopHelper::ParseDesktop(pending.substr(0, end));
      pending.erase(0, end + 4);
      if (!facts) {
        return Outcome::Failed("the desktop's monitors could not be read");
      }
      any = true;
      if (!changed(*facts)) {
        return Outcome::Done();
      }
      continue;
    }
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      pending.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      const std::string said = AnswerLine(pending);
      return any ? Outcome::Done()
                 : Outcome::Failed(said.empty() ? "the desktop helper failed" : said);
    }
  }
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  return RunUntilAnswer(program, args, std::string());
}

ProgramRun RunUntilAnswer(const std::string& program, const std::vector<std::string>& args,
                          const std::string& answer) {
  ProgramRun run;
  Pipe out;
  if (::pipe2(out.fd, O_CLOEXEC) != 0) {
    run.error = std::strerror(errno);
    return run;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) {
    argv.push_back(const_cast<char*>(a.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], STDOUT_FILENO);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    run.error = std::strerror(rc);
    return run;
  }
  ::close(out.fd[1]);
  out.fd[1] = -1;
  int status = 0;
  bool answered = false;
  if (!ReadUntilExit(out.fd[0], pid, run.out, status, answer, &answered)) {
    run.error = std::strerror(errno);
    return run;
  }
  if (answered) {
    run.status = 0;
    run.running = pid;
    return run;
  }
  if (WIFEXITED(status)) {
    run.status = WEXITSTATUS(status);
  } else {
    run.error = "ended by signal " + std::to_string(WTERMSIG(status));
  }
  return run;
}

void CollectEnded(std::vector<int>& running) {
  running.erase(std::remove_if(running.begin(), running.end(),
                               [](int pid) {
                                 int status = 0;
                                 return ::waitpid(pid, &status, WNOHANG) != 0;
                               }),
                running.end());
}

std::string FindDesktopHelper(const std::string& programDir) {
  for (const std::string& candidate :
       {programDir + kDesktopHelperName, programDir + "../libexec/tessora/" + kDesktopHelperName}) {
    if (::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return "";
}

std::string DesktopHelper::FormatGeometry(const DesktopGeometry& g) {
  std::ostringstream s;
  s << g.screenWidth << ' ' << g.screenHeight << ' ' << g.workArea.Left << ' ' << g.workArea.Top
    << ' ' << g.workArea.Right << ' ' << g.workArea.Bottom << ' ' << (g.workAreaKnown ? 1 : 0)
    << '\n';
  return s.str();
}

std::optional<DesktopGeometry> DesktopHelper::ParseGeometry(const std::string& text) {
  std::istringstream s(text);
  DesktopGeometry g;
  int known = 0;
  if (!(s >> g.screenWidth >> g.screenHeight >> g.workArea.Left >> g.workArea.Top >>
        g.workArea.Right >> g.workArea.Bottom >> known) ||
      g.screenWidth <= 0 || g.screenHeight <= 0) {
    return std::nullopt;
  }
  g.workAreaKnown = known != 0;
  return g;
}

OutcomeOf<DesktopGeometry> DesktopHelper::geometry() const {
  const ProgramRun run = RunProgram(program_, {"geometry"});
  if (run.status < 0) {
    return OutcomeOf<DesktopGeometry>::Failed(program_ + ": " + run.error);
  }
  const std::optional<DesktopGeometry> g = run.status == 0 ? ParseGeometry(run.out) : std::nullopt;
  if (!g) {
    return OutcomeOf<DesktopGeometry>::Failed("the desktop's size could not be read");
  }
  return OutcomeOf<DesktopGeometry>::Done(*g);
}

OutcomeOf<std::string> DesktopHelper::wallpaperFolder() const {
  const ProgramRun run = RunProgram(program_, {"folder"});
  if (run.status != 0) {
    return OutcomeOf<std::string>::Failed(FailureReason(program_, run));
  }
  std::string text = AnswerLine(run.out);
  // A folder must be absolute: anything else would put the file where the tool happens to run.
  if (text.empty() || text.front() != '/') {
    return OutcomeOf<std::string>::Failed("the desktop helper gave no wallpaper folder");
  }
  if (text.back() != '/') {
    text += '/';
  }
  return OutcomeOf<std::string>::Done(text);
}

Outcome DesktopHelper::setWallpaper(const std::string& path) {
  return install({"install", path});
}

Outcome DesktopHelper::install(const std::vector<std::string>& args) {
  CollectEnded(ending_);
  const ProgramRun run = RunUntilAnswer(program_, args, kDesktopHelperInstalled);
  if (run.running != 0) {
    ending_.push_back(run.running);
  }
  if (run.status != 0) {
    return Outcome::Failed(FailureReason(program_, run));
  }
  return Outcome::Done();
}

namespace {

bool ReadInt(const std::string& text, int& value) {
  std::istringstream s(text);
  return static_cast<bool>(s >> value) && s.peek() == std::char_traits<char>::eof();
}

void AddRect(std::vector<std::string>& args, const Rect& r) {
  for (int v : {r.Left, r.Top, r.Right, r.Bottom}) {
    args.push_back(std::to_string(v));
  }
}

bool ReadRect(const std::vector<std::string>& args, std::size_t at, Rect& r) {
  return ReadInt(args[at], r.Left) && ReadInt(args[at + 1], r.Top) &&
         ReadInt(args[at + 2], r.Right) && ReadInt(args[at + 3], r.Bottom) && r.Right > r.Left &&
         r.Bottom > r.Top;
}

}  // namespace

std::string DesktopHelper::FormatLayout(const MonitorLayout& layout) {
  std::ostringstream s;
  for (std::size_t i = 0; i < layout.monitors.size(); ++i) {
    const Monitor& m = layout.monitors[i];
    s << m.rect.Left << ' ' << m.rect.Top << ' ' << m.rect.Right << ' ' << m.rect.Bottom << ' '
      << m.workArea.Left << ' ' << m.workArea.Top << ' ' << m.workArea.Right << ' '
      << m.workArea.Bottom << ' ' << (m.workAreaKnown ? 1 : 0) << ' '
      << (i == layout.primary ? 1 : 0) << ' ' << m.name << '\n';
  }
  return s.str();
}

std::optional<MonitorLayout> DesktopHelper::ParseLayout(const std::string& text) {
  MonitorLayout layout;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream s(line);
    Monitor m;
    int known = 0;
    int primary = 0;
    if (!(s >> m.rect.Left >> m.rect.Top >> m.rect.Right >> m.rect.Bottom >> m.workArea.Left >>
          m.workArea.Top >> m.workArea.Right >> m.workArea.Bottom >> known >> primary) ||
        m.rect.Right <= m.rect.Left || m.rect.Bottom <= m.rect.Top) {
      return std::nullopt;
    }
    s >> std::ws;
    std::getline(s, m.name);
    m.workAreaKnown = known != 0;
    if (primary != 0) {
      layout.primary = layout.monitors.size();
    }
    layout.monitors.push_back(std::move(m));
  }
  if (layout.monitors.empty()) {
    return std::nullopt;
  }
  return layout;
}

std::vector<std::string> DesktopHelper::MonitorPicturesArgs(const MonitorPictures& pictures) {
  std::vector<std::string> args{pictures.spanned, std::to_string(pictures.primary)};
  AddRect(args, pictures.bounds);
  for (const MonitorPicture& m : pictures.monitors) {
    args.push_back(m.name);
    AddRect(args, m.rect);
    args.push_back(m.path);
  }
  return args;
}

std::optional<MonitorPictures> DesktopHelper::ParseMonitorPicturesArgs(
    const std::vector<std::string>& args) {
  constexpr std::size_t kHead = 6;
  constexpr std::size_t kPerMonitor = 6;
  MonitorPictures pictures;
  int primary = 0;
  if (args.size() < kHead + kPerMonitor || (args.size() - kHead) % kPerMonitor != 0 ||
      !ReadInt(args[1], primary) || !ReadRect(args, 2, pictures.bounds)) {
    return std::nullopt;
  }
  pictures.spanned = args[0];
  for (std::size_t at = kHead; at < args.size(); at += kPerMonitor) {
    MonitorPicture m;
    m.name = args[at];
    if (!ReadRect(args, at + 1, m.rect)) {
      return std::nullopt;
    }
    m.path = args[at + 5];
    pictures.monitors.push_back(std::move(m));
  }
  if (primary < 0 || static_cast<std::size_t>(primary) >= pictures.monitors.size()) {
    return std::nullopt;
  }
  pictures.primary = static_cast<std::size_t>(primary);
  return pictures;
}

std::string DesktopHelper::FormatDesktop(const MonitorLayout& layout, TColor color) {
  char line[32];
  std::snprintf(line, sizeof line, "color %02X%02X%02X\n", GetRValue(color), GetGValue(color),
                GetBValue(color));
  return FormatLayout(layout) + line;
}

std::optional<DesktopFacts> DesktopHelper::ParseDesktop(const std::string& text) {
  DesktopFacts facts;
  std::string monitors = text;
  const std::size_t at = text.rfind("color ");
  if (at != std::string::npos && (at == 0 || text[at - 1] == '\n')) {
    monitors = text.substr(0, at);
    const std::string hex = text.substr(at + 6);
    if (hex.size() != 7 || hex.back() != '\n' ||
        hex.find_first_not_of("0123456789ABCDEFabcdef") != 6) {
      return std::nullopt;
    }
    const unsigned long rgb = std::stoul(hex, nullptr, 16);
    facts.color =
        RGB(static_cast<int>(rgb >> 16), static_cast<int>(rgb >> 8), static_cast<int>(rgb));
  }
  std::optional<MonitorLayout> layout = ParseLayout(monitors);
  if (!layout) {
    return std::nullopt;
  }
  facts.layout = std::move(*layout);
  return facts;
}

OutcomeOf<DesktopFacts> DesktopHelper::desktop() const {
  const ProgramRun run = RunProgram(program_, {"monitors"});
  if (run.status < 0) {
    return OutcomeOf<DesktopFacts>::Failed(program_ + ": " + run.error);
  }
  std::optional<DesktopFacts> facts = run.status == 0 ? ParseDesktop(run.out) : std::nullopt;
  if (!facts) {
    return OutcomeOf<DesktopFacts>::Failed("the desktop's monitors could not be read");
  }
  return OutcomeOf<DesktopFacts>::Done(std::move(*facts));
}

// The helper's standard input is a pipe we hold: when we go, it sees the end and goes too.
Outcome DesktopHelper::follow(const std::function<bool(const DesktopFacts&)>& changed) const {
  Pipe out;
  Pipe in;
  if (::pipe2(out.fd, O_CLOEXEC) != 0 || ::pipe2(in.fd, O_CLOEXEC) != 0) {
    return Outcome::Failed(std::strerror(errno));
  }
  char* argv[] = {const_cast<char*>(program_.c_str()), const_cast<char*>("follow"), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, in.fd[0], STDIN_FILENO);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    return Outcome::Failed(program_ + ": " + std::strerror(rc));
  }
  ::close(out.fd[1]);
  out.fd[1] = -1;
  const Outcome told = ReadDesktops(out.fd[0], changed);
  ::close(in.fd[1]);
  in.fd[1] = -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return told;
}

Outcome DesktopHelper::setMonitorWallpapers(const MonitorPictures& pictures) {
  std::vector<std::string> args = MonitorPicturesArgs(pictures);
  args.insert(args.begin(), "install-monitors");
  return install(args);
}

}  // namespace tessora
