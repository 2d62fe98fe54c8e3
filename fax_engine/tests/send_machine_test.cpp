// The send machine against scripted modems, for what the virtual line cannot be made to
// do: pages rejected again and again, Class 2.0 page ends, a far machine without fine
// resolution, pages of mixed resolution, a cover alone, the run options and one fax per
// start.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "fax_document/apf/apf_append.h"
#include "fax_engine/session/status_texts.h"
#include "fax_engine/tests/interop/fax_pages.h"
#include "fax_engine/tests/interop/send_call.h"
#include "fax_engine/tests/scripted_modem.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql::testing {
namespace {

using Reply = ModemReply;

// Page data without its fill: the zero bytes before an EOL that keep a modem from running
// dry depend on how full the buffer was, the rest is the page.
std::string WithoutFill(const std::string& data) {
  std::string out;
  for (char c : data)
    if (c != 0) out += c;
  return out;
}
const auto L = ScriptedFaxModem::Line;

std::string FrameFromModem(std::initializer_list<int> bytes) {
  std::string frame;
  for (int b : bytes) frame += static_cast<char>(b);
  return dle::Stuffed(frame + std::string("\x12\x34", 2), true);  // two check bytes, DLE ETX
}

// A Class 2 or 2.0 modem whose far machine answers each page with the next status of
// `statuses` (1 good, 2 rejected), and whose far machine has the given capabilities.
struct Class2Script {
  bool v20 = false;
  std::vector<int> statuses;
  std::string farCapabilities = "1,5,0,2,0,0,0,0";
  std::string dialResult;  // instead of the connect, a result such as "BUSY"
  int page = 0;

  Reply Command(const std::string& c) {
    if (c.rfind("ATD", 0) == 0) {
      if (!dialResult.empty()) return {L(dialResult)};
      return {L(v20 ? "+FCO" : "+FCON") + L(std::string(v20 ? "+FCI" : "+FCSI") + ":\"SCRIPTED FAR\"") +
              L(std::string(v20 ? "+FIS:" : "+FDIS:") + farCapabilities) + L("OK")};
    }
    if (c == "AT+FDT")
      return {L(std::string(v20 ? "+FCS:" : "+FDCS:") + "0,5,0,2,0,0,0,0") + L("CONNECT") + (v20 ? "" : "\x11"), true};
    if (c.rfind("AT+FET=", 0) == 0) {
      const std::string status = PageStatus();
      return {status + (c == "AT+FET=2" && Last() == 1 ? L("+FHNG:0") : "") + L("OK")};
    }
    if (c == "AT+FPS?") return {L("+FPS:" + std::to_string(Last())) + L("OK")};
    return {L("OK")};
  }
  Reply Data(const std::string&, char end) {
    if (!v20) return {L("OK")};
    ++page;
    const bool good = Status(page - 1) == 1;
    return {L(good ? (end == '.' ? "+FHS:0" : "") : "") + L(good ? "OK" : "ERROR")};
  }
  int Status(int n) const {
    return n >= 0 && n < static_cast<int>(statuses.size()) ? statuses[static_cast<size_t>(n)] : 1;
  }
  int Last() const { return Status(page - 1); }
  std::string PageStatus() {
    ++page;
    return L((v20 ? "+FPS:" : "+FPTS:") + std::to_string(Last()));
  }
};

class ScriptedSend : public ::testing::Test {
 protected:
  // The fixture keeps the script, so it outlives the modem that answers with it.
  template <typename Script>
  Script& Start(Script initial = {}) {
    auto owned = std::make_shared<Script>(std::move(initial));
    script_ = owned;
    Script& script = *owned;
    modem = std::make_unique<ScriptedFaxModem>([&script](const std::string& c) { return script.Command(c); },
                                               [&script](const std::string& d, char e) { return script.Data(d, e); });
    call = std::make_unique<SendCall>(modem->Path(), dir / "FAXLOG.HIS");
    call->fax.SetStationID("SCRIPTED");
    call->fax.SetHeaderLine("$P of $N");
    call->fax.SetSessionLogName((dir / "session.log").string());
    return script;
  }
  void Fax(TFaxClass faxClass, const std::filesystem::path& file, const std::string& cover = "") {
    call->fax.SetFaxClass(faxClass);
    call->fax.SetPhoneNumber("555");
    call->fax.SetFaxFile(file.string());
    call->fax.SetCoverFile(cover);
  }
  int CountCommands(const std::string& prefix) const {
    const auto commands = modem->Commands();
    return static_cast<int>(std::count_if(commands.begin(), commands.end(),
                                          [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
  }
  std::string Log() const { return ReadFile(dir / "session.log"); }

  TempDir dir;
  std::shared_ptr<void> script_;
  std::unique_ptr<ScriptedFaxModem> modem;
  std::unique_ptr<SendCall> call;
};

TEST_F(ScriptedSend, Class2PageRejectedTwiceIsSentThreeTimesFromItsStart) {
  Class2Script setup;
  setup.statuses = {2, 2, 1};
  Start(setup);
  Fax(fcClass2, WriteLetter(dir.path(), "one", {1, 3, false, false}));
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, 0) << Log();
  const auto blocks = modem->DataBlocks();
  ASSERT_EQ(blocks.size(), 3u) << Log();
  EXPECT_TRUE(WithoutFill(blocks[0]) == WithoutFill(blocks[1]));  // the same page, from its start, each time
  EXPECT_TRUE(WithoutFill(blocks[1]) == WithoutFill(blocks[2]));
  EXPECT_EQ(CountCommands("AT+FDT"), 3);
  EXPECT_EQ(CountCommands("AT+FKS"), 0);
}

TEST_F(ScriptedSend, Class2ThirdRejectionEndsTheFaxWithFks) {
  Class2Script setup;
  setup.statuses = {2, 2, 2};
  Start(setup);
  Fax(fcClass2, WriteLetter(dir.path(), "one", {1, 3, false, false}));
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, ecFaxSessionError);
  EXPECT_EQ(modem->DataBlocks().size(), 3u);
  EXPECT_EQ(CountCommands("AT+FKS"), 1);
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxTransmitStart, lfaxTransmitFail}));
}

