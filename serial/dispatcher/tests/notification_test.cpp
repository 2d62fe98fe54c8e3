#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/message_windows/message_window.h"
#include "serial/dispatcher/tests/port_fixture.h"
#include "serial/errors/error_codes.h"

namespace ql {
namespace {

using testing::WaitUntil;

struct Call {
  char who;
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
  std::string read;  // what the handler read
};

// What the procedure handlers do, and what they saw. Set before the handlers attach.
std::mutex gMutex;
std::vector<Call> gCalls;
std::function<std::string(char who, uint32_t msg, uintptr_t wParam)> gAction;

void SetAction(std::function<std::string(char, uint32_t, uintptr_t)> action) {
  std::lock_guard lock(gMutex);
  gAction = std::move(action);
}

template <char Who>
void Handler(uintptr_t window, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  EXPECT_EQ(window, 0u);
  std::function<std::string(char, uint32_t, uintptr_t)> action;
  {
    std::lock_guard lock(gMutex);
    action = gAction;
  }
  const std::string read = action ? action(Who, msg, wParam) : std::string();
  std::lock_guard lock(gMutex);
  gCalls.push_back({Who, msg, wParam, lParam, read});
}

class NotificationTest : public testing::PortTest {
 protected:
  void SetUp() override {
    PortTest::SetUp();
    std::lock_guard lock(gMutex);
    gCalls.clear();
    gAction = nullptr;
  }
  void TearDown() override {
    PortTest::TearDown();
    SetAction(nullptr);
  }
  std::vector<Call> Calls() {
    std::lock_guard lock(gMutex);
    return gCalls;
  }
  std::size_t CallCount() { return Calls().size(); }

  std::string Read(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
      const int c = ReadChar(port);
      if (c < 0) break;
      s += static_cast<char>(c);
    }
    return s;
  }
};

TEST_F(NotificationTest, HandlersPeekSoEachSeesTheSameBytes) {
  Open();
  ASSERT_EQ(SetPortFlags(port, 0), 0);  // peek during notifications
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  SetAction([this](char, uint32_t, uintptr_t) { return Read(3); });
  ASSERT_EQ(AttachHandler(port, 0, Handler<'A'>, true), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'B'>, true), 0);
  pty.Send("hello");
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 2; }));
  auto calls = Calls();
  EXPECT_EQ(calls[0].who, 'B');  // newest first
  EXPECT_EQ(calls[1].who, 'A');
  for (const Call& c : calls) {
    EXPECT_EQ(c.msg, kMsgTriggerAvail | (uint32_t(port) << 16));
    EXPECT_EQ(c.wParam, 5u);
    EXPECT_EQ(c.lParam, intptr_t(port) << 16);
    EXPECT_EQ(c.read, "hel");
  }
  EXPECT_EQ(InUsed(port), 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(CallCount(), 2u);  // bytes left unread are not announced again on their own

  SetAction([this](char, uint32_t, uintptr_t) { return Read(10); });
  pty.Send("!");
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 4; }));
  calls = Calls();
  EXPECT_EQ(calls[2].wParam, 3u);  // the new total
  EXPECT_EQ(calls[2].read, "lo!");
  EXPECT_EQ(calls[3].read, "lo!");
  EXPECT_EQ(InUsed(port), 0);
}

TEST_F(NotificationTest, TimerTriggerFiresAndRearmsWithItsInterval) {
  Open();
  const int timer = NewTimerTrigger(port);
  ASSERT_EQ(timer, 2);
  std::atomic<int> fired{0};
  SetAction([&](char, uint32_t msg, uintptr_t wParam) {
    if ((msg & 0xFFFF) == kMsgTriggerTimer && int(wParam) == timer && ++fired < 3) ArmTimerTrigger(port, timer, 0, true);
    return std::string();
  });
  ASSERT_EQ(AttachHandler(port, 0, Handler<'T'>, true), 0);
  const int32_t start = MillisecondClock();
  ASSERT_EQ(ArmTimerTrigger(port, timer, 2, true), 0);
  ASSERT_TRUE(WaitUntil([&] { return fired == 3; }));
  EXPECT_GE(MillisecondClock() - start, 3 * 2 * 55 - 60);  // ticks are counted, with a tick's slack
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(fired, 3);  // a fired timer waits to be armed again
  EXPECT_EQ(Calls()[0].lParam, intptr_t(port) << 16);
}

