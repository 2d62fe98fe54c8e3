// The receive machine against scripted modems, for what the virtual line cannot be made
// to do: a page with broken rows answered RTN, training checks of given content, the DCS
// of every V.17 fallback rate, rings to answer on, voice and data calls, Class 2 pages
// reported bad and post-page codes out of range, and hostile modems (garbage, data
// without end, data that stops, frames of wrong lengths, a far ID of slashes and dots).

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <thread>

#include "fax_document/apf/apf_file.h"
#include "fax_document/reference/libtiff_codec.h"
#include "fax_engine/receive/page_data_taker.h"
#include "fax_engine/tests/interop/receive_call.h"
#include "fax_engine/tests/scripted_modem.h"
#include "serial/errors/error_codes.h"
#include "tests/support/temp_dir.h"

namespace ql::testing {
namespace {

using Reply = ModemReply;
const auto L = ScriptedFaxModem::Line;
const auto Frame = ScriptedFaxModem::Frame;

constexpr uint8_t kTsi = 0x43, kDcs = 0x83, kMps = 0x4F, kEop = 0x2F, kDcn = 0xFB;

// A page of `rows` rows: a black bar moving across, different on every row.
reference::Raster TestPage(int rows, int seed) {
  reference::Raster page(static_cast<size_t>(rows), std::vector<uint8_t>(216));
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < 24; ++x) page[static_cast<size_t>(y)][static_cast<size_t>((y * 3 + seed + x) % 216)] = 0xF0;
  return page;
}
std::string T4(const reference::Raster& page) {
  std::vector<uint8_t> t4;
  reference::EncodeG3(page, 1728, t4);
  return std::string(t4.begin(), t4.end());
}
// The page with every other row's codes spoilt.
std::string Spoilt(std::string t4) {
  for (size_t i = 40; i + 40 < t4.size(); i += 13) t4[i] = static_cast<char>(0xFF);
  return t4;
}
std::string DcsFif(uint8_t rateBits, bool fine) {
  return std::string{'\x00', static_cast<char>(0x02 | rateBits | (fine ? 0x40 : 0)), '\x78', '\x00'};
}
std::string IdFif(const std::string& id) {
  std::string fif(id.rbegin(), id.rend());
  fif.resize(20, ' ');
  return fif;
}

// A far sender behind a Class 1 modem: TSI and DCS, the training check, the pages, MPS
// or EOP after each, DCN at the end. It trains again after FTT or RTN.
struct Class1Sender {
  std::string id = "SCRIPTED SENDER";
  std::vector<uint8_t> dcsRates = {0x20};  // the rate bits of each DCS in turn
  bool fine = false;
  std::vector<std::string> trainings;      // TCF content in turn (default: zeros)
  std::vector<std::string> pages;
  int spoiltSendings = 0;                  // first sendings of page 1 spoilt
  std::string tsiFif;                      // instead of the ID frame's own

  std::vector<std::string> frames;         // what the program sent each time (its FCF)
  std::vector<std::string> receiveCommands;
  std::vector<std::string> toSend;         // frame replies for the next +FRH=3
  size_t dcs = 0, training = 0, page = 0;
  bool pageNext = false;

