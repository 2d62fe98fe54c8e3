#pragma once
// The handlers attached to a port, newest first. A window handler is notified by a
// message sent to its message window; a procedure handler is called directly on the
// port's dispatch thread. Detaching only marks a node: the node is unlinked when the
// notification in progress (or the next one) ends, so a walk never loses its place.

#include <atomic>
#include <cstdint>

namespace ql {

// A procedure handler: called as a window procedure would be, with window 0, the
// message with the port handle in its high word, the word and the long parameter.
using TNotifyProc = void (*)(uintptr_t window, uint32_t msg, uintptr_t wParam, intptr_t lParam);

inline constexpr int kWindowHandler = 1;
inline constexpr int kProcedureHandler = 2;

struct THandlerNode {
  int kind = kProcedureHandler;
  TNotifyProc proc = nullptr;
  int window = 0;
  bool passOn = true;
  std::atomic<bool> detached{false};
  THandlerNode* next = nullptr;
};

class THandlerList {
 public:
  THandlerList() = default;
  ~THandlerList() { Clear(); }
  THandlerList(const THandlerList&) = delete;
  THandlerList& operator=(const THandlerList&) = delete;

  // Adds a window handler when window is non-zero, else a procedure handler. false when
  // memory runs out.
  bool Attach(int window, TNotifyProc proc, bool passOn);
  // Marks the first node with that (non-zero) window or (non-null) procedure. Returns
  // whether one was found.
  bool Detach(int window, TNotifyProc proc);
  // Frees the marked nodes.
  void UnlinkDetached();
  void Clear();

  THandlerNode* Head() const { return head_; }
  bool Dirty() const { return dirty_; }

 private:
  THandlerNode* head_ = nullptr;
  bool dirty_ = false;
};

}  // namespace ql
