#include "fax_document/t4/t4_code_tree.h"

#include <algorithm>
#include <array>

#include "fax_document/t4/t4_codes.h"

namespace ql {

T4CodeTree::T4CodeTree(bool black) {
  nodes_.emplace_back();  // root
  ForEachCode(black, [this](const T4Code& code, int run, bool makeup) {
    T4TreeNode& leaf = nodes_[Insert(code.bits, code.length)];
    leaf.kind = makeup ? T4NodeKind::Makeup : T4NodeKind::Terminating;
    leaf.run = static_cast<uint16_t>(run);
  });
  // Eleven zeros: the node loops on further zeros and a one completes the EOL.
  zerosNode_ = Insert(0, 11);
  nodes_[zerosNode_].kind = T4NodeKind::Zeros;
  nodes_[zerosNode_].child[0] = static_cast<int16_t>(zerosNode_);
  const int eol = static_cast<int>(nodes_.size());
  nodes_.push_back(T4TreeNode{{-1, -1}, T4NodeKind::Eol, 0});
  nodes_[zerosNode_].child[1] = static_cast<int16_t>(eol);
}

int T4CodeTree::Insert(uint16_t bits, unsigned length) {
  int node = 0;
  for (unsigned i = length; i-- > 0;) {
    const int bit = (bits >> i) & 1;
    if (nodes_[node].child[bit] < 0) {
      nodes_[node].child[bit] = static_cast<int16_t>(nodes_.size());
      nodes_.emplace_back();
    }
    node = nodes_[node].child[bit];
  }
  return node;
}

namespace {

template <unsigned Bits>
std::array<T4Step, 1 << Bits> BuildSteps(const T4CodeTree& tree) {
  std::array<T4Step, 1 << Bits> steps{};
  const auto& nodes = tree.Nodes();
  for (unsigned input = 0; input < steps.size(); ++input) {
    int node = 0;
    // A walk that reaches no leaf within the bits stays Inner (only in the short table).
    T4Step step{0, T4NodeKind::Inner, 0};
    for (unsigned i = 0; i < Bits; ++i) {
      node = nodes[node].child[(input >> i) & 1];
      step.bits = static_cast<uint8_t>(i + 1);
      if (node < 0) {
        step.kind = T4NodeKind::Dead;
        break;
      }
      const T4TreeNode& n = nodes[node];
      if (n.kind != T4NodeKind::Inner) {
        step.kind = n.kind;
        step.run = n.run;
        break;
      }
    }
    steps[input] = step;
  }
  return steps;
}

}  // namespace

const T4CodeTree& T4Tree(bool black) {
  static const T4CodeTree white(false);
  static const T4CodeTree blackTree(true);
  return black ? blackTree : white;
}

namespace {

template <unsigned Bits>
std::array<T4Step, 2 << Bits> BuildBothSteps() {
  const auto white = BuildSteps<Bits>(T4Tree(false));
  const auto black = BuildSteps<Bits>(T4Tree(true));
  std::array<T4Step, 2 << Bits> both{};
  std::copy(white.begin(), white.end(), both.begin());
  std::copy(black.begin(), black.end(), both.begin() + white.size());
  return both;
}

}  // namespace

const T4Step* T4StepTable() {
  static const auto steps = BuildBothSteps<kT4PeekBits>();
  return steps.data();
}

const T4Step* T4ShortStepTable() {
  static const auto steps = BuildBothSteps<kT4ShortPeekBits>();
  return steps.data();
}

}  // namespace ql