  void QueueDcs() {
    toSend.push_back(L("CONNECT") + Frame(kTsi, tsiFif.empty() ? IdFif(id) : tsiFif, false) + L("OK"));
    toSend.push_back(L("CONNECT") + Frame(kDcs, DcsFif(dcsRates[std::min(dcs, dcsRates.size() - 1)], fine), true) +
                     L("OK"));
    ++dcs;
  }
  Reply Command(const std::string& c) {
    if (c == "ATA" || c == "AT+FTH=3") return {L("CONNECT"), true};
    if (c == "AT+FRH=3") {
      if (toSend.empty()) return {};
      std::string next = toSend.front();
      toSend.erase(toSend.begin());
      return {next};
    }
    if (c == "AT+FRM=?") return {L("24,48,72,73,74,96,97,98,121,122,145,146") + L("OK")};
    if (c.rfind("AT+FRM=", 0) == 0) {
      receiveCommands.push_back(c.substr(7));
      if (!pageNext) {
        const std::string tcf = training < trainings.size() ? trainings[training] : std::string(1500, '\0');
        ++training;
        return {L("CONNECT") + dle::Stuffed(tcf, true) + L("NO CARRIER")};
      }
      std::string data = pages.at(page);
      if (page == 0 && spoiltSendings > 0) {
        --spoiltSendings;
        data = Spoilt(data);
      }
      toSend.push_back(L("CONNECT") + Frame(page + 1 < pages.size() ? kMps : kEop, "", true) + L("OK"));
      return {L("CONNECT") + dle::Stuffed(data, true) + L("NO CARRIER")};
    }
    return {L("OK")};
  }
  Reply Data(const std::string& frame, char) {
    const uint8_t fcf = frame.size() > 2 ? static_cast<uint8_t>(frame[2]) : 0;
    static const std::map<uint8_t, std::string> kNames = {{0x40, "CSI"}, {0x80, "DIS"}, {0x84, "CFR"},
                                                          {0x44, "FTT"}, {0x8C, "MCF"}, {0x4C, "RTN"}};
    frames.push_back(kNames.count(fcf) ? kNames.at(fcf) : "?");
    if (fcf == 0x40) return {L("CONNECT"), true};
    if (fcf == 0x80) {
      dis = frame;
      QueueDcs();
    } else if (fcf == 0x44) {
      QueueDcs();
    } else if (fcf == 0x84) {
      pageNext = true;
    } else if (fcf == 0x4C) {
      pageNext = false;
      QueueDcs();
    } else if (fcf == 0x8C) {
      if (++page >= pages.size()) toSend.push_back(L("CONNECT") + Frame(kDcn, "", true) + L("OK"));
    }
    return {L("OK")};
  }
  std::string dis;
};

class ScriptedReceive : public ::testing::Test {
 protected:
  template <typename Script>
  void Start(Script& script, TFaxClass faxClass = fcClass1) {
    modem = std::make_unique<ScriptedFaxModem>([&script](const std::string& c) { return script.Command(c); },
                                               [&script](const std::string& d, char e) { return script.Data(d, e); });
    call = std::make_unique<ReceiveCall>(modem->Path(), dir / "in", dir / "FAXLOG.HIS");
    call->fax.SetFaxClass(faxClass);
    call->fax.SetDesiredBPS(14400);
    call->fax.SetSessionLogName((dir / "session.log").string());
    call->fax.SetOneFax(true);
    call->fax.SetExitOnError(true);
  }
  // Rings (`rings` times, a second apart) once the modem waits, until the run ends.
  ReceiveRun RunWithRings(int rings = 1, double seconds = 60) {
    int rung = 0;
    auto next = std::chrono::steady_clock::now();
    return call->Run(seconds, {}, [&] {
      if (rung < rings && call->fax.FaxProgress() == 20 && std::chrono::steady_clock::now() >= next) {
        modem->Push(L("RING"));
        ++rung;
        next = std::chrono::steady_clock::now() + std::chrono::seconds(1);
      }
    });
  }
  std::vector<std::string> Commands() const { return modem->Commands(); }
  // A look at the script's record, while it does not answer.
  template <typename F>
  auto Script(F f) {
    decltype(f()) copy;
    modem->Locked([&] { copy = f(); });
    return copy;
  }
  bool Sent(const std::string& command) const {
    const auto c = Commands();
    return std::find(c.begin(), c.end(), command) != c.end();
  }
  std::string Trace() const { return "\n--- session log\n" + ReadFile(dir / "session.log"); }
  // The pages of a received file, decoded with libtiff for the rows expected.
  std::vector<reference::Raster> Kept(const std::string& file, int rows) {
    ApfReader reader;
    std::vector<reference::Raster> pages;
    if (reader.Open(file) != 0) return pages;
    for (unsigned p = 1; p <= reader.PageCount(); ++p) {
      ApfPageHeader header;
      reader.LocatePage(p, header);
      std::vector<uint8_t> data(header.DataLength);
      reader.ReadBlock(data.data(), data.size());
      reference::Raster page;
      reference::DecodeG3(data, 1728, rows, page);
      pages.push_back(page);
    }
    return pages;
  }

