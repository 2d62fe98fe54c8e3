#include "platform/message_windows/message_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/message_pump.h"
#include "platform/message_windows/qt_message_pump.h"

namespace ql {
namespace {

TEST(MessageWindowTest, SendOnTheOwnerThreadCallsTheHandlerAtOnce) {
  std::vector<uint32_t> seen;
  const MessageWindow w = CreateMessageWindow("qlTest", [&](uint32_t msg, uintptr_t wp, intptr_t lp) -> intptr_t {
    seen.push_back(msg);
    return static_cast<intptr_t>(wp) + lp;
  });
  EXPECT_TRUE(IsMessageWindow(w));
  EXPECT_EQ(MessageWindowClass(w), "qlTest");
  intptr_t result = 0;
  ASSERT_TRUE(SendMessageTimeout(w, 0x400, 2, 40, 1000, &result));
  EXPECT_EQ(result, 42);
  EXPECT_EQ(seen, std::vector<uint32_t>{0x400});
  DestroyMessageWindow(w);
  EXPECT_FALSE(IsMessageWindow(w));
  EXPECT_FALSE(SendMessageTimeout(w, 0x400, 0, 0, 1000));  // a stale handle is harmless
  EXPECT_FALSE(PostMessage(w, 0x400, 0, 0));
  EXPECT_EQ(MessageWindowClass(w), "");
}

TEST(MessageWindowTest, OtherThreadsWaitForTheOwnerToRunTheirMessage) {
  std::thread::id ranOn;
  const MessageWindow w = CreateMessageWindow("qlTest", [&](uint32_t, uintptr_t wp, intptr_t) -> intptr_t {
    ranOn = std::this_thread::get_id();
    return static_cast<intptr_t>(wp) * 2;
  });
  std::atomic<bool> answered{false};
  intptr_t result = 0;
  std::thread sender([&] {
    answered = SendMessageTimeout(w, 1, 21, 0, 5000, &result);
  });
  while (!answered) {
    WaitForMessages(50);
    DispatchPendingMessages();
  }
  sender.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  DestroyMessageWindow(w);
}

TEST(MessageWindowTest, AnUnansweredSendTimesOutAndIsDropped) {
  int ran = 0;
  const MessageWindow w = CreateMessageWindow("qlTest", [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    ++ran;
    return 0;
  });
  bool answered = true;
  std::thread sender([&] { answered = SendMessageTimeout(w, 1, 0, 0, 100); });
  sender.join();
  EXPECT_FALSE(answered);
  EXPECT_EQ(DispatchPendingMessages(), 0);
  EXPECT_EQ(ran, 0);

  // A window destroyed while a sender waits lets the sender go at once.
  std::thread late([&] { answered = SendMessageTimeout(w, 1, 0, 0, 10000); });
  ASSERT_TRUE(WaitForMessages(2000));
  DestroyMessageWindow(w);
  late.join();
  EXPECT_FALSE(answered);
}

TEST(MessageWindowTest, PostedMessagesRunInOrderThroughTheHeadlessPump) {
  std::vector<uintptr_t> order;
  const MessageWindow w = CreateMessageWindow("qlTest", [&](uint32_t, uintptr_t wp, intptr_t) -> intptr_t {
    order.push_back(wp);
    return 0;
  });
  std::thread poster([&] {
    for (uintptr_t i = 1; i <= 3; ++i) PostMessage(w, 2, i, 0);
  });
  poster.join();
  EXPECT_TRUE(order.empty());
  const auto previous = SetMessagePump({});
  InstallHeadlessMessagePump();
  ProcessPendingMessages();
  SetMessagePump(previous);
  EXPECT_EQ(order, (std::vector<uintptr_t>{1, 2, 3}));
  DestroyMessageWindow(w);
}

TEST(QtMessagePumpTest, TheEventLoopRunsMessagesFromOtherThreads) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  InstallQtMessagePump();
  int ran = 0;
  const MessageWindow w = CreateMessageWindow("qlTest", [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    if (++ran == 2) QCoreApplication::quit();
    return 7;
  });
  intptr_t result = 0;
  bool answered = false;
  std::thread sender([&] {
    answered = SendMessageTimeout(w, 1, 0, 0, 5000, &result);
    PostMessage(w, 2, 0, 0);
  });
  QTimer::singleShot(5000, &app, [] { QCoreApplication::quit(); });  // never hang the test run
  app.exec();
  sender.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(result, 7);
  EXPECT_EQ(ran, 2);

  // ProcessPendingMessages processes the Qt queue once.
  PostMessage(w, 3, 0, 0);
  bool timerRan = false;
  QTimer::singleShot(0, &app, [&] { timerRan = true; });
  ProcessPendingMessages();
  EXPECT_EQ(ran, 3);
  EXPECT_TRUE(timerRan);
  EXPECT_TRUE(ApplicationTerminating());  // the application quit
  SetApplicationTerminating(false);

  // A quit asked for inside a nested loop (a long operation letting messages through)
  // marks the application as terminating at once.
  bool seenInside = false;
  QTimer::singleShot(0, &app, [&] {
    QTimer::singleShot(0, &app, [] { QCoreApplication::quit(); });
    ProcessPendingMessages();
    seenInside = ApplicationTerminating();
  });
  app.exec();
  EXPECT_TRUE(seenInside);
  SetApplicationTerminating(false);
  DestroyMessageWindow(w);
  SetThreadMessageWaker({});
  SetMessagePump({});
}

}  // namespace
}  // namespace ql
