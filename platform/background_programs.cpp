#include "platform/background_programs.h"

#include <QStringList>

#include "platform/processes.h"
#include "platform/run_command.h"

namespace tessora {
namespace {

constexpr int kTimeoutMs = 5000;

// hyprctl answers "ok" to a request hyprpaper took, and says why otherwise, with exit status 0.
Outcome Hyprctl(const QStringList& arguments) {
  const OutcomeOf<QString> answer =
      RunCommandForOutput(QStringLiteral("hyprctl"), arguments, kTimeoutMs);
  if (!answer.ok()) {
    return Outcome::Failed(answer.reason());
  }
  const QString text = answer.value().trimmed();
  if (!text.isEmpty() && text != QLatin1String("ok")) {
    return FailedWith(QStringLiteral("hyprpaper refused %1: %2")
                          .arg(arguments.mid(1).join(QLatin1Char(' ')), text));
  }
  return Outcome::Done();
}

// The primary's picture on every output first, then each named monitor's: (output, file).
QList<QPair<QString, QString>> Assignments(const QList<MonitorFile>& files) {
  QList<QPair<QString, QString>> assignments;
  for (const MonitorFile& m : files) {
    if (m.primary || files.size() == 1) {
      assignments.prepend({QString(), m.file});
    }
    if (!m.name.isEmpty() && files.size() > 1) {
      assignments << QPair<QString, QString>{m.name, m.file};
    }
  }
  return assignments;
}

}  // namespace

std::optional<BackgroundProgram> ForeignBackground(
    const std::function<bool(const ProcessInfo&)>& ours) {
  for (const ProcessInfo& p : UserProcesses()) {
    const QByteArray program = p.program();
    BackgroundProgram found{BackgroundProgram::Swaybg, p.pid};
    if (program == "hyprpaper") {
      found.kind = BackgroundProgram::Hyprpaper;
    } else if (program == "swww-daemon") {
      found.kind = BackgroundProgram::Swww;
    } else if (program != "swaybg" || ours(p) ||
               !EnvironmentOf(p.pid, "WAYLAND_SOCKET").isEmpty()) {
      continue;
    }
    if (InThisSession(p.pid)) {
      return found;
    }
  }
  return std::nullopt;
}

Outcome ShowThrough(const BackgroundProgram& program, const QList<MonitorFile>& files) {
  const QList<QPair<QString, QString>> assignments = Assignments(files);
  switch (program.kind) {
    case BackgroundProgram::Hyprpaper: {
      QStringList preloaded;
      for (const auto& [output, file] : assignments) {
        if (!preloaded.contains(file)) {
          preloaded << file;
          const Outcome loaded =
              Hyprctl({QStringLiteral("hyprpaper"), QStringLiteral("preload"), file});
          if (!loaded.ok()) {
            return loaded;
          }
        }
      }
      for (const auto& [output, file] : assignments) {
        const Outcome shown = Hyprctl({QStringLiteral("hyprpaper"), QStringLiteral("wallpaper"),
                                       output + QLatin1Char(',') + file});
        if (!shown.ok()) {
          return shown;
        }
      }
      // The pictures shown before stay in its memory until unloaded.
      return Hyprctl(
          {QStringLiteral("hyprpaper"), QStringLiteral("unload"), QStringLiteral("unused")});
    }
    case BackgroundProgram::Swww:
      for (const auto& [output, file] : assignments) {
        QStringList arguments{QStringLiteral("img")};
        if (!output.isEmpty()) {
          arguments << QStringLiteral("-o") << output;
        }
        const Outcome shown = RunCommand(QStringLiteral("swww"), arguments << file, kTimeoutMs);
        if (!shown.ok()) {
          return shown;
        }
      }
      return Outcome::Done();
    case BackgroundProgram::Swaybg:
      break;
  }
  return FailedWith(QStringLiteral("another background program (swaybg, pid %1) covers the "
                                   "wallpaper: stop it, or let Tessora set the wallpaper at "
                                   "start-up with `tessora-compose --restore`")
                        .arg(program.pid));
}

}  // namespace tessora
