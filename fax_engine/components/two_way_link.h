#pragma once
// Links between components that point at each other (a fax and its status display, a fax
// and its log): setting one side sets the other, and the side left behind lets go.

namespace ql {

template <typename Self, typename Other>
void LinkBothWays(Self* self, Other*& link, Other* other, Self* (Other::*back)() const, void (Other::*setBack)(Self*)) {
  if (link == other) return;
  Other* old = link;
  link = other;
  if (old != nullptr && (old->*back)() == self) (old->*setBack)(nullptr);
  if (other != nullptr && (other->*back)() != self) (other->*setBack)(self);
}

}  // namespace ql
