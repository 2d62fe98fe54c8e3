// The synchronous exchange with a modem, class detection and Class 1 capabilities, on a
// real port (a pseudo-terminal) with a scripted modem at its other end.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/session_records.h"
#include "platform/message_pump.h"
#include "serial/device/device_layer.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/testing/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace ql {
namespace {

// A modem that answers each command line it reads through `answer`.
class ScriptedModem {
 public:
  using Answer = std::function<std::string(const std::string& command)>;
  ScriptedModem(testing::PtyPair& pty, Answer answer) : pty_(pty), answer_(std::move(answer)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedModem() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    std::string line;
    while (!stop_) {
      const std::string got = pty_.Receive(1, 20);
      if (got.empty()) continue;
      if (got[0] != '\r') {
        line += got;
        continue;
      }
      pty_.Send(answer_(line));
      line.clear();
    }
  }
  testing::PtyPair& pty_;
  Answer answer_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct Exchange : ::testing::Test {
  testing::TempDir locks;
  testing::PtyPair pty;
  SendSession s;
  int port = 0;
  void SetUp() override {
    InstallTermiosLayer();
    SetLockDirectory(locks.path().string());
    ASSERT_EQ(OpenPort(port, pty.path(), 8192, 8192, 8, 1, 0, 19200), 0);
    pty.CloseSlave();
    s.common.portHandle = port;
    s.modem.ReplyWait = 9;  // half a second
  }
  void TearDown() override {
    ClosePort(port);
    SetLockDirectory("");
  }
};

TEST_F(Exchange, SkipsTheEchoAndTakesOkOrAnAnswerWithItsFinalResult) {
  ScriptedModem modem(pty, [](const std::string& c) {
    if (c == "ATE0") return c + "\r\r\nOK\r\n";                    // echo first
    if (c == "AT+FCLASS=?") return std::string("\r\n0,1,2,2.0\r\n\r\nOK\r\n");
    if (c == "ATI") return std::string("\r\nQuillet modem\r\n");  // no final result
    return std::string("\r\nERROR\r\n");
  });
  EXPECT_TRUE(ExchangeCommand(s, "ATE0").ok);
  const ExchangeResult classes = ExchangeCommand(s, "AT+FCLASS=?");
  EXPECT_TRUE(classes.ok);
  EXPECT_EQ(classes.answer, "0,1,2,2.0");
  EXPECT_EQ(classes.last, "OK");
  EXPECT_FALSE(ExchangeCommand(s, "ATI").ok);
  EXPECT_FALSE(ExchangeCommand(s, "AT+BAD").ok);
  EXPECT_EQ(ChooseFaxClass(DetectFaxClass(s, false)), fcClass2_0);
}

TEST_F(Exchange, SilenceFailsWithinTheReplyWait) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ExchangeCommand(s, "AT").ok);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(DetectFaxClass(s, false), 0);
}

TEST_F(Exchange, Class1SpeedsFromTheModemsList) {
  ScriptedModem modem(pty, [](const std::string& c) {
    if (c == "AT+FTM=?") return std::string("\r\n24,48,72,96\r\n\r\nOK\r\n");
    return std::string("\r\nOK\r\n");
  });
  ASSERT_TRUE(ReadClass1Capabilities(s, true));
  EXPECT_EQ(s.modem.SpeedIndex, 4);
  EXPECT_TRUE(s.modem.localSpeeds[3]);
  EXPECT_FALSE(s.modem.localSpeeds[5]);
  EXPECT_FALSE(s.modem.localSpeeds[6]);
}

// The reset before class detection takes a second of fixed waits; the thread that
// prepares a session is the fax desk's user-interface thread, so its messages keep
// running throughout, not only while an answer is awaited.
TEST_F(Exchange, DetectionWithAResetLetsMessagesRunThroughItsWaits) {
  ScriptedModem modem(pty, [](const std::string& c) {
    return c == "AT+FCLASS=?" ? std::string("\r\n0,1\r\n\r\nOK\r\n") : std::string("\r\nOK\r\n");
  });
  s.modem.baseInit = "ATE0V1";
  int calls = 0;
  auto last = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration longest{};
  const auto previous = SetMessagePump([&] {
    const auto now = std::chrono::steady_clock::now();
    longest = std::max(longest, now - last);
    last = now;
    ++calls;
  });
  const auto start = std::chrono::steady_clock::now();
  const TFaxClassSet classes = DetectFaxClass(s, true);
  const auto took = std::chrono::steady_clock::now() - start;
  SetMessagePump(previous);
  EXPECT_EQ(ChooseFaxClass(classes), fcClass1);
  EXPECT_GE(took, std::chrono::milliseconds(1000));  // the reset's waits are kept whole
  EXPECT_GT(calls, 100);
  // Generous for a loaded machine; a busy delay would hold the thread for 500 ms.
  EXPECT_LT(longest, std::chrono::milliseconds(250));
}

TEST_F(Exchange, InitialisationStopsAtARefusedString) {
  ScriptedModem modem(pty, [](const std::string& c) {
    return c == "ATX9" ? std::string("\r\nERROR\r\n") : std::string("\r\nOK\r\n");
  });
  SetModemInit(s, "X9");
  EXPECT_FALSE(InitialiseModem(s));
  EXPECT_FALSE(s.modem.modemInitialised);
  SetModemInit(s, "L0");
  EXPECT_TRUE(InitialiseModem(s));
  EXPECT_TRUE(s.modem.modemInitialised);
}

}  // namespace
}  // namespace ql