TEST_F(ScriptedSend, Class20EndsPagesWithCommaAndTheLastWithAStop) {
  Class2Script setup;
  setup.v20 = true;
  setup.statuses = {1, 2, 1, 1};
  Start(setup);
  Fax(fcClass2_0, WriteLetter(dir.path(), "three", {3, 3, false, false}));
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, 0) << Log();
  // Page 2 was rejected: +FPS? answered "+FPS:2" before OK, and page 2 went again.
  EXPECT_EQ(modem->Ends(), ",,,.");
  const auto blocks = modem->DataBlocks();
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_TRUE(WithoutFill(blocks[1]) == WithoutFill(blocks[2]));
  EXPECT_EQ(CountCommands("AT+FPS?"), 1);
  EXPECT_EQ(call->fax.RemoteID(), "SCRIPTED FAR");
}

TEST_F(ScriptedSend, AFinePageToAFarMachineWithoutFineIsRefused) {
  Class2Script setup;
  setup.farCapabilities = "0,5,0,2,0,0,0,0";
  Start(setup);
  Fax(fcClass2, WriteLetter(dir.path(), "fine", {1, 3, true, false}));
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.finishCode, ecFaxBadMachine);
  EXPECT_TRUE(modem->DataBlocks().empty());
  EXPECT_TRUE(r.portReleased);
}

TEST_F(ScriptedSend, MixedResolutionsAreSentWithAWarningAtEachChange) {
  Start<Class2Script>();
  // Page 1 normal, page 2 fine, page 3 normal: two changes.
  const auto normal = WriteLetter(dir.path(), "normal", {1, 2, false, false});
  const auto fine = WriteLetter(dir.path(), "fine", {1, 2, true, false});
  const auto mixed = dir / "mixed.APF";
  std::filesystem::copy_file(normal, mixed);
  ASSERT_EQ(AppendApf(mixed, fine), 0);
  ASSERT_EQ(AppendApf(mixed, normal), 0);
  Fax(fcClass2, mixed);
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, 0) << Log();
  EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), ecFaxMixedResolution), 2);
  EXPECT_EQ(modem->DataBlocks().size(), 3u);
  EXPECT_EQ(r.logs.back(), lfaxTransmitOk);
}

TEST_F(ScriptedSend, ACoverAloneIsOnePage) {
  Start<Class2Script>();
  Fax(fcClass2, "", WriteText(dir.path(), "cover.txt", 3).string());
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, 0) << Log();
  EXPECT_EQ(modem->DataBlocks().size(), 1u);
  EXPECT_NE(Log().find("header line: 1 of 1"), std::string::npos) << Log();
  EXPECT_EQ(CountCommands("AT+FET=2"), 1);
}