TEST_F(NotificationTest, OutputTriggersFireWhenTheRingDrains) {
  Open(64);
  const int used = NewStatusTrigger(port, kStatusOutUsed);
  const int sent = NewStatusTrigger(port, kStatusOutSent);
  const int freed = NewStatusTrigger(port, kStatusOutFree);
  ASSERT_EQ(StatusTriggerKind(port, used), kStatusOutUsed);
  ASSERT_EQ(StatusTriggerKind(port, 1), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'S'>, true), 0);
  ASSERT_EQ(::tcflow(PortDeviceHandle(port), TCOOFF), 0);
  ASSERT_EQ(WriteString(port, std::string(40, 'x')), 0);
  ASSERT_EQ(ArmStatusTrigger(port, used, 0, true), 0);
  ASSERT_EQ(ArmStatusTrigger(port, freed, 64, true), 0);
  ASSERT_EQ(ArmStatusTrigger(port, sent, 0, true), 0);
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 1; }));
  EXPECT_EQ(Calls()[0].wParam, uintptr_t(sent));  // the block was written, not yet drained
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(CallCount(), 1u);
  ASSERT_EQ(::tcflow(PortDeviceHandle(port), TCOON), 0);
  ASSERT_EQ(WriteChar(port, 'y'), 0);  // wakes the output thread
  EXPECT_EQ(pty.Receive(41), std::string(40, 'x') + "y");
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 3; }));
  const auto calls = Calls();
  EXPECT_EQ(calls[1].wParam, uintptr_t(used));
  EXPECT_EQ(calls[1].lParam & 0xFFFF, 0);  // the byte count compared
  EXPECT_EQ(calls[2].wParam, uintptr_t(freed));
  EXPECT_EQ(calls[2].lParam & 0xFFFF, 64);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(CallCount(), 3u);  // each fired once
}

TEST_F(NotificationTest, CarrierTriggerFiresWhenTheDeviceGoes) {
  Open();
  const int modem = NewStatusTrigger(port, kStatusModem);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'M'>, true), 0);
  ASSERT_EQ(ArmStatusTrigger(port, modem, kLineDcd, true), 0);  // DCD is high now
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(CallCount(), 0u);
  pty.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 1; }));
  EXPECT_EQ(Calls()[0].wParam, uintptr_t(modem));
  EXPECT_EQ(Calls()[0].msg & 0xFFFF, kMsgTriggerStatus);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(CallCount(), 1u);
}

TEST_F(NotificationTest, PassOnFalseHidesTheEventFromOlderHandlers) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'A'>, true), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'B'>, false), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'C'>, true), 0);
  pty.Send("x");
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].who, 'C');
  EXPECT_EQ(calls[1].who, 'B');
}

TEST_F(NotificationTest, ClosingFromAHandlerSkipsTheRestAndEndsThePort) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  std::atomic<int> closeResult{1};
  SetAction([&](char who, uint32_t, uintptr_t) {
    if (who == 'B') closeResult = ClosePort(port);
    return std::string();
  });
  ASSERT_EQ(AttachHandler(port, 0, Handler<'A'>, true), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'B'>, true), 0);
  pty.Send("bye");
  ASSERT_TRUE(WaitUntil([&] { return InUsed(port) == ecBadHandle; }));
  EXPECT_EQ(closeResult, 0);
  const auto calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].who, 'B');
  // The device was let go: it can be opened again.
  int again = 0;
  ASSERT_EQ(OpenPort(again, pty.path(), 4096, 4096, 8, 1, 0, 19200), 0);
  EXPECT_EQ(ClosePort(again), 0);
  port = 0;
}

TEST_F(NotificationTest, DetachingInsideItsOwnNotificationTakesEffectAtOnce) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  std::atomic<int> thrown{0};
  SetAction([&](char who, uint32_t, uintptr_t) {
    if (who == 'A') {
      EXPECT_EQ(DetachHandler(port, 0, Handler<'A'>), 0);
    }
    if (who == 'B') {
      ++thrown;
      throw std::runtime_error("a faulty handler");  // must not reach the dispatcher
    }
    return std::string();
  });
  ASSERT_EQ(AttachHandler(port, 0, Handler<'B'>, true), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'A'>, true), 0);
  pty.Send("1");
  // The walk is over once B has thrown (before recording); only then is the action
  // changed, or a slow walk would hand B the new one and count a call too many.
  ASSERT_TRUE(WaitUntil([&] { return thrown.load() == 1; }));
  ASSERT_EQ(CallCount(), 1u);
  EXPECT_EQ(Calls()[0].who, 'A');
  SetAction([&](char, uint32_t, uintptr_t) { return Read(5); });
  pty.Send("2");
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 2; }));
  EXPECT_EQ(Calls()[1].who, 'B');
}

