// The send component and the fax history: defaults, the port checks at start, the
// port settings a link gives, the status display and log links, and the history lines.

#include <gtest/gtest.h>

#include "app/settings/settings.h"
#include "fax_engine/components/fax_log.h"
#include "fax_engine/components/fax_status.h"
#include "fax_engine/components/send_fax.h"
#include "fax_engine/session/date_time.h"
#include "platform/message_windows/message_window.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/error_text.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

class CountingStatus : public TAbstractFaxStatus {
 public:
  CountingStatus() { CreateDisplayNow(); }
  ~CountingStatus() override { DestroyDisplayNow(); }
  void UpdateDisplay(bool first, bool last) override {
    ++updates;
    firsts += first;
    lasts += last;
  }
  int updates = 0, firsts = 0, lasts = 0;
  int applied = -1;

 protected:
  void CreateDisplay() override {}
  void DestroyDisplay() override {}
  int DisplayPosition() const override { return 3; }
  void ApplyPosition(int p) override { applied = p; }
};

TEST(SendFax, DefaultsOfEveryProperty) {
  InstallHeadlessMessagePump();
  TSendFax fax;
  EXPECT_EQ(fax.FaxClass(), fcDetect);
  EXPECT_EQ(fax.StatusInterval(), 1);
  EXPECT_EQ(fax.DesiredBPS(), 9600);
  EXPECT_FALSE(fax.DesiredECM());
  EXPECT_EQ(fax.FaxFileExt(), "APF");
  EXPECT_FALSE(fax.AbortNoConnect());
  EXPECT_FALSE(fax.ExitOnError());
  EXPECT_FALSE(fax.SoftwareFlow());
  EXPECT_EQ(fax.InitBaud(), 0);
  EXPECT_FALSE(fax.BlindDial());
  EXPECT_TRUE(fax.DetectBusy());
  EXPECT_TRUE(fax.ToneDial());
  EXPECT_EQ(fax.DialWait(), 60);
  EXPECT_EQ(fax.DialAttempts(), 3);
  EXPECT_EQ(fax.DialRetryWait(), 60);
  EXPECT_EQ(fax.MaxSendCount(), 50);
  EXPECT_EQ(fax.BufferMinimum(), 1000);
  EXPECT_EQ(fax.DialAttempt(), 1);
  EXPECT_EQ(fax.CoverFile(), "");
  EXPECT_EQ(fax.PhoneNumber(), "");
  EXPECT_EQ(fax.SessionLogName(), "");
  EXPECT_EQ(fax.FakeProperty, 1);
  EXPECT_EQ(MessageWindowClass(0), "");
  // Seconds are kept as ticks: a value can come back a little different.
  fax.SetDialRetryWait(7);
  EXPECT_EQ(fax.DialRetryWait(), 7);
  fax.SetDialWait(1);
  EXPECT_EQ(fax.DialWait(), 1);
  fax.SetModemInit("e0v1");
  EXPECT_EQ(fax.ModemInit(), "ATE0V1");
  fax.SetStationID("123456789012345678901234");
  EXPECT_EQ(fax.StationID().size(), 20u);
  EXPECT_EQ(TCustomAbstractFax::StatusText(2), "Dialing");
}

TEST(SendFax, PortChecksBeforeStarting) {
  InstallHeadlessMessagePump();
  TSendFax fax;
  try {
    fax.StartTransmit();
    FAIL() << "no port";
  } catch (const EPortNotAssigned& e) {
    EXPECT_EQ(e.ErrorCode(), ecPortNotAssigned);
  }
  TComPort port;
  fax.SetComPort(&port);
  // Linking gives the port what a fax modem needs.
  EXPECT_EQ(port.Baud(), 19200);
  EXPECT_EQ(port.InSize(), 8192);
  EXPECT_EQ(port.OutSize(), 8192);
  EXPECT_EQ(port.DataBits(), 8);
  EXPECT_EQ(port.Parity(), pNone);
  EXPECT_EQ(port.HWFlowOptions(), (THWFlowOptions{hwfUseRTS, hwfRequireCTS}));
  port.SetOutSize(4096);
  try {
    fax.StartTransmit();
    FAIL() << "small output buffer";
  } catch (const EOutputBufferTooSmall& e) {
    EXPECT_EQ(e.ErrorCode(), ecOutputBufferTooSmall);
  }
  EXPECT_EQ(fax.FaxProgress(), 0);
}

