// Class 1 frames: what the engine makes of frames that real peers sent through the
// virtual line (the spandsp remote fax machine, efax waiting on a virtual modem), and
// the frames the engine sends.

#include <gtest/gtest.h>

#include "fax_engine/class1/dis_dcs.h"
#include "fax_engine/class1/fcf.h"
#include "fax_engine/class1/frames.h"
#include "fax_engine/class1/speed_choice.h"
#include "fax_engine/class1/training.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/speed_tables.h"
#include "fax_engine/session/status_texts.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

// Frames as the modems handed them over (with their two check bytes).
// The spandsp remote "ACME REMOTE": CSI, padding after the reversed characters, and a
// DIS offering V.17, fine, 2-D, 1728 pels only, no minimum scan time.
const std::string kSpandspCsi =
    Bytes({0xFF, 0x03, 0x40}) + "ETOMER EMCA" + std::string(9, ' ') + Bytes({0xD0, 0x6D});
const std::string kSpandspDis =
    Bytes({0xFF, 0x13, 0x80, 0x00, 0xEE, 0xF8, 0x80, 0x80, 0x91, 0x80, 0x80, 0x80, 0x18, 0x78, 0x57});
// efax with "-l EFAX REMOTE -c 1,5,1,2,0,0,0,0": a DIS of three FIF bytes taking 2048 pels.
const std::string kEfaxCsi = Bytes({0xFF, 0x03, 0x40}) + "ETOMER XAFE" + std::string(9, ' ') + Bytes({0xB3, 0xBD});
const std::string kEfaxDis = Bytes({0xFF, 0x13, 0x80, 0x00, 0x6E, 0x79, 0x44, 0x9F});
const std::string kEfaxCfr = Bytes({0xFF, 0x13, 0x84, 0xEA, 0x7D});

// A sending session on a modem that has every speed, with a page to send.
struct Sender : ::testing::Test {
  SendSession s;
  void SetUp() override {
    for (int i = 1; i <= 6; ++i) s.modem.localSpeeds[i] = true;
    s.modem.DesiredBPS = 14400;
    s.modem.pageResolution = '0';
  }
  class1::DecodeResult Decode(const std::string& frame) { return class1::DecodeFrame(s, frame); }
};

TEST_F(Sender, TakesTheIdOfEitherPaddingTrimmed) {
  Decode(kSpandspCsi);
  EXPECT_EQ(s.common.RemoteID(), "ACME REMOTE");
  EXPECT_EQ(s.common.FaxProgress, fpGotRemoteID);
  EXPECT_TRUE(s.modem.forceStatus);
  EXPECT_FALSE(s.modem.lastFrameFinal);
  Decode(kEfaxCsi);
  EXPECT_EQ(s.common.RemoteID(), "EFAX REMOTE");
  // Our own ID frames pad in front: read back, nothing but the ID is left.
  SetStationId(s, "ABC");
  const std::string fif = class1::IdFif(s.common.StationID);
  EXPECT_EQ(fif, std::string(17, ' ') + "CBA");
  Decode(Bytes({0xFF, 0x03, 0x43}) + fif + Bytes({0x12, 0x34}));
  EXPECT_EQ(s.common.RemoteID(), "ABC");
  // A short ID frame (wrong length) gives what it holds, its check bytes left out.
  Decode(Bytes({0xFF, 0x03, 0x40, 'Y', 'Z', 0x12, 0x34}));
  EXPECT_EQ(s.common.RemoteID(), "ZY");
  Decode(Bytes({0xFF, 0x03, 0x40, 0x12}));
  EXPECT_EQ(s.common.RemoteID(), "");
}

TEST_F(Sender, ChoosesTheRateFromRealDisFrames) {
  EXPECT_EQ(Decode(kSpandspDis).result, 0);
  EXPECT_TRUE(s.modem.lastFrameFinal);
  EXPECT_EQ(s.modem.SpeedIndex, 6);
  EXPECT_EQ(s.modem.sessionBps, 14400);
  EXPECT_TRUE(s.modem.remoteFine);
  EXPECT_FALSE(s.modem.remoteWide);
  EXPECT_EQ(s.modem.scanTimeCode, 0);
  EXPECT_EQ(s.modem.MinBytesPerLine, 0);
  EXPECT_EQ(s.common.FaxProgress, fpSessionParams);
  // V.17 machines offer 12000 as well: wanting 12000 gets it.
  s.modem.DesiredBPS = 12000;
  Decode(kSpandspDis);
  EXPECT_EQ(s.modem.sessionBps, 12000);
  s.modem.DesiredBPS = 4800;
  Decode(kEfaxDis);
  EXPECT_EQ(s.modem.sessionBps, 4800);
  EXPECT_TRUE(s.modem.remoteWide);
}

