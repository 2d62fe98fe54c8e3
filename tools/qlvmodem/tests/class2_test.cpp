// Class 2 and Class 2.0 modems: a program sends a page to a remote fax machine, and
// receives one from a remote, speaking +F commands on the modem's pty.

#include <gtest/gtest.h>
#include <tiffio.h>

#include "tools/qlvmodem/page_codec.h"
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

// The rows of a TIFF page, read with libtiff.
std::vector<std::vector<uint8_t>> Rows(const std::filesystem::path& path) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  std::vector<std::vector<uint8_t>> rows;
  TIFF* in = TIFFOpen(path.c_str(), "r");
  if (in == nullptr) return rows;
  uint32_t length = 0;
  TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length);
  for (uint32_t y = 0; y < length; ++y) {
    std::vector<uint8_t> row(216);
    if (TIFFReadScanline(in, row.data(), y, 0) != 1) break;
    rows.push_back(row);
  }
  TIFFClose(in);
  return rows;
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
  RunningLine line_{{"--modem", "ttyFAX0=100:1+2+2.0", "--remote", "200:FAR MACHINE", "--ring-period", "1", "--trace"},
                    dir_.path()};
  DteLink dte_{dir_ / "ttyFAX0"};

  // The test page as the program sends it after CONNECT: T.4 code in the bit order of
  // the class, DLE doubled, closed by DLE and `end`.
  std::string PageData(bool reversed, char end) {
    WriteTestTiff(dir_ / "page.tif");
    std::string data;
    for (char c : EncodePage(dir_ / "page.tif", 1)) {
      char b = reversed ? static_cast<char>(Reversed(static_cast<uint8_t>(c))) : c;
      data += b;
      if (b == '\x10') data += b;
    }
    return data + '\x10' + end;
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

TEST_F(Class2, ProgramSendsAPageToTheRemote) {
  std::string page = PageData(true, '\x03');
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2"));
  ASSERT_TRUE(dte_.Ok("AT+FLID=\"QUILLET TEST\""));
  ASSERT_TRUE(dte_.Ok("AT+FDIS=1,5,0,2,0,0,0,0"));
  dte_.Command("ATDT200");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FCON"), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FCSI:\"FAR MACHINE\""), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FDIS:"), std::string::npos) << dte_.Last();
  dte_.Command("AT+FDT");
  ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 10)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FDCS:1,5,"), std::string::npos) << dte_.Last();
  ASSERT_TRUE(dte_.Expect("\x11", 5));  // XON: send now
  dte_.Send(page);
  ASSERT_TRUE(dte_.Expect("OK\r\n", 10));
  dte_.Command("AT+FET=2");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 60)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FPTS:1"), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FHNG:0"), std::string::npos) << dte_.Last();

  std::string got = Received();
  EXPECT_NE(got.find("remote_id=QUILLET TEST\n"), std::string::npos) << got;
  EXPECT_NE(got.find("pages=1\n"), std::string::npos) << got;
  EXPECT_NE(got.find("resolution=204x196\n"), std::string::npos) << got;
  EXPECT_NE(got.find("result=0\n"), std::string::npos) << got;
}

TEST_F(Class2, RejectedPageIsSentAgainInClass20) {
  std::string page = PageData(false, '.');
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

TEST_F(Class2, ProgramReceivesAPageFromACallingRemote) {
  WriteTestTiff(dir_ / "page.tif");
  ASSERT_TRUE(dte_.Ok("ATE0"));
  ASSERT_TRUE(dte_.Ok("AT+FCLASS=2.0"));
  ASSERT_TRUE(dte_.Ok("AT+FCR=1"));
  ASSERT_TRUE(dte_.Ok("AT+FLI=\"RECEIVER\""));
  ASSERT_EQ(line_.Control("send 100 " + (dir_ / "page.tif").string() + " SENDER").rfind("OK", 0), 0u);
  ASSERT_TRUE(dte_.Expect("RING\r\n", 10));
  dte_.Command("ATA");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 30)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FCO\r\n"), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FTI:\"SENDER\""), std::string::npos) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FCS:1,5,"), std::string::npos) << dte_.Last();
  dte_.Command("AT+FDR");
  ASSERT_TRUE(dte_.Expect("CONNECT\r\n", 30)) << dte_.Last();
  dte_.Send("\x12");
  ASSERT_TRUE(dte_.Expect("\r\nOK\r\n", 10));
  std::string page = dte_.Last();
  size_t end = page.find("\x10\x03");
  ASSERT_NE(end, std::string::npos);
  EXPECT_NE(page.find("+FPS:1"), std::string::npos);
  EXPECT_NE(page.find("+FET:2"), std::string::npos);
  std::string code;
  for (size_t i = 0; i < end; ++i) {
    if (page[i] == '\x10' && i + 1 < end && page[i + 1] == '\x10') ++i;
    code += page[i];
  }
  auto sent = Rows(dir_ / "page.tif");
  auto received = DecodedRows(code, dir_ / "check.tif");
  ASSERT_EQ(sent.size(), 60u);
  EXPECT_TRUE(received == sent) << received.size() << " rows decoded";
  dte_.Command("AT+FDR");
  ASSERT_TRUE(dte_.Expect("OK\r\n", 20)) << dte_.Last();
  EXPECT_NE(dte_.Last().find("+FHS:0"), std::string::npos) << dte_.Last();
}

}  // namespace
}  // namespace ql::vmodem::testing
