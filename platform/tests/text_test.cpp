#include "platform/text.h"

#include <gtest/gtest.h>

namespace ql {
namespace {

TEST(Text, TrimRemovesOnlyTheGivenCharactersAtTheEnds) {
  EXPECT_EQ(Trim(" \t key = a b \r\n"), "key = a b");
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
  EXPECT_EQ(Trim(" \t\r\n "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\tx ", " "), "\tx");  // only the space counts here
  const std::string_view padded("NAME \0\0", 7);
  EXPECT_EQ(TrimRight(padded, std::string_view(" \0", 2)), "NAME");
  EXPECT_EQ(TrimRight(padded, " ").size(), 7u);  // a NUL that is not named stays
  EXPECT_EQ(TrimLeft("xxa", "x"), "a");
}

TEST(Text, CaseRulesFoldAsciiLettersOnly) {
  EXPECT_EQ(ToUpperAscii("com1=/dev/ttyS0 \xE9\xC3\xA9"), "COM1=/DEV/TTYS0 \xE9\xC3\xA9");
  EXPECT_EQ(ToLowerAscii("ATZ\xC9"), "atz\xC9");
  EXPECT_TRUE(EqualsIgnoreCase("Ports", "PORTS"));
  EXPECT_FALSE(EqualsIgnoreCase("Port", "Ports"));
  EXPECT_FALSE(EqualsIgnoreCase("\xE9", "\xC9"));  // code page letters are not folded
  EXPECT_EQ(AsciiUpper('@'), '@');
  EXPECT_EQ(AsciiLower('['), '[');
}

}  // namespace
}  // namespace ql
