// qlfax cover, as a script would use it, and the generator that made the shipped
// templates.

#include <gtest/gtest.h>

#include <algorithm>

#include "fax_document/apf/apf_file.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::RunProgram;
using testing::TempDir;

std::string Home(const TempDir& home) { return "--home '" + home.path().string() + "' "; }

TEST(QlfaxCover, DrawsAOnePageHighResolutionCoverFromAShippedTemplate) {
  TempDir home;
  testing::WriteFile(home / "message.txt", "First line\nSecond line\n");
  const auto r = RunProgram("qlfax", Home(home) + "cover --template QL0002 --to 'Ann Lee' --fax 555-0100 "
                                                  "--regarding Budget --message '" +
                                         (home / "message.txt").string() + "' --flags urgent,reply -o '" +
                                         (home / "c.apf").string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(home / "c.apf", header), 0);
  EXPECT_EQ(header.PageCount, 1);
  ApfPageHeader page;
  ASSERT_EQ(ReadApfPageHeader(home / "c.apf", 1, page), 0);
  EXPECT_EQ(page.PageFlags & 3, 1);  // high resolution, normal width
  // The shipped templates were put into the data folder on the way.
  EXPECT_TRUE(std::filesystem::exists(home / "Covers" / "ql0001.fct"));
  EXPECT_TRUE(std::filesystem::exists(home / "Covers" / "ql0002.bmp"));
}

TEST(QlfaxCover, RefusesWhatItCannotDraw) {
  TempDir home;
  const std::string out = " -o '" + (home / "c.apf").string() + "'";
  EXPECT_EQ(RunProgram("qlfax", Home(home) + "cover --to A --fax 1" + out).status, 2);  // no subject, no message
  EXPECT_EQ(RunProgram("qlfax", Home(home) + "cover --fax 1 --regarding x" + out).status, 2);
  EXPECT_EQ(RunProgram("qlfax", Home(home) + "cover --to A --fax 1 --regarding x --flags urgent,soon" + out).status, 2);
  const auto missing = RunProgram("qlfax", Home(home) + "cover --template nope --to A --fax 1 --regarding x" + out);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("no template"), std::string::npos) << missing.out;
  EXPECT_FALSE(std::filesystem::exists(home / "c.apf"));
}

// Every shipped file is what the generator makes of the designs in the repository.
TEST(CoverGenerator, MakesExactlyTheShippedTemplates) {
  TempDir out;
  const auto r = RunProgram("covergen", "'" + out.path().string() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  const std::filesystem::path shipped = std::filesystem::path(QL_SOURCE_DIR) / "data" / "covers";
  std::vector<std::string> made, committed;
  for (const auto& e : std::filesystem::directory_iterator(out.path())) made.push_back(e.path().filename().string());
  for (const auto& e : std::filesystem::directory_iterator(shipped)) committed.push_back(e.path().filename().string());
  std::sort(made.begin(), made.end());
  std::sort(committed.begin(), committed.end());
  EXPECT_EQ(made, committed) << "run: cmake --build build --target cover_templates";
  for (const std::string& name : made)
    EXPECT_EQ(testing::ReadFile(out / name), testing::ReadFile(shipped / name))
        << name << " differs; run: cmake --build build --target cover_templates";
}

}  // namespace
}  // namespace ql
