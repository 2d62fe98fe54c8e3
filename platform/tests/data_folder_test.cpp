#include "platform/data_folder.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

TEST(DataFolder, OptionThenEnvironmentThenPortableThenXdg) {
  TempDir exe;
  DataFolderInputs in;
  in.executableFolder = exe.path();
  in.userHome = "/home/u";
  EXPECT_EQ(ChooseDataFolder(in), "/home/u/.local/share/quillet");
  in.xdgDataHome = "relative/ignored";
  EXPECT_EQ(ChooseDataFolder(in), "/home/u/.local/share/quillet");
  in.xdgDataHome = "/xdg";
  EXPECT_EQ(ChooseDataFolder(in), "/xdg/quillet");
  testing::WriteFile(exe / "QL.INI", "");
  EXPECT_EQ(ChooseDataFolder(in), exe.path());
  in.quilletHome = "/env/home";
  EXPECT_EQ(ChooseDataFolder(in), "/env/home");
  in.homeOption = "/opt/home/";
  EXPECT_EQ(ChooseDataFolder(in), "/opt/home/");
}

TEST(DataFolder, HomeOptionIsTakenOutOfTheArguments) {
  std::vector<std::string> args{"list", "--home", "/a", "x", "--home=/b"};
  EXPECT_EQ(TakeHomeOption(args), "/b");
  EXPECT_EQ(args, (std::vector<std::string>{"list", "x"}));
  std::vector<std::string> dangling{"--home"};
  EXPECT_EQ(TakeHomeOption(dangling), "");
  EXPECT_EQ(dangling.size(), 1u);
}

TEST(DataFolder, InitCreatesTheFolder) {
  TempDir dir;
  std::vector<std::string> args{"--home", (dir / "new" / "home").string()};
  const auto folder = InitDataFolder(args);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(DataFolder(), folder);
  EXPECT_TRUE(args.empty());
}

TEST(InstalledData, BesideTheProgramsFolderThenXdgDataDirs) {
  TempDir root;
  std::filesystem::create_directories(root / "prefix" / "bin");
  std::filesystem::create_directories(root / "xdg2" / "quillet");
  InstalledDataInputs in;
  in.executableFolder = root / "prefix" / "bin";
  // Nothing installed beside the program; a relative entry of XDG_DATA_DIRS is no candidate even when it exists.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(root.path());
  in.xdgDataDirs = "xdg2:" + (root / "xdg1").string() + ":" + (root / "xdg2").string();
  EXPECT_EQ(ChooseInstalledDataFolder(in), root / "xdg2" / "quillet");
  std::filesystem::current_path(cwd);
  in.xdgDataDirs = (root / "xdg1").string();
  EXPECT_EQ(ChooseInstalledDataFolder(in), std::filesystem::path());

  // A program under a prefix finds the data of its own prefix first, written without "..".
  std::filesystem::create_directories(root / "prefix" / "share" / "quillet");
  in.xdgDataDirs = (root / "xdg2").string();
  EXPECT_EQ(ChooseInstalledDataFolder(in), root / "prefix" / "share" / "quillet");
}

TEST(InstalledData, TheBuiltProgramsFindTheBuildFoldersCopy) {
  // Tests run from the build folder's tests/, beside its bin/ and share/.
  EXPECT_EQ(InstalledDataFolder(), std::filesystem::path(QL_BINARY_DIR) / "share" / "quillet");
  EXPECT_TRUE(std::filesystem::is_regular_file(InstalledDataFolder() / "help" / "1009.html"));
}

}  // namespace
}  // namespace ql