  // A script lives as long as the test, past the modem thread that runs it.
  template <typename Script>
  Script& Make() {
    auto script = std::make_shared<Script>();
    scripts_.push_back(script);
    return *script;
  }

  TempDir dir;
  std::vector<std::shared_ptr<void>> scripts_;
  std::unique_ptr<ScriptedFaxModem> modem;
  std::unique_ptr<ReceiveCall> call;
};

TEST_F(ScriptedReceive, TwoPagesAreKeptAsSentAndTheRunEndsAfterOneFax) {
  auto& far = Make<Class1Sender>();
  far.pages = {T4(TestPage(60, 1)), T4(TestPage(60, 2))};
  Start(far);
  const ReceiveRun r = RunWithRings();
  ASSERT_TRUE(r.finished) << Trace();
  EXPECT_EQ(r.finishCode, 0) << Trace();
  EXPECT_TRUE(r.portReleased);
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveStart, lfaxReceiveOk}));
  ASSERT_EQ(r.kept.size(), 1u);
  EXPECT_EQ(r.kept[0], (dir / "in" / "FAX0001.APF").string());
  EXPECT_EQ(r.remoteIds[0], "SCRIPTED SENDER");
  const auto kept = Kept(r.kept[0], 60);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0], TestPage(60, 1));
  EXPECT_EQ(kept[1], TestPage(60, 2));
  EXPECT_EQ(Script([&] { return far.frames; }), (std::vector<std::string>{"CSI", "DIS", "CFR", "MCF", "MCF"}));
  // A V.17 sender's training check is long, its page data short-trained.
  EXPECT_EQ(Script([&] { return far.receiveCommands; }), (std::vector<std::string>{"145", "146", "146"}));
  // Our DIS offers V.17 and everything below it.
  const std::string dis = Script([&] { return far.dis; });
  ASSERT_GE(dis.size(), 5u);
  EXPECT_EQ(static_cast<uint8_t>(dis[4]) & 0x3C, 0x2C);
}

// The DCS of each rate a V.17 sender falls back through names its own modulation.
TEST_F(ScriptedReceive, EachDcsRateStartsThePageReceiverWithItsOwnCode) {
  auto& far = Make<Class1Sender>();
  far.pages = {T4(TestPage(20, 3))};
  far.dcsRates = {0x28, 0x24, 0x2C, 0x04, 0x0C};
  far.trainings = {std::string(10, '\x55'), std::string(10, '\x55'), std::string(10, '\x55'), std::string(10, '\x55')};
  Start(far);
  const ReceiveRun r = RunWithRings();
  ASSERT_EQ(r.finishCode, 0) << Trace();
  EXPECT_EQ(Script([&] { return far.receiveCommands; }), (std::vector<std::string>{"121", "97", "73", "96", "72", "72"}));
  EXPECT_EQ(Script([&] { return far.frames; }), (std::vector<std::string>{"CSI", "DIS", "FTT", "FTT", "FTT", "FTT", "CFR", "MCF"}));
  EXPECT_EQ(call->fax.SessionBPS(), 7200);
}

TEST_F(ScriptedReceive, TrainingWithATenthNotZeroIsRefused) {
  auto& far = Make<Class1Sender>();
  far.pages = {T4(TestPage(20, 4))};
  far.dcsRates = {0x20, 0x28};
  std::string ten(100, '\0'), five(100, '\0');
  for (int i = 0; i < 10; ++i) ten[static_cast<size_t>(i * 10)] = '\x01';
  for (int i = 0; i < 5; ++i) five[static_cast<size_t>(i * 20)] = '\x01';
  far.trainings = {ten, five};
  Start(far);
  const ReceiveRun r = RunWithRings();
  ASSERT_EQ(r.finishCode, 0) << Trace();
  EXPECT_EQ(Script([&] { return far.frames; }), (std::vector<std::string>{"CSI", "DIS", "FTT", "CFR", "MCF"}));
  EXPECT_EQ(call->fax.SessionBPS(), 12000);
}

