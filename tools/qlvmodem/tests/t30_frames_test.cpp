// The T.30 frames a Class 2/2.0 modem codes and reads: checked against frames a
// far machine really sent and accepted on this line.

#include <gtest/gtest.h>

#include "tools/qlvmodem/t30_frames.h"

namespace ql::vmodem {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

TEST(T30Frames, FarMachinesDisReadsAsItsClassTwoCapabilities) {
  // A remote's DIS as it went over the line: V.27ter/V.29/V.17, fine, two-dimensional,
  // 215 mm, unlimited length, no minimum scan time (and more bytes this modem ignores).
  const std::string dis = Bytes({0xFF, 0x13, 0x80, 0x00, 0xEE, 0xF8, 0x80, 0x80, 0x91, 0x80, 0x80, 0x80, 0x18});
  auto offered = ParseDis(dis);
  ASSERT_TRUE(offered.has_value());
  EXPECT_EQ(offered->Text(), "1,5,0,2,1,0,0,0");

  SessionParameters v29Only;
  v29Only.br = 3;
  v29Only.vr = 0;
  v29Only.ln = 1;
  v29Only.st = 7;
  EXPECT_EQ(ParseDis(MakeFrame(fcf::kDis, DisFif(v29Only), true))->Text(), "0,3,0,1,0,0,0,7");
  EXPECT_FALSE(ParseDis(Bytes({0xFF, 0x13})).has_value());
}

TEST(T30Frames, DcsCodesEachRateTheWayReceiversExpect) {
  SessionParameters p;  // fine, 14400, 215 mm, unlimited, one-dimensional, 0 ms
  p.st = 0;
  EXPECT_EQ(DcsFif(p), Bytes({0x00, 0x62, 0x78}));  // the DCS a remote accepted
  const int rateBits[] = {0x00, 0x08, 0x0C, 0x04, 0x28, 0x20};  // 12000 is V.17's 0x28
  for (int br = 0; br <= 5; ++br) {
    p.br = br;
    EXPECT_EQ(static_cast<uint8_t>(DcsFif(p)[1]) & 0x3C, rateBits[br]) << br;
    auto chosen = ParseDcs(MakeFrame(fcf::kDcs | 1, DcsFif(p), true));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->br, br);
  }
  // Width, length, resolution and the scan time of fine rows come back as they went.
  for (int st : {0, 1, 3, 5, 7}) {
    SessionParameters q;
    q.vr = 1;
    q.wd = 1;
    q.ln = 1;
    q.st = st;
    EXPECT_EQ(ParseDcs(MakeFrame(fcf::kDcs, DcsFif(q), true))->Text(), q.Text());
  }
  EXPECT_FALSE(ParseDcs(MakeFrame(fcf::kDcs, Bytes({0x00, 0x12, 0x00}), true)).has_value()) << "no such rate";
  // A far sender that falls back within V.17 is heard with V.17, not V.29.
  const std::string v17At9600 = MakeFrame(fcf::kDcs | 1, Bytes({0x00, 0x26, 0x00}), true);
  EXPECT_EQ(ParseDcs(v17At9600)->br, 3);
  EXPECT_EQ(DcsModulation(v17At9600)->trainingCode, 97);
  EXPECT_EQ(DcsModulation(v17At9600)->pageCode, 98);
  EXPECT_EQ(DcsModulation(MakeFrame(fcf::kDcs | 1, DcsFif(p), true))->pageCode, ModulationOf(p.br).pageCode);
}

TEST(T30Frames, SessionParametersParseAndAgree) {
  SessionParameters p;
  EXPECT_TRUE(p.Parse("0,3"));
  EXPECT_EQ(p.Text(), "0,3,0,2,0,0,0,0");  // fields not given keep their values
  EXPECT_FALSE(p.Parse("1,9,0,2,0,0,0,0"));
  EXPECT_FALSE(p.Parse("x"));
  EXPECT_EQ(p.Text(), "0,3,0,2,0,0,0,0");

  SessionParameters mine, far;
  mine.Parse("1,5,0,2,1,0,0,1");  // 5 ms rows
  far.Parse("0,3,0,1,1,0,0,4");   // 20 ms normal rows: the longer time wins
  EXPECT_EQ(mine.Common(far).Text(), "0,3,0,1,1,0,0,4");
}

TEST(T30Frames, StationIdsGoLastCharacterFirst) {
  EXPECT_EQ(IdFif("TEST"), "TSET" + std::string(16, ' '));
  EXPECT_EQ(IdFif(std::string(25, 'X')).size(), 20u);
  EXPECT_EQ(IdFromFrame(MakeFrame(fcf::kTsi, IdFif("+49 30 1234"), false)), "+49 30 1234");
  // Machines that put the spaces first are read the same.
  EXPECT_EQ(IdFromFrame(MakeFrame(fcf::kCsi, std::string(16, ' ') + "TSET", false)), "TEST");
  EXPECT_EQ(IdFromFrame(MakeFrame(fcf::kCsi, std::string(20, ' '), false)), "");
}

}  // namespace
}  // namespace ql::vmodem
