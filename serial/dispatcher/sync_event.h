#pragma once
// A waitable event with auto-reset or manual-reset behaviour, built on an eventfd so a
// thread can wait for it together with a device in one poll().

namespace ql {

class SyncEvent {
 public:
  explicit SyncEvent(bool autoReset);
  ~SyncEvent();
  SyncEvent(const SyncEvent&) = delete;
  SyncEvent& operator=(const SyncEvent&) = delete;

  bool Valid() const { return fd_ >= 0; }
  void Set();
  void Reset();
  // Waits up to timeoutMs (-1: without limit). An auto-reset event is reset by a wait
  // that sees it set. Returns whether it was set.
  bool Wait(int timeoutMs);
  // After a poll() reported the descriptor readable: consumes the signal of an
  // auto-reset event (a manual-reset event stays set). Returns whether it was set.
  bool Consume();
  int fd() const { return fd_; }

 private:
  int fd_;
  bool autoReset_;
};

}  // namespace ql
