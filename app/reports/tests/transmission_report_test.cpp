// The transmission report: one PDF page with the send's facts, found again by its row.

#include <gtest/gtest.h>

#include <cstdio>

#include "app/reports/transmission_report.h"
#include "app/ui/testing/application.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace ql {
namespace {

std::string PdfText(const fs::path& pdf) {
  std::string text;
  if (FILE* p = ::popen(("pdftotext -layout '" + pdf.string() + "' -").c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
    ::pclose(p);
  }
  return text;
}

TEST(TransmissionReport, OnePageWithTheFactsAndTheNewestIsFound) {
  testing::EnsureApplication();
  testing::TempDir dir;
  EXPECT_EQ(ReportStem("fax00012.apf", "COV00001.APF"), "FAX00012");
  EXPECT_EQ(ReportStem("", "COV00001.APF"), "COV00001");
  EXPECT_EQ(ReportStem("", ""), "");

  TSendOutcome o;
  o.resultText = "Sent";
  o.phoneNumber = "555 0100";
  o.remoteId = "ACME REMOTE";
  o.pages = 4;
  o.seconds = 75;
  o.bps = 14400;
  o.sendFile = testing::WriteLetter(dir.path(), "letter", {1, 8, false, false}).string();
  o.finished = 1765200000;
  const fs::path first = WriteTransmissionReport(o, "FAX00012", dir.path());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(testing::ReadFile(first).rfind("%PDF", 0), 0u);
  const std::string text = PdfText(first);
  for (const char* fact : {"Transmission Report", "ACME REMOTE", "555 0100", "14400 bit/s", "1:15", "Sent"})
    EXPECT_NE(text.find(fact), std::string::npos) << fact << "\n" << text;

  o.finished += 60;
  o.resultText = "Called fax number was busy";
  o.sendFile = (dir.path() / "gone.apf").string();  // no page to show: the facts still go out
  const fs::path second = WriteTransmissionReport(o, "FAX00012", dir.path());
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(LastTransmissionReport("FAX00012", dir.path()), second);
  EXPECT_EQ(LastTransmissionReport("FAX00013", dir.path()), fs::path());
  for (const auto& e : fs::directory_iterator(dir.path())) EXPECT_NE(e.path().extension(), ".part");

  // A fax deleted takes its reports along, and only its own.
  const fs::path other = WriteTransmissionReport(o, "FAX000120", dir.path());
  ASSERT_FALSE(other.empty());
  RemoveTransmissionReports("FAX00012", dir.path());
  EXPECT_FALSE(fs::exists(first));
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(LastTransmissionReport("FAX00012", dir.path()), fs::path());
}

}  // namespace
}  // namespace ql
