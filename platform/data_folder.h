#pragma once
// The data folder: where every file of ql, qlpick, qlfax and ql-print lives (settings,
// tables, send and receive folders). Chosen, in this order, by:
//   1. the command-line option --home DIR (or --home=DIR),
//   2. the environment variable QUILLET_HOME,
//   3. the folder of the running program, when it holds "QL.INI" (a portable install),
//   4. $XDG_DATA_HOME/quillet, or ~/.local/share/quillet when XDG_DATA_HOME is unset.

#include <filesystem>
#include <string>
#include <vector>

namespace ql {

struct DataFolderInputs {
  std::string homeOption;                   // value of --home, empty when not given
  std::string quilletHome;                  // QUILLET_HOME, empty when unset
  std::filesystem::path executableFolder;   // folder of the running program
  std::string xdgDataHome;                  // XDG_DATA_HOME, empty when unset
  std::string userHome;                     // HOME
};

// The rule itself, without touching the process environment (tests call this).
std::filesystem::path ChooseDataFolder(const DataFolderInputs& in);

// Removes "--home DIR" / "--home=DIR" from the arguments and returns DIR (empty when absent).
std::string TakeHomeOption(std::vector<std::string>& args);

// Folder of the running program (from /proc/self/exe).
std::filesystem::path ExecutableFolder();

// Decides the process-wide data folder from the arguments (removing --home from them)
// and the environment, creates it when missing, and remembers it.
std::filesystem::path InitDataFolder(std::vector<std::string>& args);

// Sets the process-wide data folder directly (tests, tools).
void SetDataFolder(const std::filesystem::path& folder);

// The process-wide data folder; InitDataFolder or SetDataFolder must have run, else
// the rule is applied to the environment alone.
const std::filesystem::path& DataFolder();

// The installed data: the read-only files that come with the programs (help pages, cover
// templates, the font notice), the same for every user and data folder. Found, in this
// order, at:
//   1. ../share/quillet beside the folder of the running program: an install under any
//      prefix (/usr, /usr/local, a folder made with cmake --install --prefix, a portable
//      folder laid out the same way), and the build folder, which puts its programs in bin/
//      and a copy of these files in share/quillet/;
//   2. quillet/ in each folder of $XDG_DATA_DIRS (/usr/local/share:/usr/share when unset;
//      relative entries are ignored), for a program started from elsewhere.
struct InstalledDataInputs {
  std::filesystem::path executableFolder;   // folder of the running program
  std::string xdgDataDirs;                  // XDG_DATA_DIRS, empty when unset
};

// The rule itself; an empty path when no candidate is a folder.
std::filesystem::path ChooseInstalledDataFolder(const InstalledDataInputs& in);

// The rule applied to the running program and its environment, decided once.
const std::filesystem::path& InstalledDataFolder();

}  // namespace ql
