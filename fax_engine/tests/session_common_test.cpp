// What both directions of a session share: texts and tables, class detection answers,
// header tokens, Class 2 reports, options and the names of received files.

#include <gtest/gtest.h>

#include <fstream>

#include "fax_engine/session/class2_reports.h"
#include "fax_engine/session/command_table.h"
#include "fax_engine/session/header_expand.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/received_names.h"
#include "fax_engine/receive/receive_session.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/speed_tables.h"
#include "fax_engine/session/status_texts.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

TEST(StatusTexts, OnlyTheCodesOfTheTableHaveText) {
  EXPECT_EQ(StatusText(1), "Initializing modem for fax processing");
  EXPECT_EQ(StatusText(41), "Got called-station ID");
  EXPECT_EQ(StatusText(42), "User abort");
  for (int code : {0, -1, 8, 19, 29, 39, 43, 44, 1000}) EXPECT_EQ(StatusText(code), "") << code;
}

TEST(FaxClasses, FromTheAnswerToFclassQuery) {
  const TFaxClassSet all = ParseFaxClasses("0,1,2,2.0");
  EXPECT_EQ(all, FaxClassBit(fcClass1) | FaxClassBit(fcClass2) | FaxClassBit(fcClass2_0));
  EXPECT_EQ(ChooseFaxClass(all), fcClass2_0);
  EXPECT_EQ(ChooseFaxClass(ParseFaxClasses("0,1,2")), fcClass2);
  EXPECT_EQ(ChooseFaxClass(ParseFaxClasses("0,1")), fcClass1);
  EXPECT_EQ(ChooseFaxClass(ParseFaxClasses("0,1,1.0")), fcClass1);
  // Class 2.0 alone is not Class 2 as well.
  EXPECT_EQ(ParseFaxClasses("0,1,2.0"), FaxClassBit(fcClass1) | FaxClassBit(fcClass2_0));
  EXPECT_EQ(ParseFaxClasses("+FCLASS: 0,2"), FaxClassBit(fcClass2));
  EXPECT_EQ(ChooseFaxClass(ParseFaxClasses("0")), fcUnknown);
}

struct Header : ::testing::Test {
  SendSession s;
  std::string At(const std::string& text) { return ExpandHeaderAt(s, text, 0); }
};

TEST_F(Header, PageNumbersWithACover) {
  s.common.coverPages = 1;
  s.common.totalPages = 2;
  s.common.currentPage = 1;
  s.common.SendingCover = true;
  EXPECT_EQ(At("Page $P of $N"), "Page 1 of 3");
  s.common.SendingCover = false;
  EXPECT_EQ(At("Page $Page of $N"), "Page 2 of 3");
  s.common.currentPage = 2;
  EXPECT_EQ(At("Page $p of $n"), "Page 3 of 3");
  // A cover without a fax file is one page.
  s.common.totalPages = 0;
  s.common.currentPage = 1;
  s.common.SendingCover = true;
  EXPECT_EQ(At("$N"), "1");
}

TEST_F(Header, TokensAndWhatIsLeftOfUnknownOnes) {
  s.common.StationID = "QUILLET";
  s.common.HeaderSender = "Ann";
  s.common.HeaderRecipient = "Bob";
  s.common.HeaderTitle = "Offer";
  EXPECT_EQ(At("$I $F to $R about $S"), "QUILLET Ann to Bob about Offer");
  // A token ends with its name: what follows it stays.
  EXPECT_EQ(At("[$I]"), "[QUILLET]");
  EXPECT_EQ(At("Page $P of $N, Sent by $F"), "Page 0 of 0, Sent by Ann");
  EXPECT_EQ(At("$Iat"), "QUILLET");
  EXPECT_EQ(At("a $X b $"), "a  b ");
  EXPECT_EQ(At("price 5$"), "price 5");
  EXPECT_FALSE(At("$D").empty());
  EXPECT_FALSE(At("$T").empty());
}

TEST_F(Header, AValueWithADollarIsNotExpandedAgain) {
  s.common.HeaderTitle = "$S and $P";
  EXPECT_EQ(At("Re: $S"), "Re: $S and $P");
}

TEST(Options, ModemInitAndBaseInitStrings) {
  SendSession s;
  SetModemInit(s, "e0v1");
  EXPECT_EQ(s.modem.ModemInit, "ATE0V1");
  SetModemInit(s, "ATZ");
  EXPECT_EQ(s.modem.ModemInit, "ATZ");
  SetModemInit(s, "");
  EXPECT_EQ(s.modem.ModemInit, "");
  SetModemInit(s, std::string(60, 'x'));
  EXPECT_EQ(s.modem.ModemInit.size(), 40u);
  EXPECT_EQ(s.modem.baseInit, "ATE0Q0V1X4S0=0S2=43");
  SetBlindDial(s, true);
  EXPECT_EQ(s.modem.baseInit, "ATE0Q0V1X3S0=0S2=43");
  SetDetectBusy(s, false);
  EXPECT_EQ(s.modem.baseInit, "ATE0Q0V1X1S0=0S2=43");
  SetBlindDial(s, false);
  EXPECT_EQ(s.modem.baseInit, "ATE0Q0V1X2S0=0S2=43");
  SetStationId(s, "123456789012345678901234");
  EXPECT_EQ(s.common.StationID, "12345678901234567890");
}

