#include "platform/message_windows/message_window.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/message_pump.h"

namespace ql {

namespace {

struct Window {
  std::string className;
  std::shared_ptr<MessageHandler> handler;
  std::thread::id owner;
};

enum class Stage { Queued, Running, Done, Dropped };

struct Message {
  MessageWindow window;
  uint32_t msg;
  uintptr_t wParam;
  intptr_t lParam;
  bool sent;  // a sender waits for it
  Stage stage = Stage::Queued;
  intptr_t result = 0;
};

struct ThreadQueue {
  std::deque<std::shared_ptr<Message>> messages;
  std::function<void()> waker;
};

// The registry is never destroyed: a port thread may still send to a window while the
// program ends.
struct Registry {
  std::mutex mutex;
  std::condition_variable changed;  // a message was queued, run or dropped
  std::map<MessageWindow, Window> windows;
  std::map<std::thread::id, ThreadQueue> queues;
  MessageWindow nextWindow = 1;
};
Registry& R() {
  static auto* registry = new Registry;
  return *registry;
}
std::atomic<bool> gTerminating{false};

// Queues a message for the owner of window; returns it, or null for no window.
std::shared_ptr<Message> Enqueue(MessageWindow window, uint32_t msg, uintptr_t wParam, intptr_t lParam, bool sent) {
  std::function<void()> waker;
  std::shared_ptr<Message> m;
  {
    std::lock_guard lock(R().mutex);
    auto it = R().windows.find(window);
    if (it == R().windows.end()) return nullptr;
    m = std::make_shared<Message>(Message{window, msg, wParam, lParam, sent});
    ThreadQueue& q = R().queues[it->second.owner];
    q.messages.push_back(m);
    waker = q.waker;
  }
  R().changed.notify_all();
  if (waker) waker();
  return m;
}

std::shared_ptr<MessageHandler> HandlerOf(MessageWindow window, std::thread::id* owner) {
  std::lock_guard lock(R().mutex);
  auto it = R().windows.find(window);
  if (it == R().windows.end()) return nullptr;
  if (owner != nullptr) *owner = it->second.owner;
  return it->second.handler;
}

}  // namespace

MessageWindow CreateMessageWindow(const std::string& className, MessageHandler handler) {
  std::lock_guard lock(R().mutex);
  const MessageWindow window = R().nextWindow++;
  if (R().nextWindow <= 0) R().nextWindow = 1;
  R().windows[window] = Window{className, std::make_shared<MessageHandler>(std::move(handler)), std::this_thread::get_id()};
  return window;
}

void DestroyMessageWindow(MessageWindow window) {
  {
    std::lock_guard lock(R().mutex);
    R().windows.erase(window);
    for (auto& [id, q] : R().queues)
      for (auto& m : q.messages)
        if (m->window == window && m->stage == Stage::Queued) m->stage = Stage::Dropped;
  }
  R().changed.notify_all();
}

bool IsMessageWindow(MessageWindow window) {
  std::lock_guard lock(R().mutex);
  return R().windows.count(window) != 0;
}

std::string MessageWindowClass(MessageWindow window) {
  std::lock_guard lock(R().mutex);
  auto it = R().windows.find(window);
  return it == R().windows.end() ? std::string() : it->second.className;
}

bool SendMessageTimeout(MessageWindow window, uint32_t msg, uintptr_t wParam, intptr_t lParam, int timeoutMs,
                        intptr_t* result) {
  std::thread::id owner;
  auto handler = HandlerOf(window, &owner);
  if (!handler) return false;
  if (owner == std::this_thread::get_id()) {
    const intptr_t r = (*handler)(msg, wParam, lParam);
    if (result != nullptr) *result = r;
    return true;
  }
  auto m = Enqueue(window, msg, wParam, lParam, true);
  if (!m) return false;
  std::unique_lock lock(R().mutex);
  const bool done = R().changed.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                                      [&] { return m->stage == Stage::Done || m->stage == Stage::Dropped; });
  if (done && m->stage == Stage::Done) {
    if (result != nullptr) *result = m->result;
    return true;
  }
  // Not run in time: a message still queued is dropped; one already running finishes
  // on its own, with nobody waiting for its result.
  if (m->stage == Stage::Queued) m->stage = Stage::Dropped;
  return false;
}

bool PostMessage(MessageWindow window, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return Enqueue(window, msg, wParam, lParam, false) != nullptr;
}

int DispatchPendingMessages() {
  const auto self = std::this_thread::get_id();
  std::deque<std::shared_ptr<Message>> batch;
  {
    std::lock_guard lock(R().mutex);
    auto it = R().queues.find(self);
    if (it == R().queues.end()) return 0;
    batch.swap(it->second.messages);
  }
  int ran = 0;
  for (auto& m : batch) {
    std::shared_ptr<MessageHandler> handler;
    {
      std::lock_guard lock(R().mutex);
      if (m->stage != Stage::Queued) continue;
      auto w = R().windows.find(m->window);
      if (w == R().windows.end()) {
        m->stage = Stage::Dropped;
        continue;
      }
      handler = w->second.handler;
      m->stage = Stage::Running;
    }
    intptr_t r = 0;
    try {
      r = (*handler)(m->msg, m->wParam, m->lParam);
    } catch (...) {
      // A handler's failure stays with its window; the sender only learns nothing ran.
    }
    {
      std::lock_guard lock(R().mutex);
      m->result = r;
      m->stage = Stage::Done;
    }
    R().changed.notify_all();
    ++ran;
  }
  return ran;
}

bool WaitForMessages(int timeoutMs) {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(R().mutex);
  return R().changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    auto it = R().queues.find(self);
    return it != R().queues.end() && !it->second.messages.empty();
  });
}

void SetThreadMessageWaker(std::function<void()> waker) {
  std::lock_guard lock(R().mutex);
  R().queues[std::this_thread::get_id()].waker = std::move(waker);
}

void InstallHeadlessMessagePump() {
  SetMessagePump([] { DispatchPendingMessages(); });
}

void SetApplicationTerminating(bool terminating) { gTerminating = terminating; }
bool ApplicationTerminating() { return gTerminating; }

}  // namespace ql
