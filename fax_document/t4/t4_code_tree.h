#pragma once
// Decoding of the T.4 one-dimensional code. A binary tree per colour holds every bit
// string of up to 13 bits as a run code (terminating or make-up, with its length), the
// end-of-line code, an inner node or a dead end. Eleven or more zeros stay on the
// "zeros" node, so any number of zero fill bits followed by a one is one EOL.
//
// For speed the decoder does not walk the tree bit by bit: a table built by walking the
// tree for every 13-bit string gives, for the next 13 bits of input, how many bits the
// walk takes and where it ends. Results are the same as the bit-by-bit walk.

#include <cstdint>
#include <vector>

namespace ql {

// Run codes first, so that one comparison tells a run from everything else.
enum class T4NodeKind : uint8_t { Terminating, Makeup, Inner, Eol, Dead, Zeros };

struct T4TreeNode {
  int16_t child[2] = {-1, -1};  // -1 = dead end
  T4NodeKind kind = T4NodeKind::Inner;
  uint16_t run = 0;
};

class T4CodeTree {
 public:
  explicit T4CodeTree(bool black);
  const std::vector<T4TreeNode>& Nodes() const { return nodes_; }
  int ZerosNode() const { return zerosNode_; }

 private:
  int Insert(uint16_t bits, unsigned length);
  std::vector<T4TreeNode> nodes_;
  int zerosNode_ = -1;
};

// The walk from the root over the next 13 bits of input.
struct T4Step {
  uint8_t bits;     // bits the walk takes (for Zeros: the 11 zeros)
  T4NodeKind kind;  // Terminating, Makeup, Dead or Zeros (the EOL's 11 zeros reached)
  uint16_t run;
};

inline constexpr unsigned kT4PeekBits = 13;
inline constexpr unsigned kT4ShortPeekBits = 9;

// 2 x 8192 steps: the white table, then the black one, each indexed by the next 13
// input bits (first bit in bit 0).
const T4Step* T4StepTable();
// 2 x 512 steps for the next 9 bits, small enough to stay in the fastest cache. Codes
// longer than 9 bits give kind Inner: look them up in T4StepTable.
const T4Step* T4ShortStepTable();
const T4CodeTree& T4Tree(bool black);

}  // namespace ql
