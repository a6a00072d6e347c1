#pragma once

#include <string>

namespace tessora {

constexpr const char* kSettingsFileName = "Tessora.ini";
constexpr const char* kTileListFileName = "PATHS to tiles.txt";
constexpr const char* kCenterListFileName = "PATHS to tessoras.txt";

/// The folder of the running executable, with a trailing "/"; empty when it cannot be found.
std::string ProgramDirectory();

/// The folder of the program's own files (the cues in "wav/", "readme.txt"), with a trailing "/":
/// `programDir` when they are beside the program, as in a program folder of its own or the build
/// folder; otherwise the data folder of an installation, `programDir` + "../share/tessora/", when
/// it exists; otherwise `programDir`.
std::string ChooseDataDirectory(const std::string& programDir);

/// ChooseDataDirectory() for this process.
std::string DataDirectory();

/// The folder of the settings and list files, with a trailing "/": `programDir` when the program
/// may write there, otherwise `xdgConfigHome` + "/tessora/" (or `home` + "/.config/tessora/"
/// when `xdgConfigHome` is empty or not absolute), created when missing. All three files always
/// live together, so a move of the program never splits a user's settings from their lists.
std::string ChooseFileDirectory(const std::string& programDir, const std::string& xdgConfigHome,
                                const std::string& home);

/// ChooseFileDirectory() for this process: its program directory and environment. An installed
/// program (its own files in the data folder, not beside it) always keeps the user's files in the
/// XDG folder, even where it may write beside itself, as root may in /usr/bin.
std::string FileDirectory();

}  // namespace tessora