TEST_F(Sender, TheDisOfTheEdgeCaseGivesV29At9600AndItsDcs) {
  s.modem.DesiredBPS = 9600;
  Decode(Bytes({0xFF, 0x13, 0x80, 0x00, 0x4E, 0x00, 0x00}));
  EXPECT_EQ(s.modem.SpeedIndex, 4);
  EXPECT_EQ(s.modem.scanTimeCode, 5);  // 20 ms
  EXPECT_EQ(static_cast<uint8_t>(class1::DcsFif(4, false, false, 5)[1]), 0x06);
  EXPECT_EQ(static_cast<uint8_t>(class1::DcsFif(4, true, false, 5)[1]), 0x46);
  // 20 ms at 9600 bit/s is 24 bytes a line.
  EXPECT_EQ(s.modem.MinBytesPerLine, 24);
}

TEST_F(Sender, RefusesAPageTheFarMachineCannotTake) {
  s.modem.pageResolution = '1';
  EXPECT_EQ(Decode(Bytes({0xFF, 0x13, 0x80, 0x00, 0x0E, 0x70, 0x00})).result, ecFaxBadMachine);
  s.modem.pageResolution = '0';
  s.modem.pageHeader.PageFlags = PageWide;
  EXPECT_EQ(Decode(kSpandspDis).result, ecFaxBadMachine);
  EXPECT_EQ(Decode(kEfaxDis).result, 0);
}

TEST_F(Sender, ReadsTheAnswersThatSteerTheCall) {
  s.modem.gotCfr = false;
  EXPECT_EQ(Decode(kEfaxCfr).result, 0);
  EXPECT_TRUE(s.modem.gotCfr);
  EXPECT_TRUE(Decode(Bytes({0xFF, 0x13, 0x44})).retrain);  // FTT
  EXPECT_TRUE(Decode(Bytes({0xFF, 0x13, 0x4D})).retrain);  // RTN with the X bit
  EXPECT_FALSE(Decode(Bytes({0xFF, 0x13, 0x8C})).retrain);
  EXPECT_EQ(s.modem.lastFcf, 0x8C);
  EXPECT_EQ(Decode(Bytes({0xFF, 0x13, 0xFA})).result, ecCancelRequested);
  // Noise in front of the address is skipped; a frame too short to hold a control
  // field changes nothing.
  EXPECT_TRUE(Decode("\r\nOK" + Bytes({0xFF, 0x13, 0x44})).retrain);
  EXPECT_EQ(Decode(Bytes({0x12, 0xFF})).result, 0);
  EXPECT_EQ(Decode("").result, 0);
}

TEST(DcsCoding, RateBitsAreThoseOfT30) {
  // DIS: V.27ter, V.29, both, and V.17 with both (0x2C), never 0x14 or 0x24.
  const uint8_t dis[7] = {0, 0x00, 0x08, 0x0C, 0x0C, 0x2C, 0x2C};
  const uint8_t dcs[7] = {0, 0x00, 0x08, 0x0C, 0x04, 0x28, 0x20};
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(class1::DisRateBits(i), dis[i]) << i;
    EXPECT_EQ(class1::DcsRateBits(i), dcs[i]) << i;
  }
  EXPECT_EQ(class1::DcsFif(5, false, false, 0), Bytes({0x00, 0x2A, 0xF8, 0x00}));
  EXPECT_EQ(class1::DcsFif(6, true, true, 7), Bytes({0x00, 0x62, 0xC9, 0x00}));
  EXPECT_EQ(class1::DisFif(6), Bytes({0x00, 0x6E, 0xF9, 0x00}));
}

TEST(DcsCoding, ADcsNamesRateAndModemFamily) {
  struct Case {
    uint8_t bits;
    int speedIndex;
    bool v17;
    const char* modulation;
  };
  const Case cases[] = {{0x20, 6, true, "145"}, {0x28, 5, true, "121"}, {0x24, 4, true, "97"}, {0x2C, 3, true, "73"},
                        {0x04, 4, false, "96"}, {0x0C, 3, false, "72"}, {0x08, 2, false, "48"}, {0x00, 1, false, "24"}};
  for (const Case& c : cases) {
    const class1::DcsChoice d = class1::DecodeDcs(static_cast<uint8_t>(0x02 | c.bits), 0x00);
    EXPECT_EQ(d.speedIndex, c.speedIndex) << int(c.bits);
    EXPECT_EQ(d.v17, c.v17) << int(c.bits);
    EXPECT_EQ(class1::ModulationCodeFor(d.speedIndex, d.v17), c.modulation);
  }
  EXPECT_EQ(class1::ModulationCodeFor(6, true, true), "146");
  // A receiving session takes the sender's DCS as its own.
  ReceiveSession r;
  class1::DecodeFrame(r, Bytes({0xFF, 0x13, 0x83, 0x00, 0x66, 0x00, 0x00}));
  EXPECT_EQ(r.modem.sessionBps, 9600);
  EXPECT_TRUE(r.modem.v17);
  EXPECT_TRUE(r.modem.fine);
  EXPECT_EQ(r.modem.ModulationCode, "97");
}