TEST_F(ScriptedSend, WithoutOnFaxNextEachStartSendsTheFaxOnce) {
  Class2Script& script = Start<Class2Script>();
  Fax(fcClass2, WriteLetter(dir.path(), "one", {1, 2, false, false}));
  EXPECT_EQ(call->Run(60).finishCode, 0);
  modem->Locked([&] { script.page = 0; });
  EXPECT_EQ(call->Run(60).finishCode, 0);
  EXPECT_EQ(CountCommands("ATDT555"), 2) << Log();
  // A next fax without a number ends the run at once.
  call->fax.OnFaxNext = [](TCustomAbstractFax&, std::string& number, std::string& file, std::string&) {
    number.clear();
    file = "whatever.APF";
  };
  const RunResult r = call->Run(30);
  EXPECT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, 0);
  EXPECT_TRUE(r.logs.empty());
  EXPECT_EQ(CountCommands("ATDT555"), 2);
}

TEST_F(ScriptedSend, AbortNoConnectEndsTheRunAtABusyLine) {
  Class2Script setup;
  setup.dialResult = "BUSY";
  Start(setup);
  call->fax.SetFaxClass(fcClass2);
  call->fax.SetDialAttempts(1);
  call->fax.SetAbortNoConnect(true);
  const auto file = WriteLetter(dir.path(), "one", {1, 2, false, false});
  call->Series({{"555", file.string()}, {"556", file.string()}});
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.finishCode, ecFaxBusy);
  EXPECT_EQ(call->fax.FaxProgress(), fpCancel);
  EXPECT_EQ(CountCommands("ATDT556"), 0);  // the second fax is not tried
}

TEST_F(ScriptedSend, ExitOnErrorEndsTheRunAtTheFirstError) {
  Class2Script setup;
  setup.dialResult = "VOICE";
  Start(setup);
  call->fax.SetFaxClass(fcClass2);
  call->fax.SetExitOnError(true);
  const auto file = WriteLetter(dir.path(), "one", {1, 2, false, false});
  call->Series({{"555", file.string()}, {"556", file.string()}});
  const RunResult r = call->Run(60);
  EXPECT_EQ(r.finishCode, ecFaxVoiceCall);
  EXPECT_EQ(CountCommands("ATDT556"), 0);
}

TEST_F(ScriptedSend, ANamedFileThatIsNotAFaxFailsAndTheNextIsSent) {
  Start<Class2Script>();
  call->fax.SetFaxClass(fcClass2);
  WriteFile(dir / "note.txt", "not a fax");
  call->Series({{"555", (dir / "note.txt").string()},
                {"556", (dir / "missing.APF").string()},
                {"557", WriteLetter(dir.path(), "one", {1, 2, false, false}).string()}});
  const RunResult r = call->Run(60);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_NE(std::find(r.errors.begin(), r.errors.end(), ecFaxBadFormat), r.errors.end());
  EXPECT_NE(std::find(r.errors.begin(), r.errors.end(), ecFileNotFound), r.errors.end());
  EXPECT_EQ(r.logs.back(), lfaxTransmitOk);
  EXPECT_EQ(CountCommands("ATDT557"), 1);
}

// A Class 1 modem whose far machine answers every page with RTN (or MCF). It notes how
// long after each signal ended (its OK) the program started its own carrier.
struct Class1Script {
  using Clock = std::chrono::steady_clock;
  bool rejectPages = true;
  int refuseCarriers = 0;            // carrier commands answered OK instead of CONNECT
  std::vector<std::string> pending;  // frames the next +FRH=3 gives
  int pagesSent = 0;
  std::vector<std::string> dcs;      // the DCS frames we were sent
  Clock::time_point signalEnded{};   // the last OK that ended a signal
  std::vector<double> silencesMs;    // from that OK to the next +FTH or +FTM

  Reply Command(const std::string& c) {
    const bool carrier = c == "AT+FTH=3" || (c.rfind("AT+FTM=", 0) == 0 && c != "AT+FTM=?");
    if (carrier && signalEnded != Clock::time_point{})
      silencesMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - signalEnded).count());
    signalEnded = {};
    if (carrier && refuseCarriers > 0) {
      // Still ending the far signal, the modem takes the command as an interruption.
      --refuseCarriers;
      signalEnded = Clock::now();
      return {L("OK")};
    }
    Reply reply = Answer(c);
    if (c == "AT+FRH=3" || c.rfind("ATD", 0) == 0) signalEnded = Clock::now();
    return reply;
  }
  Reply Answer(const std::string& c) {
    if (c == "AT+FTM=?") return {L("24,48,72,73,74,96,97,98,121,122,145,146") + L("OK")};
    if (c.rfind("ATD", 0) == 0) {
      pending = {FrameFromModem({0xFF, 0x13, 0x80, 0x00, 0xEE, 0xF8, 0x80})};
      return {L("CONNECT") + FrameFromModem({0xFF, 0x03, 0x40, 'R', 'A', 'F'}) + L("OK")};
    }
    if (c == "AT+FRH=3") {
      if (pending.empty()) return {L("ERROR")};
      const std::string frame = pending.front();
      pending.erase(pending.begin());
      return {L("CONNECT") + frame + L("OK")};
    }
    if (c == "AT+FTH=3" || c.rfind("AT+FTM=", 0) == 0) return {L("CONNECT"), true};
    return {L("OK")};
  }
  Reply Data(const std::string& data, char) {
    if (data.size() >= 3 && static_cast<uint8_t>(data[0]) == 0xFF) {
      const uint8_t fcf = static_cast<uint8_t>(data[2]);
      if (fcf == 0x83) {
        dcs.push_back(data);
        pending = {FrameFromModem({0xFF, 0x13, 0x84})};  // CFR
      }
      if (fcf == 0x2F || fcf == 0x4F) pending = {FrameFromModem({0xFF, 0x13, rejectPages ? 0x4C : 0x8C})};  // RTN, MCF
      const bool final = (static_cast<uint8_t>(data[1]) & 0x10) != 0;
      if (final) signalEnded = Clock::now();
      return {L(final ? "OK" : "CONNECT"), !final};
    }
    if (data.size() > 4000) ++pagesSent;  // not the training check: the page
    signalEnded = Clock::now();           // the training check or the page carrier ended
    return {L("OK")};
  }
};

