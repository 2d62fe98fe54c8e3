#pragma once
// Message windows: the program's stand-in for hidden windows. A message window is an
// integer handle, looked up in a registry (so a stale handle is harmless), bound to a
// handler (msg, wParam, lParam) -> result that always runs on the thread that created
// the window.
//
// Sending from the owner thread calls the handler at once; from any other thread the
// message is queued for the owner and the sender waits at most its time-out (a message
// not yet run by then is dropped). Posting queues and returns. The owner thread runs
// its queued messages in DispatchPendingMessages(), which the installed pump calls:
// with Qt (qt_message_pump.h) the event loop wakes for every queued message; in the
// headless form (command-line tools, tests) the owner calls it itself, or through
// ProcessPendingMessages() after InstallHeadlessMessagePump().

#include <cstdint>
#include <functional>
#include <string>

namespace ql {

using MessageWindow = int;  // 0: no window
using MessageHandler = std::function<intptr_t(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

MessageWindow CreateMessageWindow(const std::string& className, MessageHandler handler);
// Unregisters the window; messages still queued for it are dropped and senders waiting
// for it return at once.
void DestroyMessageWindow(MessageWindow window);
bool IsMessageWindow(MessageWindow window);
std::string MessageWindowClass(MessageWindow window);  // empty for no window

// True when the handler ran within the time-out (its result in *result); false for no
// window, a time-out, or a window destroyed before its turn.
bool SendMessageTimeout(MessageWindow window, uint32_t msg, uintptr_t wParam, intptr_t lParam, int timeoutMs,
                        intptr_t* result = nullptr);
// Queues the message; false for no window.
bool PostMessage(MessageWindow window, uint32_t msg, uintptr_t wParam, intptr_t lParam);

// Runs the messages queued so far for the calling thread's windows; returns how many.
int DispatchPendingMessages();
// Blocks until a message is queued for the calling thread, or timeoutMs passes.
bool WaitForMessages(int timeoutMs);

// A function that wakes the calling thread's event loop when a message is queued for
// it (the Qt pump installs one); an empty function removes it.
void SetThreadMessageWaker(std::function<void()> waker);

// The headless pump: ProcessPendingMessages() runs DispatchPendingMessages().
void InstallHeadlessMessagePump();

// Set when the application is shutting down, so waiting loops stop.
void SetApplicationTerminating(bool terminating);
bool ApplicationTerminating();

}  // namespace ql