TEST(Records, DefaultsOfBothDirections) {
  SendSession s;
  EXPECT_EQ(s.common.StatusInterval, 1);
  EXPECT_EQ(s.common.DialAttempts, 3);
  EXPECT_EQ(s.common.DialRetryWait, 1092);
  EXPECT_EQ(s.common.FaxClass, fcDetect);
  EXPECT_EQ(s.common.FaxFileExt, "APF");
  EXPECT_TRUE(s.common.IsSender);
  EXPECT_EQ(s.modem.ReplyWait, 182);
  EXPECT_EQ(s.modem.TransmitWait, 1092);
  EXPECT_EQ(s.modem.DialWait, 1092);
  EXPECT_EQ(s.modem.DesiredBPS, 9600);
  EXPECT_EQ(s.modem.DesiredECM, '0');
  EXPECT_TRUE(s.modem.ToneDial);
  EXPECT_TRUE(s.modem.DetectBusy);
  EXPECT_EQ(s.MaxSendCount, 50);
  EXPECT_EQ(s.BufferMinimum, 1000);
  EXPECT_EQ(s.maxRetransmissions, 2);
  ReceiveSession r;
  EXPECT_FALSE(r.common.IsSender);
  EXPECT_EQ(r.state, 1);
  EXPECT_EQ(r.modem.AnswerOnRing, 1);
}

TEST(Tables, SpeedsScanTimesAndClass2Commands) {
  EXPECT_EQ(Class2RateDigit(14400), '5');
  EXPECT_EQ(Class2RateDigit(12000), '4');
  EXPECT_EQ(Class2RateDigit(9600), '3');
  EXPECT_EQ(Class2RateDigit(9601), '3');
  EXPECT_EQ(Class2RateDigit(2400), '0');
  EXPECT_EQ(Class1ModulationCode(5), "121");
  EXPECT_EQ(MinBytesPerLineFor(7, true, 14400), 72);
  EXPECT_EQ(MinBytesPerLineFor(2, true, 9600), 6);
  EXPECT_EQ(MinBytesPerLineFor(0, false, 14400), 0);
  const CommandTable c2 = CommandTableFor(fcClass2), c20 = CommandTableFor(fcClass2_0);
  EXPECT_EQ(c2.selectClass, "AT+FCLASS=2");
  EXPECT_EQ(c2.localId, "AT+FLID");
  EXPECT_EQ(c2.pageStatus, "+FPTS");
  EXPECT_EQ(c2.hangUp, "FHNG");
  EXPECT_EQ(c20.selectClass, "AT+FCLASS=2.0");
  EXPECT_EQ(c20.sessionParameters, "AT+FIS");
  EXPECT_EQ(c20.connectReport, "+FCO");
  EXPECT_EQ(c20.hangUp, "FHS");
  EXPECT_TRUE(CommandTableFor(fcClass1).hangUp.empty());
}

TEST(Class2Reports, ParametersIdsAndHangUpCodes) {
  SendSession s;
  ApplyClass2Report(s, "+FDIS:1,5,0,2,1,0,0,3");
  EXPECT_TRUE(s.modem.remoteFine);
  EXPECT_FALSE(s.modem.remoteWide);
  EXPECT_EQ(s.modem.sessionBps, 14400);
  EXPECT_EQ(s.modem.scanTimeCode, 3);
  EXPECT_EQ(s.modem.MinBytesPerLine, 10 * 14400 / 8000);
  // A space after the colon (some modems write one) does not shift the fields.
  const Class2Parameters p = ParseClass2Parameters("+FCS: 0,3,1,2,0,1,0,0");
  EXPECT_FALSE(p.fine);
  EXPECT_EQ(p.bps, 9600);
  EXPECT_TRUE(p.wide);
  EXPECT_TRUE(p.ecm);
  EXPECT_EQ(ParseClass2Parameters("+FDCS:").bps, 2400);

  EXPECT_EQ(CleanStationId("+FCSI:\"ACME REMOTE\""), "ACME REMOTE");
  EXPECT_EQ(CleanStationId("+FCI: \"   +1 555 0100   \""), "+1 555 0100");
  EXPECT_EQ(CleanStationId("+FTSI:"), "");
  EXPECT_EQ(CleanStationId("+FCSI: \"ABCDEFGHIJKLMNOPQRSTUVWXYZ\"").size(), 20u);

  EXPECT_EQ(HangupCodeFrom("+FHNG:50", "FHNG"), 50);
  EXPECT_EQ(HangupCodeFrom("+FHS: 0", "FHS"), 0);
  EXPECT_EQ(HangupCodeFrom("+FHNG", "FHNG"), 0);
}

TEST(ReceivedNames, FirstFreeNameByMode) {
  testing::TempDir dir;
  const std::string folder = dir.path().string();
  EXPECT_EQ(ReceivedFileName(1, folder, "APF"), folder + "/FAX0001.APF");
  std::ofstream(dir / "FAX0001.APF") << "x";
  std::filesystem::create_directory(dir / "FAX0002.APF");  // a folder does not take the name
  EXPECT_EQ(ReceivedFileName(1, folder + "/", "APF"), folder + "/FAX0002.APF");
  std::tm tm{};
  tm.tm_year = 124;
  tm.tm_mon = 2;
  tm.tm_mday = 7;
  tm.tm_hour = 12;
  EXPECT_EQ(ReceivedFileName(2, "", "APF", std::mktime(&tm)), "03070001.APF");
  EXPECT_EQ(ReceivedFileName(3, folder, "APF"), "noname.apf");
}

TEST(ReceivedNames, AllTakenGivesNoname) {
  testing::TempDir dir;
  for (int n = 1; n <= 9999; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "FAX%04d.APF", n);
    std::ofstream(dir / name);
  }
  EXPECT_EQ(ReceivedFileName(1, dir.path().string(), "APF"), "NONAME.APF");
}

}  // namespace
}  // namespace ql
