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

}  // namespace
}  // namespace ql