TEST(DcsCoding, ScanTimeBitsRoundTrip) {
  for (int code = 0; code <= 7; ++code)
    for (bool fine : {false, true}) {
      // The DCS names the time used; read back, it is that time at that resolution.
      const int code2 = class1::ScanTimeCodeOf(class1::DcsScanBits(code, fine));
      EXPECT_EQ(MinimumScanTimeMs(code2, fine), MinimumScanTimeMs(code, fine)) << code << fine;
    }
  EXPECT_EQ(class1::ScanTimeCodeOf(0x70), 0);
  EXPECT_EQ(class1::ScanTimeCodeOf(0x30), 4);
}

TEST(Frames, AreStuffedAndClosed) {
  EXPECT_EQ(class1::FrameBytes(fcf::kMps, "", true), Bytes({0xFF, 0x13, 0x4F, 0x10, 0x03}));
  // A DLE in the information field is doubled, so it cannot end the frame.
  EXPECT_EQ(class1::FrameBytes(fcf::kTsi, "\x10", false), Bytes({0xFF, 0x03, 0x43, 0x10, 0x10, 0x10, 0x03}));
  EXPECT_EQ(class1::DescribeFrame(kSpandspDis), "DIS: V.17 14400, fine, 1728 pels, scan 0 ms");
  EXPECT_EQ(class1::DescribeFrame(kEfaxDis), "DIS: V.17 14400, fine, 1728 and 2048 pels, scan 0 ms");
  EXPECT_EQ(class1::DescribeFrame(Bytes({0xFF, 0x13, 0x83, 0x00, 0x06, 0x88, 0x00})),
            "DCS: V.29 9600, normal, 1728 pels, scan 20 ms");
  EXPECT_EQ(class1::DescribeFrame(kSpandspCsi), "CSI: \"ACME REMOTE\"");
  EXPECT_EQ(class1::DescribeFrame(Bytes({0xFF, 0x03, 0x43}) + class1::IdFif("+1 555 0100"), false),
            "TSI: \"+1 555 0100\"");
}

TEST_F(Sender, StepsDownThroughTheRatesBothSidesHave) {
  Decode(kSpandspDis);
  const int expected[] = {12000, 9600, 7200, 4800, 2400};
  for (int bps : expected) {
    ASSERT_TRUE(class1::StepDown(s));
    EXPECT_EQ(s.modem.sessionBps, bps);
  }
  EXPECT_FALSE(class1::StepDown(s));  // nothing below 2400
  // A modem without 7200 skips it.
  s.modem.localSpeeds[3] = false;
  s.modem.DesiredBPS = 9600;
  Decode(kSpandspDis);
  ASSERT_TRUE(class1::StepDown(s));
  EXPECT_EQ(s.modem.sessionBps, 4800);
}

TEST(Training, CheckAndScanLines) {
  EXPECT_EQ(class1::TrainingByteCount(14400), 2592);
  EXPECT_EQ(class1::TrainingByteCount(9600), 1728);
  EXPECT_TRUE(class1::TrainingIsGood(std::string(100, '\0')));
  EXPECT_TRUE(class1::TrainingIsGood(std::string(91, '\0') + std::string(9, 'x')));
  EXPECT_FALSE(class1::TrainingIsGood(std::string(90, '\0') + std::string(10, 'x')));
  EXPECT_FALSE(class1::TrainingIsGood(""));

  std::string out;
  EXPECT_EQ(class1::AppendScanLine(out, Bytes({0x00, 0x80, 0x10}), 6), 6u);
  EXPECT_EQ(out, Bytes({0x00, 0x80, 0x10, 0x10, 0x00, 0x00, 0x00}));  // DLE doubled, padded to 6
  out.clear();
  EXPECT_EQ(class1::AppendScanLine(out, Bytes({1, 2, 3}), 0), 3u);
  out.clear();
  class1::AppendWhiteLines(out, 2, Bytes({0x00, 0x80, 0xB2, 0x59, 0x01, 0x00}), 8);
  EXPECT_EQ(out.size(), 2u * (6 + 3));
  out.clear();
  class1::AppendWhiteLines(out, 1, Bytes({0x00, 0x80, 0xB2, 0x59, 0x01, 0x00}), 6);
  EXPECT_EQ(out.size(), 6u);
}

}  // namespace
}  // namespace ql