TEST_F(ScriptedReceive, APageWithBrokenRowsIsAnsweredRtnAndTakenAgainInItsPlace) {
  auto& far = Make<Class1Sender>();
  far.pages = {T4(TestPage(80, 5)), T4(TestPage(80, 6))};
  far.spoiltSendings = 1;
  Start(far);
  const ReceiveRun r = RunWithRings();
  ASSERT_EQ(r.finishCode, 0) << Trace();
  EXPECT_EQ(Script([&] { return far.frames; }), (std::vector<std::string>{"CSI", "DIS", "CFR", "RTN", "CFR", "MCF", "MCF"}));
  const auto kept = Kept(r.kept.at(0), 80);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0], TestPage(80, 5));
  EXPECT_EQ(kept[1], TestPage(80, 6));
}

TEST_F(ScriptedReceive, AnswersOnTheRingAskedFor) {
  auto& far = Make<Class1Sender>();
  far.pages = {T4(TestPage(10, 7))};
  Start(far);
  call->fax.SetAnswerOnRing(2);
  const ReceiveRun r = RunWithRings(2);
  ASSERT_EQ(r.finishCode, 0) << Trace();
  const std::string log = ReadFile(dir / "session.log");
  EXPECT_LT(log.find("ring 2 of 2"), log.find("-> ATA")) << log;
  EXPECT_NE(log.find("ring 1 of 2"), std::string::npos);
}

// ConstantStatus opens the status display when the run starts and closes it when the
// run ends; without it the display opens at the answer and closes after the call.
TEST_F(ScriptedReceive, TheStatusDisplayOpensPerRunOrPerCall) {
  for (const bool constant : {true, false}) {
    auto& far = Make<Class1Sender>();
    far.pages = {T4(TestPage(10, 13))};
    Start(far);
    call->fax.SetOneFax(false);
    call->fax.SetConstantStatus(constant);
    std::vector<bool> firsts;  // whether the ring had come
    std::vector<int> lasts;
    bool rung = false;
    call->fax.OnFaxStatus = [&](TCustomAbstractFax& f, bool first, bool last) {
      if (first) firsts.push_back(rung);
      if (last) lasts.push_back(f.FaxProgress());
    };
    const ReceiveRun r = call->Run(
        60, [&](const ReceiveRun& run) { return !run.kept.empty() && call->fax.FaxProgress() == 20; },
        [&] {
          if (!rung && call->fax.FaxProgress() == 20) {
            rung = true;
            modem->Push(L("RING"));
          }
        });
    ASSERT_EQ(r.kept.size(), 1u) << Trace();
    ASSERT_EQ(firsts.size(), 1u) << constant;
    EXPECT_EQ(firsts[0], !constant) << constant;
    // Closed once: at the end of the run (cancelled), or after the call.
    ASSERT_EQ(lasts.size(), 1u) << constant;
    EXPECT_EQ(lasts[0], constant ? 42 : 28) << constant;
    call.reset();
    modem.reset();
  }
}

struct Refusing {
  std::string answer;  // to ATA
  Reply Command(const std::string& c) {
    if (c == "ATA") return {L(answer)};
    return {L("OK")};
  }
  Reply Data(const std::string&, char) { return {L("OK")}; }
};

TEST_F(ScriptedReceive, AVoiceCallEndsWith8075) {
  auto& modemScript = Make<Refusing>();
  modemScript.answer = "VOICE";
  Start(modemScript);
  const ReceiveRun r = RunWithRings();
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.finishCode, ecFaxVoiceCall) << Trace();
  EXPECT_TRUE(r.logs.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir / "in"));
}

TEST_F(ScriptedReceive, ADataCallTheModemAnsweredEndsWith8076) {
  auto& modemScript = Make<Refusing>();
  modemScript.answer = "OK";
  Start(modemScript);
  call->fax.SetAnswerOnRing(2);
  bool done = false;
  const ReceiveRun r = call->Run(30, {}, [&] {
    if (!done && call->fax.FaxProgress() == 20) {
      done = true;
      modem->Push(L("RING") + L("CONNECT 9600"));
    }
  });
  EXPECT_EQ(r.finishCode, ecFaxDataCall) << Trace();
  EXPECT_TRUE(std::filesystem::is_empty(dir / "in"));
}