TEST(SendFax, StatusDisplayAndLogLinkBothWays) {
  InstallHeadlessMessagePump();
  auto fax = std::make_unique<TSendFax>();
  CountingStatus status;
  EXPECT_EQ(status.Position(), 3);  // read back from the display
  status.SetPosition(5);
  EXPECT_EQ(status.applied, 5);
  TFaxLog log;
  status.SetFax(fax.get());
  fax->SetFaxLog(&log);
  EXPECT_EQ(fax->StatusDisplay(), &status);
  EXPECT_EQ(log.Fax(), fax.get());
  // A status message from the session reaches the display, first and last marked.
  fax->WindowProc(0x7EA2, 1, 0);
  fax->WindowProc(0x7EA2, 0, 0);
  fax->WindowProc(0x7EA2, 2, 0);
  EXPECT_EQ(status.updates, 3);
  EXPECT_EQ(status.firsts, 1);
  EXPECT_EQ(status.lasts, 1);
  // A component that goes away leaves no link behind.
  fax.reset();
  EXPECT_EQ(status.Fax(), nullptr);
  EXPECT_EQ(log.Fax(), nullptr);
}

TEST(SendFax, NextFaxFromTheHandlerOrOncePerStart) {
  InstallHeadlessMessagePump();
  TSendFax fax;
  fax.SetPhoneNumber("123");
  fax.SetFaxFile("A.APF");
  EXPECT_EQ(fax.WindowProc(0x7EA1, 0, 0), 1);
  EXPECT_EQ(fax.WindowProc(0x7EA1, 0, 0), 0);  // one fax per start
  int asked = 0;
  fax.OnFaxNext = [&](TCustomAbstractFax&, std::string& number, std::string& file, std::string& cover) {
    ++asked;
    if (asked > 1) return;
    number = "456";
    file = "B.APF";
    cover = "C.TXT";
  };
  EXPECT_EQ(fax.WindowProc(0x7EA1, 0, 0), 1);
  EXPECT_EQ(fax.PhoneNumber(), "456");
  EXPECT_EQ(fax.FaxFile(), "B.APF");
  EXPECT_EQ(fax.CoverFile(), "C.TXT");
  EXPECT_EQ(fax.WindowProc(0x7EA1, 0, 0), 0);  // an empty number ends the run
}

TEST(FaxLog, WritesTheHistoryLinesOfASendComponent) {
  InstallHeadlessMessagePump();
  testing::TempDir dir;
  TSendFax fax;
  TFaxLog log;
  fax.SetFaxLog(&log);
  fax.SetPhoneNumber("555 0100");
  fax.SetFaxFile("LETTER.APF");
  const std::time_t now = 1700000000;
  const std::string at = ShortDateText(now) + " " + TimeText(now);
  EXPECT_EQ(log.LinesFor(lfaxTransmitStart, now), "Transmit LETTER.APF to 555 0100 started at " + at + "\r\n");
  EXPECT_EQ(log.LinesFor(lfaxTransmitOk, now), "Transmit to  finished OK at " + at + " 0\r\n\r\n");
  EXPECT_EQ(log.LinesFor(lfaxTransmitFail, now), "Transmit failed at " + at + "\r\n  (" + ErrorText(0) + ") 0\r\n\r\n");
  EXPECT_EQ(log.LinesFor(lfaxReceiveOk, now), "");  // receive lines are for receive components

  // A missing history file is made at the first event; lines are appended.
  const auto history = dir / "FAXLOG.HIS";
  log.SetFaxHistoryName(history.string());
  fax.WindowProc(0x7EA3, lfaxTransmitStart, 0);
  fax.WindowProc(0x7EA3, lfaxTransmitFail, 0);
  const std::string text = testing::ReadFile(history);
  EXPECT_EQ(text.rfind("Transmit LETTER.APF to 555 0100 started at ", 0), 0u);
  EXPECT_NE(text.find("\r\nTransmit failed at "), std::string::npos);
  // With no name nothing is written; a name that cannot be written raises.
  log.SetFaxHistoryName("");
  EXPECT_NO_THROW(log.UpdateLog(lfaxTransmitStart));
  log.SetFaxHistoryName((dir / "missing" / "FAXLOG.HIS").string());
  EXPECT_THROW(log.UpdateLog(lfaxTransmitStart), EInOutError);
}

}  // namespace
}  // namespace ql
