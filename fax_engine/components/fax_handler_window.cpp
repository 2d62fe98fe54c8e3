#include "fax_engine/components/fax_handler_window.h"

#include <map>
#include <memory>
#include <mutex>

#include "fax_engine/components/abstract_fax.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

std::mutex& ListLock() {
  static std::mutex lock;
  return lock;
}
std::map<MessageWindow, TCustomAbstractFax*>& List() {
  static std::map<MessageWindow, TCustomAbstractFax*> list;
  return list;
}

}  // namespace

TCustomAbstractFax* FaxOfWindow(MessageWindow window) {
  std::lock_guard guard(ListLock());
  const auto it = List().find(window);
  return it == List().end() ? nullptr : it->second;
}

MessageWindow CreateFaxHandlerWindow(TCustomAbstractFax& fax) {
  auto self = std::make_shared<MessageWindow>(0);
  const MessageWindow window = CreateMessageWindow(kFaxWindowClass, [self](uint32_t msg, uintptr_t w, intptr_t l) {
    TCustomAbstractFax* component = FaxOfWindow(*self);
    return component == nullptr ? intptr_t{0} : component->WindowProc(msg, w, l);
  });
  if (window == 0) throw EInternal(ecInternal);
  *self = window;
  std::lock_guard guard(ListLock());
  List()[window] = &fax;
  return window;
}

void DestroyFaxHandlerWindow(MessageWindow window) {
  {
    std::lock_guard guard(ListLock());
    List().erase(window);
  }
  DestroyMessageWindow(window);
}

}  // namespace ql
