#include "platform/program_info/program_info.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace ql {
namespace {

// The version written in the project() call of the top CMakeLists.txt.
std::string ProjectVersion() {
  std::ifstream in(std::string(QL_SOURCE_DIR) + "/CMakeLists.txt");
  std::stringstream text;
  text << in.rdbuf();
  std::smatch m;
  const std::string s = text.str();
  return std::regex_search(s, m, std::regex(R"(project\(\s*Quillet\s+VERSION\s+([0-9.]+))")) ? m[1].str() : "";
}

std::string Answer(const std::vector<std::string>& args, std::optional<int>* status) {
  testing::internal::CaptureStdout();
  *status = AnswerHelpOrVersion(args, "qltool", "Usage: qltool [OPTION]...\nDoes a thing.");
  return testing::internal::GetCapturedStdout();
}

TEST(ProgramInfo, VersionIsTheProjectsAndOptionsAreAnsweredOnlyWhenAsked) {
  ASSERT_FALSE(ProjectVersion().empty());
  EXPECT_EQ(QuilletVersion(), ProjectVersion());

  std::optional<int> status;
  EXPECT_EQ(Answer({"--home", "/x", "--version"}, &status), "qltool (Quillet) " + ProjectVersion() + "\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Answer({"-h", "--version"}, &status), "Usage: qltool [OPTION]...\nDoes a thing.\n");
  EXPECT_EQ(status, 0);

  // A file or value named like an option after "--" is not an option; nothing else is either.
  EXPECT_EQ(Answer({"--", "--help"}, &status), "");
  EXPECT_FALSE(status.has_value());
  EXPECT_EQ(Answer({"--helpful", "version", "-hx"}, &status), "");
  EXPECT_FALSE(status.has_value());
}

}  // namespace
}  // namespace ql
