// Class 2 and Class 2.0 modems: a program sends a page to a remote fax machine, and
// receives one from a remote, speaking +F commands on the modem's pty.

#include <gtest/gtest.h>
#include <tiffio.h>

#include "tools/qlvmodem/page_codec.h"
#include "tools/qlvmodem/remote_fax.h"
#include "tools/qlvmodem/tests/dte_link.h"
#include "tools/qlvmodem/tests/line_fixture.h"

namespace ql::vmodem::testing {
namespace {

uint8_t Reversed(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (b & (1 << i)) r |= static_cast<uint8_t>(0x80 >> i);
  return r;
}

// The rows of each page of a TIFF, read with libtiff.
std::vector<std::vector<std::vector<uint8_t>>> Pages(const std::filesystem::path& path) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  std::vector<std::vector<std::vector<uint8_t>>> pages;
  TIFF* in = TIFFOpen(path.c_str(), "r");
  if (in == nullptr) return pages;
  do {
    uint32_t length = 0;
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length);
    std::vector<std::vector<uint8_t>> rows;
    for (uint32_t y = 0; y < length; ++y) {
      std::vector<uint8_t> row(216);
      if (TIFFReadScanline(in, row.data(), y, 0) != 1) break;
      rows.push_back(row);
    }
    pages.push_back(rows);
  } while (TIFFReadDirectory(in) != 0);
  TIFFClose(in);
  return pages;
}

std::vector<std::vector<uint8_t>> Rows(const std::filesystem::path& path) {
  auto pages = Pages(path);
  return pages.empty() ? std::vector<std::vector<uint8_t>>{} : pages.front();
}

// Decodes one-dimensional page data (first bit in the least significant position) with
// libtiff's Group 3 decoder, by wrapping it in a TIFF.
std::vector<std::vector<uint8_t>> DecodedRows(const std::string& code, const std::filesystem::path& scratch) {
  TIFF* out = TIFFOpen(scratch.c_str(), "w");
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, 1728);
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, 60);
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
  TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, 0);
  TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, 60);
  TIFFWriteRawStrip(out, 0, const_cast<char*>(code.data()), static_cast<tmsize_t>(code.size()));
  TIFFClose(out);
  return Rows(scratch);
}

class Class2 : public ::testing::Test {
 protected:
  ql::testing::TempDir dir_;
  RunningLine line_{{"--modem", "ttyFAX0=100:1+2+2.0", "--remote", "200:FAR MACHINE", "--ring-period", "1"},
                    dir_.path()};
  DteLink dte_{dir_ / "ttyFAX0"};

  // A page of the test document as the program sends it after CONNECT: T.4 code with
  // the first bit in the least significant position (as in every class when sending),
  // DLE doubled, closed by DLE and `end`.
  std::string PageData(char end, int page = 1) {
    if (!std::filesystem::exists(dir_ / "pages.tif")) WriteTestTiff(dir_ / "pages.tif", 60, 196, 2);
    std::string data;
    for (char b : EncodePage(dir_ / "pages.tif", page)) {
      data += b;
      if (b == '\x10') data += b;
    }
    return data + '\x10' + end;
  }
  // The rows of a page the modem gave the program: its data up to DLE ETX, DLE
  // doubled, in the bit order of the class.
  std::vector<std::vector<uint8_t>> ReceivedRows(const std::string& data, bool reversed) {
    const size_t end = data.find("\x10\x03");
    std::string code;
    for (size_t i = 0; i < end && i < data.size(); ++i) {
      if (data[i] == '\x10' && i + 1 < end && data[i + 1] == '\x10') ++i;
      code += reversed ? static_cast<char>(Reversed(static_cast<uint8_t>(data[i]))) : data[i];
    }
    return DecodedRows(code, dir_ / "check.tif");
  }
  std::string Received() {
    EXPECT_TRUE(line_.WaitFor("received 200", "OK 1 sessions", 10));
    return line_.Control("received 200");
  }
};

TEST_F(Class2, ClaimedClassesAreListedAndSelected) {
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=?"));
  EXPECT_EQ(dte_.Last(), "\r\n0,1,2,2.0\r\n\r\nOK\r\n");
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2.0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS?"));
  EXPECT_NE(dte_.Last().find("2.0"), std::string::npos);
  ASSERT_TRUE(dte_.Ok("AT+FLI=\"MY ID\""));
  ASSERT_TRUE(dte_.Ok("AT+FLI?"));
  EXPECT_NE(dte_.Last().find("\"MY ID\""), std::string::npos);
  dte_.Command("AT+FNOSUCH=1");
  EXPECT_TRUE(dte_.Expect("ERROR\r\n"));
}

