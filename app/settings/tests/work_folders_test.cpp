#include "app/settings/work_folders.h"

#include <gtest/gtest.h>

#include "platform/data_folder.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class WorkFolders : public ::testing::Test {
 protected:
  void SetUp() override { SetDataFolder(dir_.path()); }
  TempDir dir_;
};

TEST_F(WorkFolders, AppFolderEndsInASeparatorAndFoldersAreMade) {
  EXPECT_EQ(AppFolder(), dir_.path().string() + "/");
  EnsureWorkFolders();
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "SEND"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Receive"));
  EXPECT_EQ(SendFolder(), dir_ / "SEND");
}

TEST_F(WorkFolders, ExistingFolderInAnotherCaseIsUsedAndAFailureDoesNotStopTheOther) {
  std::filesystem::create_directory(dir_ / "RECEIVE");
  WriteFile(dir_ / "SEND", "a file where the folder should be");
  EnsureWorkFolders();
  EXPECT_EQ(ReceiveFolder(), dir_ / "RECEIVE");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Receive"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_ / "SEND"));
}

TEST_F(WorkFolders, NextFreeNameFillsGapsAndIgnoresCase) {
  EnsureWorkFolders();
  EXPECT_EQ(NextFreeSendName("FAX"), dir_ / "SEND" / "FAX00000.APF");
  WriteFile(dir_ / "SEND" / "FAX00000.APF", "");
  WriteFile(dir_ / "SEND" / "FAX00001.APF", "");
  EXPECT_EQ(NextFreeSendName("FAX"), dir_ / "SEND" / "FAX00002.APF");
  std::filesystem::remove(dir_ / "SEND" / "FAX00000.APF");
  EXPECT_EQ(NextFreeSendName("FAX"), dir_ / "SEND" / "FAX00000.APF");
  WriteFile(dir_ / "SEND" / "cov00000.apf", "");
  EXPECT_EQ(NextFreeSendName("COV"), dir_ / "SEND" / "COV00001.APF");
  EXPECT_EQ(NextFreeWorkName("FWD"), dir_ / "FWD00000.APF");
}

TEST_F(WorkFolders, NextFreeNameEndsAt99999WhetherOrNotItExists) {
  TempDir full;
  // A folder where every name of the prefix is taken: the last name comes back.
  for (int n = 0; n <= 99999; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "X%05d.APF", n);
    WriteFile(full / name, "");
  }
  EXPECT_EQ(NextFreeFaxName(full.path(), "X"), full / "X99999.APF");
}

TEST_F(WorkFolders, CopyFaxFile) {
  const std::string data(5000, 'z');  // more than two 2048-byte blocks
  WriteFile(dir_ / "a.apf", data);
  EXPECT_TRUE(CopyFaxFile(dir_ / "a.apf", dir_ / "b.apf"));
  EXPECT_EQ(ReadFile(dir_ / "b.apf"), data);
  EXPECT_FALSE(CopyFaxFile(dir_ / "a.apf", dir_ / "a.apf"));
  EXPECT_FALSE(CopyFaxFile(dir_ / "missing.apf", dir_ / "c.apf"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "c.apf"));
  EXPECT_FALSE(CopyFaxFile(dir_ / "a.apf", dir_ / "no" / "d.apf"));
  // Nothing but the two files is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2);
}

TEST(TrimBoth, OnlySpacesCount) {
  EXPECT_EQ(TrimBoth("  a b  "), "a b");
  EXPECT_EQ(TrimBoth("\tx "), "\tx");
  EXPECT_EQ(TrimBoth("   "), "");
  EXPECT_EQ(TrimBoth(""), "");
}

}  // namespace
}  // namespace ql
