// The command line of a line and the names of faults.

#include <gtest/gtest.h>

#include "tools/qlvmodem/faults.h"
#include "tools/qlvmodem/line_config.h"

namespace ql::vmodem {
namespace {

TEST(LineArguments, DefaultsAndExplicitEndpoints) {
  std::string error;
  auto defaults = ParseLineArguments({}, "/tmp/x", &error);
  ASSERT_TRUE(defaults) << error;
  ASSERT_EQ(defaults->modems.size(), 2u);
  EXPECT_EQ(defaults->modems[0].link, "/tmp/x/ttyFAX0");
  EXPECT_EQ(defaults->modems[1].number, "101");
  ASSERT_EQ(defaults->remotes.size(), 1u);
  EXPECT_EQ(defaults->remotes[0].folder, "/tmp/x/remote-200");
  EXPECT_EQ(defaults->logPath, "/tmp/x/calls.log");

  auto mine = ParseLineArguments({"--dir", "/d", "--modem", "m=7:1", "--remote", "8:ACME 1", "--speed", "max"},
                                 "/tmp/x", &error);
  ASSERT_TRUE(mine) << error;
  ASSERT_EQ(mine->modems.size(), 1u);
  EXPECT_EQ(mine->modems[0].link, "/d/m");
  EXPECT_EQ(mine->modems[0].classes, std::vector<std::string>{"1"});
  EXPECT_EQ(mine->remotes[0].ident, "ACME 1");
  EXPECT_EQ(mine->speed, 0);

  // Modems alone still have the remote at 200 to dial, unless one of them is 200.
  auto modemsOnly = ParseLineArguments({"--modem", "ttyFAX0=100:1+2+2.0"}, "/tmp/x", &error);
  ASSERT_TRUE(modemsOnly) << error;
  ASSERT_EQ(modemsOnly->remotes.size(), 1u);
  EXPECT_EQ(modemsOnly->remotes[0].number, "200");
  auto modemAt200 = ParseLineArguments({"--modem", "m=200"}, "/tmp/x", &error);
  ASSERT_TRUE(modemAt200) << error;
  EXPECT_TRUE(modemAt200->remotes.empty());
}

TEST(LineArguments, BadInputIsRefusedWithAReason) {
  std::string error;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--modem", "noequals"}, {"--modem", "../x=1"}, {"--modem", "a=1", "--remote", "1"},
        {"--modem", "a=1:3"}, {"--speed", "0.5"}, {"--ring-period"}, {"--bogus"}, {"--remote", "12x"}}) {
    error.clear();
    EXPECT_FALSE(ParseLineArguments(args, "/tmp", &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(Faults, NamesValuesAndBook) {
  std::string error;
  auto busy = ParseFault("busy", "", &error);
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->kind, FaultKind::kBusy);
  auto slow = ParseFault("slow", "", &error);
  ASSERT_TRUE(slow);
  EXPECT_EQ(slow->value, 3000);
  EXPECT_EQ(DescribeFault(*ParseFault("train", "9600", &error)), "train 9600 bit/s");
  EXPECT_FALSE(ParseFault("busy", "3", &error));
  EXPECT_FALSE(ParseFault("noanswer", "0", &error));
  EXPECT_FALSE(ParseFault("slow", "12ms", &error));
  EXPECT_FALSE(ParseFault("meteor", "", &error));
  EXPECT_NE(error.find("busy"), std::string::npos);

  FaultBook book;
  book.Order("100", *busy);
  book.Order("100", *slow);
  EXPECT_EQ(book.Pending("100"), 2u);
  auto taken = book.TakeFor("100");
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_TRUE(HasFault(taken, FaultKind::kSlow));
  EXPECT_TRUE(book.TakeFor("100").empty());  // used up by one call
}

}  // namespace
}  // namespace ql::vmodem
