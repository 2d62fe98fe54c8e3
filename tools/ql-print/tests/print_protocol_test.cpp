// The job hand-over's text: CUPS's option string as a backend receives it, and the
// header the backend sends.

#include <gtest/gtest.h>

#include "tools/ql-print/job_protocol.h"

namespace ql::print {
namespace {

TEST(PrintProtocol, FaxOptionsAreTakenFromWhatCupsPasses) {
  // As CUPS passes `lp -o fax-number=555-0100 -o fax-recipient=R -o "fax-subject=A b"`.
  const auto options = FaxOptionsOf(
      "fax-number=555-0100 fax-recipient=R fax-subject=A\\ b finishings=3 number-up=1 "
      "job-uuid=urn:uuid:06ef document-name-supplied=x.pdf");
  EXPECT_EQ(options, (std::map<std::string, std::string>{
                         {"fax-number", "555-0100"}, {"fax-recipient", "R"}, {"fax-subject", "A b"}}));
  // Quoted values, a flag without value, and nothing at all.
  EXPECT_EQ(FaxOptionsOf("  fax-subject='It''s \"here\"' fax-flag fax-recipient=\"Ann Lee\""),
            (std::map<std::string, std::string>{
                {"fax-subject", "Its \"here\""}, {"fax-flag", ""}, {"fax-recipient", "Ann Lee"}}));
  EXPECT_TRUE(FaxOptionsOf("").empty());
}

TEST(PrintProtocol, HeaderComesBackAsSentAndMalformedOnesAreRefused) {
  JobHeader sent;
  sent.title = "Report\nQ3";  // a line break cannot end the header early
  sent.options = {{"fax-number", "1 2 3"}, {"fax-subject", ""}, {"bad name", "x"}};
  const std::string text = EncodeHeader(sent);
  HeaderReader reader;
  HeaderReader::Step step = HeaderReader::Step::stMore;
  size_t start = 0;
  while (step == HeaderReader::Step::stMore) {
    const size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    step = reader.Feed(std::string_view(text).substr(start, end - start));
    start = end + 1;
  }
  EXPECT_EQ(step, HeaderReader::Step::stDone);
  EXPECT_EQ(start, text.size());
  EXPECT_EQ(reader.Header().title, "Report Q3");
  EXPECT_EQ(reader.Header().options,
            (std::map<std::string, std::string>{{"fax-number", "1 2 3"}, {"fax-subject", ""}}));

  for (const char* first : {"GET / HTTP/1.0", "QUILLET-JOB 2", ""}) {
    HeaderReader other;
    EXPECT_EQ(other.Feed(first), HeaderReader::Step::stError) << first;
  }
  HeaderReader unknown;
  ASSERT_EQ(unknown.Feed(kJobMagic), HeaderReader::Step::stMore);
  EXPECT_EQ(unknown.Feed("delete everything"), HeaderReader::Step::stError);
}

}  // namespace
}  // namespace ql::print
