#include "serial/triggers/handler_list.h"

#include <new>

namespace ql {

bool THandlerList::Attach(int window, TNotifyProc proc, bool passOn) {
  auto* node = new (std::nothrow) THandlerNode;
  if (node == nullptr) return false;
  node->kind = window != 0 ? kWindowHandler : kProcedureHandler;
  node->window = window;
  node->proc = window != 0 ? nullptr : proc;
  node->passOn = passOn;
  node->next = head_;
  head_ = node;
  return true;
}

bool THandlerList::Detach(int window, TNotifyProc proc) {
  for (THandlerNode* n = head_; n != nullptr; n = n->next) {
    if (n->detached) continue;
    if ((window != 0 && n->window == window) || (proc != nullptr && n->proc == proc)) {
      n->detached = true;
      dirty_ = true;
      return true;
    }
  }
  return false;
}

void THandlerList::UnlinkDetached() {
  THandlerNode** link = &head_;
  while (*link != nullptr) {
    THandlerNode* n = *link;
    if (n->detached) {
      *link = n->next;
      delete n;
    } else {
      link = &n->next;
    }
  }
  dirty_ = false;
}

void THandlerList::Clear() {
  while (head_ != nullptr) {
    THandlerNode* n = head_;
    head_ = n->next;
    delete n;
  }
  dirty_ = false;
}

}  // namespace ql