// A Class 2 program sends two pages; the far machine rejects the first (the modem spoils
// it on the way, so the rejection is the far machine's own answer), the program sends it
// again, and each page's +FPTS is the far machine's verdict on that page.
TEST_F(Class2, ProgramSendsPagesAndHearsEachPagesVerdict) {
  ASSERT_EQ(line_.Control("fault 100 rtn"), "OK\n");
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2"));
  ASSERT_TRUE(dte_.Ok("AT+FLID=\"QUILLET TEST\""));
  ASSERT_TRUE(dte_.Ok("AT+FDIS=1,5,0,2,0,0,0,0"));
  dte_.Command("ATDT200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FCON"), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FCSI:\"FAR MACHINE\""), std::string::npos) << dte_.Last();
  // The far machine's own capabilities: it can also take two-dimensional pages.
  EXPECT_NE(dte_.Last().find("+FDIS:1,5,0,2,1,0,0,0"), std::string::npos) << dte_.Last();

  auto sendPage = [&](int page, const char* fet) {
    dte_.Command("AT+FDT");
    if (!dte_.Expect("CONNECT\r\n", 15)) return "no CONNECT: " + dte_.Last();
    if (!dte_.Expect("\x11", 5)) return std::string("no XON");
    dte_.Send(PageData('\x03', page));
    if (!dte_.Expect("OK\r\n", 30)) return "page not taken: " + dte_.Last();
    dte_.Command(fet);
    if (!dte_.Expect("OK\r\n", 30)) return "no answer to " + std::string(fet) + ": " + dte_.Last();
    return dte_.Last();
  };
  std::string verdict = sendPage(1, "AT+FET=0");
  EXPECT_NE(verdict.find("+FPTS:2"), std::string::npos) << verdict;  // RTN
  verdict = sendPage(1, "AT+FET=0");
  EXPECT_NE(verdict.find("+FPTS:1"), std::string::npos) << verdict;
  verdict = sendPage(2, "AT+FET=2");
  EXPECT_NE(verdict.find("+FPTS:1"), std::string::npos) << verdict;
  EXPECT_NE(verdict.find("+FHNG:0"), std::string::npos) << verdict;

  std::string got = Received();
  EXPECT_EQ(RecordField(got, "remote_id"), "QUILLET TEST") << got;
  EXPECT_EQ(RecordField(got, "pages"), "2") << got;
  EXPECT_EQ(RecordField(got, "resolution"), "204x196") << got;
  EXPECT_EQ(RecordField(got, "result"), "0") << got;
  const std::string log = ql::testing::ReadFile(dir_ / "calls.log");
  for (const char* step : {"page 1 answered RTN", "page 1 answered MCF", "page 2 answered MCF", "hang-up code 0",
                           "received 2 page(s) from \"QUILLET TEST\" at 14400 bit/s, result 0 (OK)"})
    EXPECT_NE(log.find(step), std::string::npos) << step << " not in\n" << log;
  auto sent = Pages(dir_ / "pages.tif");
  auto received = Pages(RecordField(got, "tiff"));
  ASSERT_EQ(received.size(), 2u);
  EXPECT_TRUE(received[0] == sent[0]) << "page 1 arrived spoilt";
  EXPECT_TRUE(received[1] == sent[1]) << "page 2 arrived spoilt";
}

// The far machine's training check fails at 14400 bit/s: the modem tries the next rate
// down on its own and reports what was finally chosen.
TEST_F(Class2, FailedTrainingFallsBackToTheNextRate) {
  ASSERT_EQ(line_.Control("fault 200 train 14400"), "OK\n");
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2"));
  dte_.Command("ATD200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  dte_.Command("AT+FDT");
  ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 30)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FDCS:1,4,"), std::string::npos) << dte_.Last();
  dte_.Send(PageData('\x03'));
  ASSERT_TRUE(dte_.Expect("OK\r\n", 30)) << dte_.Last();
  dte_.Command("AT+FET=2");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 30)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FHNG:0"), std::string::npos) << dte_.Last();
  EXPECT_EQ(RecordField(Received(), "bit_rate"), "12000");
}