// A Class 2 modem's far sender: pages reported by +FPTS in turn, post-page codes given.
struct Class2Sender {
  std::vector<std::string> pages;
  std::vector<int> statuses;  // per page sending
  std::vector<char> postPage;  // +FET digit per page sending
  size_t sending = 0, page = 0;
  Reply Command(const std::string& c) {
    if (c == "ATA") return {L("+FCON") + L("+FTSI:\"CLASS2 SENDER\"") + L("+FDCS:0,5,0,2,0,0,0,0") + L("OK")};
    if (c.find("AT+FDR") != std::string::npos) {
      if (page >= pages.size()) return {L("+FHNG:0") + L("OK")};
      std::string data;
      for (char b : pages[page]) data += static_cast<char>(kReversedBits[static_cast<uint8_t>(b)]);
      const int status = sending < statuses.size() ? statuses[sending] : 1;
      const char post = sending < postPage.size() ? postPage[sending] : (page + 1 < pages.size() ? '0' : '2');
      ++sending;
      if (status == 1) ++page;
      return {L("CONNECT") + dle::Stuffed(data, true) + L("+FPTS:" + std::to_string(status)) +
              L(std::string("+FET:") + post) + L("OK")};
    }
    return {L("OK")};
  }
  Reply Data(const std::string&, char) { return {L("OK")}; }
};

TEST_F(ScriptedReceive, Class2PagesReportedBadAreTakenAgainAndOddPostPageCodesKeepTheFileWhole) {
  auto& far = Make<Class2Sender>();
  far.pages = {T4(TestPage(40, 8)), T4(TestPage(40, 9)), T4(TestPage(40, 10))};
  far.statuses = {2, 1, 1, 1};
  far.postPage = {'0', '0', '7', '2'};  // 7 is no post-page code
  Start(far, fcClass2);
  const ReceiveRun r = RunWithRings();
  ASSERT_EQ(r.finishCode, 0) << Trace();
  const auto kept = Kept(r.kept.at(0), 40);
  ASSERT_EQ(kept.size(), 3u) << Trace();
  EXPECT_EQ(kept[0], TestPage(40, 8));
  EXPECT_EQ(kept[1], TestPage(40, 9));
  EXPECT_EQ(kept[2], TestPage(40, 10));
  EXPECT_EQ(r.remoteIds.at(0), "CLASS2 SENDER");
  EXPECT_NE(ReadFile(dir / "session.log").find("page 1 reported bad: received again"), std::string::npos);
}

// ---- hostile modems ----

TEST_F(ScriptedReceive, AModemThatAnswersGarbageEndsWithAnError) {
  struct Garbage {
    std::mt19937 random{7};
    Reply Command(const std::string&) {
      std::string noise;
      for (int i = 0; i < 200; ++i) noise += static_cast<char>(random() % 256);
      return {noise + "\r\n" + noise.substr(0, 50) + "\r\n"};
    }
    Reply Data(const std::string&, char) { return {}; }
  };
  auto& garbage = Make<Garbage>();
  Start(garbage);
  const ReceiveRun r = RunWithRings(1, 60);
  ASSERT_TRUE(r.finished);
  EXPECT_LT(r.finishCode, 0);
  EXPECT_TRUE(r.portReleased);
}

TEST_F(ScriptedReceive, PageDataThatStopsWithoutItsEndFailsTheCallAndLeavesNoPage) {
  struct Stopping : Class1Sender {
    Reply Command(const std::string& c) {
      if (pageNext && c.rfind("AT+FRM=", 0) == 0) return {L("CONNECT") + std::string(3000, '\x55')};
      return Class1Sender::Command(c);
    }
  };
  auto& stopping = Make<Stopping>();
  Start(stopping);
  const ReceiveRun r = RunWithRings(1, 60);
  EXPECT_EQ(r.finishCode, ecTimeout) << Trace();
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveStart, lfaxReceiveFail}));
  ASSERT_EQ(r.failedPageCounts.size(), 1u);
  EXPECT_EQ(r.failedPageCounts[0], 0);
}

