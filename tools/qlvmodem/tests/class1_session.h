#pragma once
// The sending side of a Class 1 fax program, step by step, for tests that play the
// program against an answering remote: dialling, parameters, training check, page
// data, post-page commands, and the session record and TIFF the remote keeps.

#include <tiffio.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/qlvmodem/remote_fax.h"
#include "tools/qlvmodem/tests/class1_frames.h"
#include "tools/qlvmodem/tests/dte_link.h"

namespace ql::vmodem::testing {

// Control fields of the frames a sender meets, with the final-frame bit clear.
constexpr int kCfr = 0x84;
constexpr int kFtt = 0x44;
constexpr int kMcf = 0x8C;
constexpr int kRtn = 0x4C;
constexpr int kDis = 0x80;
constexpr int kDcsFcf = 0x82;
constexpr int kDcn = 0xFA;
// Commands as the calling sender writes them (the final-frame bit set).
constexpr int kMps = 0x4F;
constexpr int kEop = 0x2F;
constexpr int kEom = 0x8F;
constexpr int kDcnCommand = 0xFB;

// The signalling rate bits of a DCS (FIF byte 2, mask 0x3C) for the rates used here.
constexpr int kRateV29At9600 = 0x04;
constexpr int kRateV17At12000 = 0x28;

// DCS: receive, the given rate, standard resolution, 215 mm, no minimum scan time.
inline std::string Dcs(int rateBits) { return Frame({0xFF, 0x13, 0x83, 0x00, 0x02 | rateBits, 0xF8, 0x00}); }

// Frames sent in one +FTH=3 transmission, each closed by DLE ETX.
inline bool SendFrames(DteLink& dte, const std::vector<std::string>& frames) {
  dte.Command("AT+FTH=3");
  for (const std::string& frame : frames) {
    if (!dte.Expect("CONNECT\r\n", 10)) return false;
    dte.Send(frame + kEndOfFrame);
  }
  return dte.Expect("OK\r\n", 10);
}

// The control field of the next frame the far end sends (final bit clear), -1 if none.
inline int NextFcf(DteLink& dte) {
  dte.Command("AT+FRH=3");
  if (!dte.Expect("OK\r\n", 15)) return -1;
  int fcf = FirstFcf(dte.Last());
  return fcf < 0 ? -1 : fcf & 0xFE;
}

// Data with each DLE doubled, as it crosses the modem link.
inline std::string Stuffed(const std::string& data) {
  std::string out;
  for (char c : data) out += c == '\x10' ? std::string(2, c) : std::string(1, c);
  return out;
}
inline std::string Unstuffed(const std::string& data) {
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\x10' && i + 1 < data.size() && data[i + 1] == '\x10') ++i;
    out += data[i];
  }
  return out;
}

// Data sent with +FTM at the given modulation (96: V.29 9600 bit/s).
inline bool SendData(DteLink& dte, const std::string& data, int modulation = 96) {
  dte.Command("AT+FTM=" + std::to_string(modulation));
  if (!dte.Expect("CONNECT\r\n", 10)) return false;
  dte.Send(Stuffed(data) + kEndOfFrame);
  return dte.Expect("OK\r\n", 15);
}

// The training check (1.5 s of zeros at 9600 bit/s), then the remote's verdict.
inline int TrainAndHearVerdict(DteLink& dte, int modulation = 96) {
  const size_t bytes = static_cast<size_t>(modulation >= 145 ? 2700 : modulation >= 121 ? 2250 : 1800);
  if (!SendData(dte, std::string(bytes, '\0'), modulation)) return -1;
  return NextFcf(dte);
}

// A Class 1 program calls the answering remote 200 and sends its ID and `dcs`.
// "" or the failed step.
inline std::string DialAndSendParameters(DteLink& dte, const std::string& dcs = Dcs(kRateV29At9600)) {
  if (!dte.Ok("ATE0+FCLASS=1")) return "selecting class 1";
  dte.Command("ATD200");
  if (!dte.Expect("CONNECT\r\n", 20)) return "connecting";
  if (!dte.Expect("OK\r\n", 15)) return "the remote's ID";  // CSI (not final) ...
  if (NextFcf(dte) != kDis) return "the remote's capabilities";  // ... then DIS
  if (!SendFrames(dte, {IdFrame(0x43, false), dcs})) return "sending TSI and DCS";
  return "";
}

// The T.4 data of page `page` of a G3 TIFF (rows each led by an end-of-line code),
// closed by RTC.
inline std::string PageData(const std::filesystem::path& tiff, int page = 0) {
  TIFF* in = TIFFOpen(tiff.c_str(), "r");
  if (in == nullptr || !TIFFSetDirectory(in, static_cast<uint16_t>(page))) {
    if (in != nullptr) TIFFClose(in);
    return "";
  }
  std::string data(static_cast<size_t>(TIFFRawStripSize(in, 0)), '\0');
  tmsize_t got = TIFFReadRawStrip(in, 0, data.data(), static_cast<tmsize_t>(data.size()));
  TIFFClose(in);
  data.resize(got > 0 ? static_cast<size_t>(got) : 0);
  // Six end-of-line codes (eleven 0 bits, a 1), least significant bit first.
  std::string rtc(9, '\0');
  for (int eol = 1; eol <= 6; ++eol)
    rtc[static_cast<size_t>(eol * 12 - 1) / 8] |= static_cast<char>(1 << ((eol * 12 - 1) % 8));
  return data + rtc;
}

// The decoded rows of each page of a TIFF (empty when it cannot be read).
inline std::vector<std::vector<std::string>> PageRows(const std::filesystem::path& tiff) {
  std::vector<std::vector<std::string>> pages;
  TIFF* in = TIFFOpen(tiff.c_str(), "r");
  if (in == nullptr) return pages;
  do {
    uint32_t rows = 0;
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &rows);
    std::vector<std::string> page;
    std::string row(static_cast<size_t>(TIFFScanlineSize(in)), '\0');
    for (uint32_t y = 0; y < rows; ++y) {
      if (TIFFReadScanline(in, row.data(), y, 0) < 0) break;
      page.push_back(row);
    }
    pages.push_back(page);
  } while (TIFFReadDirectory(in));
  TIFFClose(in);
  return pages;
}

}  // namespace ql::vmodem::testing