// The far machine breaks the call off after the parameters: the program hears how the
// session ended and the page command fails.
TEST_F(Class2, FarMachineThatDisconnectsEndsTheSessionWithAHangUpCode) {
  ASSERT_EQ(line_.Control("fault 200 dcn"), "OK\n");
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2"));
  dte_.Command("ATD200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  dte_.Command("AT+FDT");
  ASSERT_TRUE(dte_.Expect("ERROR\r\n", 40)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FHNG:"), std::string::npos) << dte_.Last();
  EXPECT_EQ(dte_.Last().find("+FHNG:0"), std::string::npos) << dte_.Last();
  EXPECT_EQ(dte_.Last().find("CONNECT"), std::string::npos) << dte_.Last();
}

// +FKS after the far machine's capabilities: the modem says DCN and hangs up, and the
// far machine records a call that ended without a page.
TEST_F(Class2, ProgramEndsTheSessionWithFks) {
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2"));
  dte_.Command("ATD200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  dte_.Command("AT+FKS");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 10)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FHNG:2"), std::string::npos) << dte_.Last();
  std::string got = Received();
  EXPECT_EQ(RecordField(got, "pages"), "0") << got;
  EXPECT_NE(RecordField(got, "result"), "0") << got;
  EXPECT_NE(RecordField(got, "result_text").find("DCN"), std::string::npos) << got;
  // The modem is ready for the next call at once.
  dte_.Command("ATD200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FDIS:"), std::string::npos) << dte_.Last();
  ASSERT_TRUE(dte_.Ok("AT+FKS", 10));
}

// A program that gives up after its only page was rejected and drops the line: the far
// machine had seen the last post-page command, but kept no page, so neither its record
// nor the call log may call the call OK.
TEST_F(Class2, CallWithoutAKeptPageIsNeverOk) {
  ASSERT_EQ(line_.Control("fault 100 rtn"), "OK\n");
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2"));
  dte_.Command("ATD200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  dte_.Command("AT+FDT");
  ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 15)) << dte_.Last();
  dte_.Send(PageData('\x03'));
  ASSERT_TRUE(dte_.Expect("OK\r\n", 30)) << dte_.Last();
  dte_.Command("AT+FET=2");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 30)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FPTS:2"), std::string::npos) << dte_.Last();
  dte_.Close();  // DTR drops: the line is cleared without a word to the far machine
  std::string got = Received();
  EXPECT_EQ(RecordField(got, "pages"), "0") << got;
  EXPECT_NE(RecordField(got, "result"), "0") << got;
  EXPECT_NE(RecordField(got, "result_text"), "OK") << got;
  const std::string log = ql::testing::ReadFile(dir_ / "calls.log");
  EXPECT_NE(log.find("received 0 page(s)"), std::string::npos) << log;
  EXPECT_EQ(log.find("result 0 (OK)"), std::string::npos) << log;
  EXPECT_NE(log.find("session ended after 0 page(s) sent"), std::string::npos) << log;
}

TEST_F(Class2, RejectedPageIsSentAgainInClass20) {
  std::string page = PageData('.');
  ASSERT_EQ(line_.Control("fault 100 rtn"), "OK\n");
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2.0"));
  ASSERT_TRUE(dte_.Ok("AT+FLI=\"TWO POINT O\""));
  dte_.Command("ATD200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FCO\r\n"), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FIS:"), std::string::npos) << dte_.Last();
  dte_.Command("AT+FDT");
  ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 10)) << dte_.Last();
  dte_.Send(page);
  ASSERT_TRUE(dte_.Expect("ERROR\r\n", 10)) << dte_.Last();  // the first page is rejected
  ASSERT_TRUE(dte_.Ok("AT+FPS?"));
  EXPECT_NE(dte_.Last().find("+FPS:2"), std::string::npos) << dte_.Last();
  dte_.Command("AT+FDT");
  ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 10)) << dte_.Last();
  dte_.Send(page);
  ASSERT_TRUE(dte_.Expect("OK\r\n", 60)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FHS:0"), std::string::npos) << dte_.Last();
  std::string got = Received();
  EXPECT_NE(got.find("remote_id=TWO POINT O\n"), std::string::npos) << got;
  EXPECT_NE(got.find("pages=1\n"), std::string::npos) << got;
}