TEST_F(ScriptedSend, Class1PageRejectedBeyondTheMaximumEndsWith8079) {
  Class1Script& script = Start<Class1Script>();
  call->fax.SetDesiredBPS(14400);
  Fax(fcClass1, WriteLetter(dir.path(), "one", {1, 60, false, false}));
  const RunResult r = call->Run(90);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, ecFaxSessionError) << Log();
  // Sent three times, each after a new DCS at a lower rate.
  int pagesSent = 0;
  std::vector<std::string> dcs;
  modem->Locked([&] {
    pagesSent = script.pagesSent;
    dcs = script.dcs;
  });
  EXPECT_EQ(pagesSent, 3) << Log();
  ASSERT_EQ(dcs.size(), 3u);
  EXPECT_EQ(static_cast<uint8_t>(dcs[0][4]) & 0x3C, 0x20);  // 14400
  EXPECT_EQ(static_cast<uint8_t>(dcs[1][4]) & 0x3C, 0x28);  // 12000
  EXPECT_EQ(static_cast<uint8_t>(dcs[2][4]) & 0x3C, 0x04);  // 9600
  EXPECT_EQ(call->fax.RemoteID(), "FAR");
  const auto blocks = modem->DataBlocks();
  std::vector<std::string> pages;
  for (const auto& b : blocks)
    if (b.size() > 4000 && b.find_first_not_of('\0') != std::string::npos) pages.push_back(b);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_TRUE(WithoutFill(pages[0]) == WithoutFill(pages[2]));  // the whole page each time
}

// Between one signal and the next T.30 wants 75 ms of silence (20 ms either way): the
// sender keeps at least its lower bound, and does not leave the far machine waiting
// much longer before every frame and page. A carrier command the modem answers OK (it
// was still ending the far signal) goes again. The page starts with its rows at once:
// no run of fill bytes ahead of the header line.
TEST_F(ScriptedSend, Class1KeepsTheSilenceBetweenSignalsAndStartsPagesWithRows) {
  Class1Script accepting;
  accepting.rejectPages = false;
  accepting.refuseCarriers = 1;
  Class1Script& script = Start<Class1Script>(std::move(accepting));
  call->fax.SetDesiredBPS(14400);
  Fax(fcClass1, WriteLetter(dir.path(), "two", {2, 30, false, false}));
  const RunResult r = call->Run(90);
  ASSERT_TRUE(r.finished) << Log();
  EXPECT_EQ(r.finishCode, 0) << Log();
  std::vector<double> silences;
  modem->Locked([&] { silences = script.silencesMs; });
  // After DIS (twice), DCS, CFR, each page and each MCF.
  ASSERT_GE(silences.size(), 8u) << Log();
  for (double ms : silences) EXPECT_GE(ms, 55.0);
  std::sort(silences.begin(), silences.end());
  EXPECT_LT(silences[silences.size() / 2], 200.0);

  int pages = 0;
  for (const auto& b : modem->DataBlocks()) {
    if (b.size() <= 4000) continue;
    ++pages;
    size_t run = 0, longest = 0;
    for (size_t i = 0; i < 2000 && i < b.size(); ++i) {
      run = b[i] == 0 ? run + 1 : 0;
      longest = std::max(longest, run);
    }
    EXPECT_LT(longest, 16u) << "page " << pages;
  }
  EXPECT_EQ(pages, 2);
}

}  // namespace
}  // namespace ql::testing