TEST_F(NotificationTest, SuspendedNotificationsStillCollectData) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'A'>, true), 0);
  ASSERT_EQ(SuspendNotify(port, true), 0);
  pty.Send("quiet");
  ASSERT_TRUE(WaitHeld(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(CallCount(), 0u);
  ASSERT_EQ(SuspendNotify(port, false), 1);
  // Announced once the suspension ends, without waiting for more data.
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 1; }));
  EXPECT_EQ(Calls()[0].wParam, 5u);
}

TEST_F(NotificationTest, ATriggerMadeUnderTheNotifiedHandleStopsTheWalk) {
  Open();
  const int timer = NewTimerTrigger(port);
  SetAction([&](char who, uint32_t, uintptr_t wParam) {
    if (who == 'B') {
      DropTrigger(port, int(wParam));
      EXPECT_EQ(NewTimerTrigger(port), timer);  // the same handle, now another trigger
    }
    return std::string();
  });
  ASSERT_EQ(AttachHandler(port, 0, Handler<'A'>, true), 0);
  ASSERT_EQ(AttachHandler(port, 0, Handler<'B'>, true), 0);
  ASSERT_EQ(ArmTimerTrigger(port, timer, 1, true), 0);
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ASSERT_EQ(CallCount(), 1u);
  EXPECT_EQ(Calls()[0].who, 'B');
}

TEST_F(NotificationTest, TriggerHandlesAndTheirCodes) {
  Open();
  for (int i = 0; i < kTriggerSlots; ++i) EXPECT_EQ(NewTimerTrigger(port), 2 + i);
  EXPECT_EQ(NewTimerTrigger(port), ecNoMoreTriggers);
  EXPECT_EQ(NewStatusTrigger(port, 6), ecBadArgument);
  EXPECT_EQ(NewStatusTrigger(port, 0), ecBadArgument);
  const int status = NewStatusTrigger(port, kStatusLineError);
  EXPECT_EQ(status, 12);
  EXPECT_EQ(ArmStatusTrigger(port, 2, 0, true), ecBadTriggerHandle);
  EXPECT_EQ(ArmTimerTrigger(port, status, 10, true), ecBadTriggerHandle);
  EXPECT_EQ(ArmTimerTrigger(port, 40, 10, true), ecBadTriggerHandle);
  EXPECT_EQ(DropTrigger(port, 40), 0);
  EXPECT_EQ(DropTrigger(port, 5), 0);
  EXPECT_EQ(NewTimerTrigger(port), 5);
  EXPECT_EQ(AttachHandler(port, 0, nullptr, true), ecBadArgument);
  EXPECT_EQ(NewTimerTrigger(99), ecBadHandle);

  TTriggerArea saved;
  ASSERT_EQ(SaveTriggers(port, saved), 0);
  ASSERT_EQ(DropTrigger(port, status), 0);
  EXPECT_EQ(StatusTriggerKind(port, status), 0);
  ASSERT_EQ(RestoreTriggers(port, saved), 0);
  EXPECT_EQ(StatusTriggerKind(port, status), kStatusLineError);
}

// ---- window handlers ----

class WindowHandlerTest : public NotificationTest {};

TEST_F(WindowHandlerTest, MessagesReachTheWindowOnItsOwnThread) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  std::vector<Call> seen;
  const auto self = std::this_thread::get_id();
  const MessageWindow window = CreateMessageWindow("test", [&](uint32_t msg, uintptr_t w, intptr_t l) -> intptr_t {
    EXPECT_EQ(std::this_thread::get_id(), self);
    seen.push_back({'W', msg, w, l, Read(int(w))});
    return 0;
  });
  ASSERT_EQ(AttachHandler(port, window, nullptr, true), 0);
  pty.Send("RING");
  while (seen.empty()) {
    WaitForMessages(100);
    DispatchPendingMessages();
  }
  EXPECT_EQ(seen[0].msg, kMsgTriggerAvail);  // a window gets the bare message
  EXPECT_EQ(seen[0].wParam, 4u);
  EXPECT_EQ(seen[0].lParam, intptr_t(port) << 16);
  EXPECT_EQ(seen[0].read, "RING");
  DestroyMessageWindow(window);
}