// A remote calls and sends two pages; the program answers and takes each page as it
// comes, in the bit order of its class, and the pages decode to what was sent.
class Class2Receiving : public Class2, public ::testing::WithParamInterface<const char*> {};

TEST_P(Class2Receiving, ProgramReceivesPagesFromACallingRemote) {
  const bool v20 = std::string(GetParam()) == "2.0";
  auto name = [&](const char* class2, const char* class20) { return std::string(v20 ? class20 : class2); };
  WriteTestTiff(dir_ / "pages.tif", 60, 196, 2);
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok(std::string("AT+FCLASS=") + GetParam()));
  ASSERT_TRUE(dte_.Ok(name("AT+FCR=1", "AT+FCR=1")));
  ASSERT_TRUE(dte_.Ok(name("AT+FLID=\"RECEIVER\"", "AT+FLI=\"RECEIVER\"")));
  ASSERT_EQ(line_.Control("send 100 " + (dir_ / "pages.tif").string() + " SENDER").rfind("OK", 0), 0u);
  ASSERT_TRUE(dte_.Expect("RING\r\n", 10));
  dte_.Command("ATA");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 30)) << dte_.Last();
  EXPECT_NE(dte_.Last().find(name("+FCON\r\n", "+FCO\r\n")), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find(name("+FTSI:\"SENDER\"", "+FTI:\"SENDER\"")), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find(name("+FDCS:1,5,", "+FCS:1,5,")), std::string::npos) << dte_.Last();

  auto sent = Pages(dir_ / "pages.tif");
  ASSERT_EQ(sent.size(), 2u);
  for (int page = 1; page <= 2; ++page) {
    dte_.Command("AT+FDR");
    ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 30)) << page << ": " << dte_.Last();
    dte_.Send("\x12");
    ASSERT_TRUE(dte_.Expect("\r\nOK\r\n", 30)) << page;
    std::string data = dte_.Last();
    size_t end = data.find("\x10\x03");
    ASSERT_NE(end, std::string::npos);
    EXPECT_NE(data.find(name("+FPTS:1", "+FPS:1"), end), std::string::npos) << page;
    EXPECT_NE(data.find(page == 1 ? "+FET:0" : "+FET:2", end), std::string::npos) << page;
    auto received = ReceivedRows(data, !v20);
    EXPECT_TRUE(received == sent[static_cast<size_t>(page - 1)]) << "page " << page << ": " << received.size() << " rows decoded";
  }
  dte_.Command("AT+FDR");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  EXPECT_NE(dte_.Last().find(name("+FHNG:0", "+FHS:0")), std::string::npos) << dte_.Last();
}

INSTANTIATE_TEST_SUITE_P(Classes, Class2Receiving, ::testing::Values("2", "2.0"),
                         [](const auto& test) { return std::string(test.param) == "2" ? "Class2" : "Class20"; });

// With the page-rejection fault the first received page arrives spoilt: the modem's copy
// check reports +FPTS:2, +FDR answers it with RTN, and the sender trains again and sends
// the page once more.
TEST_F(Class2, SpoiltReceivedPageIsRejectedAndComesAgain) {
  WriteTestTiff(dir_ / "page.tif");
  ASSERT_EQ(line_.Control("fault 100 rtn"), "OK\n");
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2"));
  ASSERT_EQ(line_.Control("send 100 " + (dir_ / "page.tif").string() + " SENDER").rfind("OK", 0), 0u);
  ASSERT_TRUE(dte_.Expect("RING\r\n", 10));
  dte_.Command("ATA");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 30)) << dte_.Last();
  for (const char* status : {"+FPTS:2", "+FPTS:1"}) {
    dte_.Command("AT+FDR");
    ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 30)) << status << ": " << dte_.Last();
    dte_.Send("\x12");
    ASSERT_TRUE(dte_.Expect("\r\nOK\r\n", 30)) << status;
    EXPECT_NE(dte_.Last().find(status), std::string::npos) << dte_.Last().substr(dte_.Last().find("\x10\x03"));
    EXPECT_NE(dte_.Last().find("+FET:2"), std::string::npos);
    const bool intact = ReceivedRows(dte_.Last(), true) == Rows(dir_ / "page.tif");
    EXPECT_EQ(intact, std::string(status) == "+FPTS:1") << status;
  }
  dte_.Command("AT+FDR");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FHNG:0"), std::string::npos) << dte_.Last();
}

}  // namespace
}  // namespace ql::vmodem::testing
