// The document commands of qlfax, run as a user runs them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fax_document/apf/apf_file.h"
#include "fax_document/tests/test_pages.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::TempDir;

struct Result {
  int status;
  std::string output;
};

Result Qlfax(const TempDir& dir, const std::string& arguments) {
  const std::string command = std::string(QLFAX_PROGRAM) + " --home " + (dir / "home").string() +
                              " " + arguments + " > " + (dir / "out.txt").string() + " 2>&1";
  const int raw = std::system(command.c_str());
  std::ifstream in(dir / "out.txt");
  std::stringstream text;
  text << in.rdbuf();
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

TEST(QlfaxDocuments, ConvertInfoRenderAppendNormalise) {
  TempDir dir;
  std::ofstream(dir / "letter.txt") << "Dear reader,\n\tthis is a fax.\n\fSecond page\n";
  const std::string letter = (dir / "letter.txt").string();
  Result r = Qlfax(dir, "convert " + letter + " --fine --station 'QL 123'");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("(2 pages)"), std::string::npos) << r.output;
  const std::string apf = (dir / "letter.APF").string();
  r = Qlfax(dir, "info " + apf);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Pages: 2"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Station ID: QL 123"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Page 1: high resolution, width 1728"), std::string::npos) << r.output;
  // Three text lines of 32 rows: the empty text in front of the form feed is a line too.
  EXPECT_NE(r.output.find("96 lines"), std::string::npos) << r.output;

  const std::string png = (dir / "page.png").string();
  r = Qlfax(dir, "render " + apf + " --page 2 -o " + png + " --scale 1/2");
  ASSERT_EQ(r.status, 0) << r.output;
  const auto bytes = testing::ReadBytes(png);
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");

  r = Qlfax(dir, "convert " + letter + " -o " + (dir / "wide").string() + " --wide --small-font --lines-per-page 1");
  ASSERT_EQ(r.status, 0) << r.output;
  r = Qlfax(dir, "append " + apf + " " + (dir / "wide.APF").string());
  ASSERT_EQ(r.status, 0) << r.output;
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(apf, header), 0);
  EXPECT_EQ(header.PageCount, 2 + 4);

  r = Qlfax(dir, "normalise " + apf + " " + (dir / "norm.apf").string());
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(ReadApfFileHeader(dir / "norm.apf", header), 0);
  EXPECT_EQ(header.PageCount, 6);
  EXPECT_FALSE(std::filesystem::exists(dir / "home" / "TEMP1.apf"));
}

TEST(QlfaxDocuments, BadInputIsReportedAndLeavesNothing) {
  TempDir dir;
  std::ofstream(dir / "junk.tif") << "this is not a picture";
  Result r = Qlfax(dir, "convert " + (dir / "junk.tif").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("Unsupported graphics file format"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir / "junk.APF"));
  r = Qlfax(dir, "convert " + (dir / "junk.xyz").string());
  EXPECT_EQ(r.status, 2);
  r = Qlfax(dir, "info " + (dir / "junk.tif").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("not an APF file"), std::string::npos) << r.output;
  r = Qlfax(dir, "render " + (dir / "junk.tif").string() + " -o " + (dir / "x.png").string());
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
  r = Qlfax(dir, "append " + (dir / "a.apf").string() + " " + (dir / "b.apf").string());
  EXPECT_EQ(r.status, 1);
}

}  // namespace
}  // namespace ql
