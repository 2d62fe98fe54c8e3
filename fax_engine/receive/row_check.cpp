#include "fax_engine/receive/row_check.h"

#include <cstddef>

#include "fax_document/t4/t4_code_tree.h"

namespace ql {

void RowCheck::Start(int width) {
  *this = RowCheck{};
  width_ = width;
}

void RowCheck::Bit(int bit) {
  const std::vector<T4TreeNode>& nodes = T4Tree(black_).Nodes();
  const int next = nodes[static_cast<size_t>(node_)].child[bit];
  if (next < 0) {
    // No code starts this way: the row is broken; decoding picks up at the next bit.
    badCode_ = true;
    node_ = 0;
    return;
  }
  const T4TreeNode& n = nodes[static_cast<size_t>(next)];
  switch (n.kind) {
    case T4NodeKind::Terminating:
      pixels_ += n.run;
      anyCode_ = true;
      black_ = !black_;
      node_ = 0;
      return;
    case T4NodeKind::Makeup:
      pixels_ += n.run;
      anyCode_ = true;
      node_ = 0;
      return;
    case T4NodeKind::Eol: EndOfLine(); return;
    case T4NodeKind::Dead:
      badCode_ = true;
      node_ = 0;
      return;
    case T4NodeKind::Inner:
    case T4NodeKind::Zeros: node_ = next; return;
  }
}

void RowCheck::EndOfLine() {
  if (seenEol_) {
    if (anyCode_ || badCode_) {
      ++rows_;
      if (badCode_ || pixels_ != width_) ++broken_;
      emptyLines_ = 0;
    } else if (++emptyLines_ >= 2) {
      ended_ = true;
    }
  }
  seenEol_ = true;
  node_ = 0;
  black_ = false;
  pixels_ = 0;
  anyCode_ = false;
  badCode_ = false;
}

}  // namespace ql