TEST_F(ScriptedReceive, PageDataWithoutEndIsCutOff) {
  std::atomic<bool> go{false}, stop{false};
  struct Endless : Class1Sender {
    std::atomic<bool>* go = nullptr;
    Reply Command(const std::string& c) {
      if (pageNext && c.rfind("AT+FRM=", 0) == 0) {
        *go = true;
        return {L("CONNECT")};
      }
      return Class1Sender::Command(c);
    }
  };
  auto& endless = Make<Endless>();
  endless.go = &go;
  Start(endless);
  // Once the page starts, data without end.
  std::thread pusher([&] {
    const std::string block(4096, '\x55');
    while (!stop)
      if (!go || modem->PushSome(block) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  const ReceiveRun r = RunWithRings(1, 120);
  stop = true;
  pusher.join();
  EXPECT_EQ(r.finishCode, ecTimeout) << Trace();
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveStart, lfaxReceiveFail}));
}

TEST_F(ScriptedReceive, AFarIdOfSlashesAndDotsStaysAName) {
  auto& far = Make<Class1Sender>();
  far.pages = {T4(TestPage(10, 11))};
  far.tsiFif = IdFif("../../tmp//..\r\n/");
  Start(far);
  const ReceiveRun r = RunWithRings();
  ASSERT_EQ(r.finishCode, 0) << Trace();
  ASSERT_EQ(r.kept.size(), 1u);
  EXPECT_EQ(std::filesystem::path(r.kept[0]).parent_path(), dir / "in");
  // Control characters in a far ID are not carried into files and histories.
  EXPECT_EQ(r.remoteIds[0], "../../tmp//..?\?/");
  ApfFileHeader header;
  ASSERT_EQ(ReadApfFileHeader(r.kept[0], header), 0);
  EXPECT_EQ(header.SenderStation, "../../tmp//..?\?/");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "in"), {}), 1);
}

TEST_F(ScriptedReceive, FramesOfWrongLengthsAreReadSafely) {
  auto& far = Make<Class1Sender>();
  far.pages = {T4(TestPage(10, 12))};
  far.tsiFif = "A";  // an ID frame of one character
  // Before the TSI: a frame far longer than any frame, which is noise.
  far.toSend.push_back(L("CONNECT") + Frame(0x04, std::string(700, '\x21'), false) + L("OK"));
  Start(far);
  const ReceiveRun r = RunWithRings();
  ASSERT_EQ(r.finishCode, 0) << Trace();
  EXPECT_EQ(r.remoteIds.at(0), "A");
}

TEST_F(ScriptedReceive, CancelInAPageEndsTheRunAndNamesThePartialFile) {
  struct Slow : Class1Sender {
    Reply Command(const std::string& c) {
      if (pageNext && c.rfind("AT+FRM=", 0) == 0) return {L("CONNECT") + std::string(2000, '\x55')};
      return Class1Sender::Command(c);
    }
  };
  auto& slow = Make<Slow>();
  Start(slow);
  call->fax.SetExitOnError(false);
  bool rung = false, cancelled = false;
  const ReceiveRun r = call->Run(60, {}, [&] {
    if (!rung && call->fax.FaxProgress() == 20) {
      rung = true;
      modem->Push(L("RING"));
    }
    if (!cancelled && call->fax.BytesTransferred() >= 2000) {
      cancelled = true;
      call->fax.CancelFax();
    }
  });
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.finishCode, ecCancelRequested) << Trace();
  EXPECT_EQ(r.logs, (std::vector<TFaxLogCode>{lfaxReceiveStart, lfaxReceiveFail}));
  ASSERT_EQ(r.failedPageCounts.size(), 1u);
  EXPECT_EQ(r.failedPageCounts[0], 0);
  EXPECT_TRUE(r.portReleased);
}

}  // namespace
}  // namespace ql::testing
