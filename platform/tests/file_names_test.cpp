#include "platform/file_names.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace ql {
namespace {

TEST(FileNames, StoredNamesAreCutToABareName) {
  EXPECT_EQ(BareFileName("FAX00001.APF"), "FAX00001.APF");
  EXPECT_EQ(BareFileName("C:\\QL\\SEND\\FAX00001.APF"), "FAX00001.APF");
  EXPECT_EQ(BareFileName("../../etc/passwd"), "passwd");
  EXPECT_EQ(BareFileName(".."), "");
  EXPECT_EQ(BareFileName("dir/"), "");
}

TEST(FileNames, LookupIgnoresCaseButPrefersAnExactMatch) {
  testing::TempDir dir;
  testing::WriteFile(dir / "cover.FCT", "x");
  EXPECT_EQ(FindIgnoringCase(dir.path(), "COVER.fct"), dir / "cover.FCT");
  EXPECT_FALSE(FindIgnoringCase(dir.path(), "other.fct"));
  EXPECT_EQ(ResolveIgnoringCase(dir.path(), "New.fct"), dir / "New.fct");
  EXPECT_FALSE(FindIgnoringCase(dir / "missing", "x"));
}

}  // namespace
}  // namespace ql
