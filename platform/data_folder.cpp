#include "platform/data_folder.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace ql {

namespace {

std::mutex gFolderMutex;
std::filesystem::path gFolder;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

DataFolderInputs EnvironmentInputs(std::string homeOption) {
  DataFolderInputs in;
  in.homeOption = std::move(homeOption);
  in.quilletHome = Env("QUILLET_HOME");
  in.executableFolder = ExecutableFolder();
  in.xdgDataHome = Env("XDG_DATA_HOME");
  in.userHome = Env("HOME");
  return in;
}

std::filesystem::path Absolute(const std::filesystem::path& p) {
  std::error_code ec;
  auto abs = std::filesystem::absolute(p, ec);
  return (ec ? p : abs).lexically_normal();
}

}  // namespace

std::filesystem::path ChooseDataFolder(const DataFolderInputs& in) {
  if (!in.homeOption.empty()) return Absolute(in.homeOption);
  if (!in.quilletHome.empty()) return Absolute(in.quilletHome);
  std::error_code ec;
  if (!in.executableFolder.empty() && std::filesystem::is_regular_file(in.executableFolder / "QL.INI", ec))
    return Absolute(in.executableFolder);
  // XDG says a relative XDG_DATA_HOME is invalid and must be ignored.
  if (!in.xdgDataHome.empty() && std::filesystem::path(in.xdgDataHome).is_absolute())
    return Absolute(std::filesystem::path(in.xdgDataHome) / "quillet");
  const std::string home = in.userHome.empty() ? std::string("/tmp") : in.userHome;
  return Absolute(std::filesystem::path(home) / ".local" / "share" / "quillet");
}

std::string TakeHomeOption(std::vector<std::string>& args) {
  std::string home;
  for (std::size_t i = 0; i < args.size();) {
    if (args[i] == "--home" && i + 1 < args.size()) {
      home = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + 2));
    } else if (args[i].rfind("--home=", 0) == 0) {
      home = args[i].substr(7);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  return home;
}

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

std::filesystem::path InitDataFolder(std::vector<std::string>& args) {
  const std::filesystem::path folder = ChooseDataFolder(EnvironmentInputs(TakeHomeOption(args)));
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);  // a failure shows later, when files are written
  SetDataFolder(folder);
  return folder;
}

void SetDataFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(gFolderMutex);
  gFolder = Absolute(folder);
}

const std::filesystem::path& DataFolder() {
  std::lock_guard lock(gFolderMutex);
  if (gFolder.empty()) gFolder = ChooseDataFolder(EnvironmentInputs({}));
  return gFolder;
}

std::filesystem::path ChooseInstalledDataFolder(const InstalledDataInputs& in) {
  std::vector<std::filesystem::path> candidates;
  if (!in.executableFolder.empty()) candidates.push_back(in.executableFolder / ".." / "share" / "quillet");
  const std::string dirs = in.xdgDataDirs.empty() ? std::string("/usr/local/share:/usr/share") : in.xdgDataDirs;
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::filesystem::path dir = dirs.substr(start, end - start);
    if (dir.is_absolute()) candidates.push_back(dir / "quillet");
    start = end + 1;
  }
  for (const auto& candidate : candidates) {
    std::error_code ec;
    if (std::filesystem::is_directory(candidate, ec)) return Absolute(candidate);
  }
  return {};
}

const std::filesystem::path& InstalledDataFolder() {
  static const std::filesystem::path folder = ChooseInstalledDataFolder({ExecutableFolder(), Env("XDG_DATA_DIRS")});
  return folder;
}

}  // namespace ql
