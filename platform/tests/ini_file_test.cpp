#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace ql {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(IniFile, MissingFileReadsAsEmptyAndDefaultsApply) {
  TempDir dir;
  const IniFile ini(dir / "none.ini");
  EXPECT_TRUE(ini.Sections().empty());
  EXPECT_EQ(ini.ReadString("User", "Name", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("Modem", "ComPort", -1), -1);
  EXPECT_TRUE(ini.ReadBool("Hints", "On", true));
}

TEST(IniFile, WritesInPlaceAppendToSectionAndKeepEverythingElse) {
  TempDir dir;
  WriteFile(dir / "a.ini",
            "; a comment\n[First]\nAlpha=1\nbeta = two\n\n[Second]\nGamma=3\n");
  IniFile ini(dir / "a.ini");
  ini.WriteString("first", "BETA", "changed");  // in place, any case, spelling kept
  ini.WriteString("First", "Delta", "4");       // appended after the section's last key
  ini.WriteString("Third", "Eps", "5");         // new section at the end
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadFile(dir / "a.ini"),
            "; a comment\n[First]\nAlpha=1\nbeta=changed\nDelta=4\n\n[Second]\nGamma=3\n\n[Third]\nEps=5\n");
  const IniFile again(dir / "a.ini");
  EXPECT_EQ(again.Keys("FIRST"), (std::vector<std::string>{"Alpha", "beta", "Delta"}));
  EXPECT_EQ(again.ReadString("Third", "eps", ""), "5");
}

TEST(IniFile, ValuesAreTrimmedUnquotedAndCutTo1023Characters) {
  TempDir dir;
  WriteFile(dir / "v.ini", "[S]\r\nA =  spaced value  \r\nQ=\"quoted \"\r\nLong=" + std::string(2000, 'x') + "\r\n");
  const IniFile ini(dir / "v.ini");
  EXPECT_EQ(ini.ReadString("S", "A", ""), "spaced value");
  EXPECT_EQ(ini.ReadString("S", "Q", ""), "quoted ");
  EXPECT_EQ(ini.ReadString("S", "Long", "").size(), 1023u);
}

TEST(IniFile, IntegersInDecimalOrHexElseTheDefault) {
  EXPECT_EQ(ParseIniInteger("42"), 42);
  EXPECT_EQ(ParseIniInteger("-7"), -7);
  EXPECT_EQ(ParseIniInteger("0x2"), 2);
  EXPECT_EQ(ParseIniInteger("0X1f"), 31);
  EXPECT_EQ(ParseIniInteger("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseIniInteger("-2147483648"), INT32_MIN);
  EXPECT_FALSE(ParseIniInteger("0x"));
  EXPECT_FALSE(ParseIniInteger("abc"));
  EXPECT_FALSE(ParseIniInteger("12abc"));
  EXPECT_FALSE(ParseIniInteger(""));
  EXPECT_FALSE(ParseIniInteger("2147483648"));
  TempDir dir;
  WriteFile(dir / "i.ini", "[D]\nBad=abc\nEmpty=\nBool=2\nNotBool=yes\n");
  const IniFile ini(dir / "i.ini");
  EXPECT_EQ(ini.ReadInteger("D", "Bad", 3), 3);
  EXPECT_EQ(ini.ReadInteger("D", "Empty", 60), 60);
  EXPECT_TRUE(ini.ReadBool("D", "Bool", false));
  EXPECT_TRUE(ini.ReadBool("D", "NotBool", true));
}

TEST(IniFile, RefusedWriteReportsFailureAndLeavesTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root can write into a read-only folder";
  TempDir dir;
  WriteFile(dir / "r.ini", "[S]\nA=1\n");
  IniFile ini(dir / "r.ini");
  ini.WriteString("S", "A", "2");
  ::chmod(dir.path().c_str(), 0500);
  EXPECT_FALSE(ini.Save());
  ::chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(ReadFile(dir / "r.ini"), "[S]\nA=1\n");
}

TEST(IniFile, SaveIntoMissingFolderFails) {
  TempDir dir;
  IniFile ini(dir / "no" / "such" / "x.ini");
  ini.WriteString("S", "A", "1");
  EXPECT_FALSE(ini.Save());
}

}  // namespace
}  // namespace ql