TEST_F(WindowHandlerTest, AWindowThatDoesNotAnswerIsSkippedAfterOneSecond) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  bool ran = false;
  const MessageWindow window = CreateMessageWindow("test", [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    ran = true;
    return 0;
  });
  SetAction([this](char, uint32_t, uintptr_t w) { return Read(int(w)); });  // nothing left to announce again
  ASSERT_EQ(AttachHandler(port, 0, Handler<'P'>, true), 0);
  ASSERT_EQ(AttachHandler(port, window, nullptr, true), 0);  // notified first
  const int32_t start = MillisecondClock();
  pty.Send("x");
  ASSERT_TRUE(WaitUntil([&] { return CallCount() == 1; }, 4000));
  const int32_t waited = MillisecondClock() - start;
  EXPECT_GE(waited, 950);
  EXPECT_LT(waited, 2500);
  DispatchPendingMessages();
  EXPECT_FALSE(ran);  // the late message was dropped, not run out of turn
  DestroyMessageWindow(window);
}

// A window that reads what it is told, on the test's thread; counts its messages.
struct ReadingWindow {
  explicit ReadingWindow(int port) {
    window = CreateMessageWindow("test", [this, port](uint32_t, uintptr_t w, intptr_t) -> intptr_t {
      ++messages;
      for (uintptr_t i = 0; i < w; ++i) {
        const int c = ReadChar(port);
        if (c >= 0) read += static_cast<char>(c);
      }
      return 0;
    });
  }
  ~ReadingWindow() { DestroyMessageWindow(window); }
  // Runs the messages that come within timeoutMs; true when one came.
  bool Pump(int timeoutMs) {
    const int before = messages;
    if (WaitForMessages(timeoutMs)) DispatchPendingMessages();
    return messages != before;
  }
  MessageWindow window = 0;
  int messages = 0;
  std::string read;
};

// A reader that holds notifications while a walk is under way (the walk waits for its
// window) keeps them held after the walk: the bytes that come next are its own, and no
// handler takes them first.
TEST_F(WindowHandlerTest, ASuspensionAskedForDuringAWalkOutlastsTheWalk) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  ReadingWindow w(port);
  ASSERT_EQ(AttachHandler(port, w.window, nullptr, true), 0);
  pty.Send("RING");
  ASSERT_TRUE(WaitForMessages(3000));  // the walk waits for this thread now
  EXPECT_EQ(SuspendNotify(port, true), 0);  // the walk is no suspension of ours
  DispatchPendingMessages();
  EXPECT_EQ(w.read, "RING");
  ASSERT_TRUE(WaitHeld(0));  // the walk has ended
  pty.Send("OK\r\n");
  ASSERT_TRUE(WaitHeld(4));
  EXPECT_FALSE(w.Pump(300));  // held: nobody is told
  EXPECT_EQ(ReadAll(), "OK\r\n");
  EXPECT_EQ(SuspendNotify(port, false), 1);
  pty.Send("x");
  ASSERT_TRUE(w.Pump(3000));
  EXPECT_EQ(w.read, "RINGx");
}

// Bytes that wait in the buffer are announced without more data coming: those that came
// while notifications were held, and those whose notification the window missed.
TEST_F(WindowHandlerTest, WaitingBytesAreAnnouncedAfterASuspensionAndAfterAMissedMessage) {
  Open();
  ASSERT_EQ(SetAvailThreshold(port, 1), 0);
  ReadingWindow w(port);
  ASSERT_EQ(AttachHandler(port, w.window, nullptr, true), 0);
  ASSERT_EQ(SuspendNotify(port, true), 0);
  pty.Send("OK\r\n");
  ASSERT_TRUE(WaitHeld(4));
  EXPECT_EQ(ReadChar(port), 'O');
  EXPECT_EQ(SuspendNotify(port, false), 1);
  ASSERT_TRUE(w.Pump(3000));
  EXPECT_EQ(w.read, "K\r\n");

  pty.Send("RING");
  ASSERT_TRUE(WaitHeld(4));
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));  // busy past the message's time-out
  ASSERT_TRUE(WaitUntil([&] {
    w.Pump(100);
    return w.read == "K\r\nRING";
  }, 4000));
  EXPECT_EQ(w.messages, 2);  // the missed message never ran late: only the new one did
}

}  // namespace
}  // namespace ql
