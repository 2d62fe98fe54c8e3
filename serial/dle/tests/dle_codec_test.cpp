#include "serial/dle/dle_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ql::dle {
namespace {

const std::string kDleEtx = EndPair();

TEST(DleCodec, StuffingDoublesOnlyDle) {
  EXPECT_EQ(Stuffed(std::string("a\x10" "b\x10\x10", 5)), std::string("a\x10\x10" "b\x10\x10\x10\x10", 8));
  EXPECT_EQ(Stuffed("", true), kDleEtx);
}

TEST(DleCodec, PrefixNeverSplitsAPair) {
  const std::string s = Stuffed(std::string("ab\x10", 3));  // a b DLE DLE
  EXPECT_EQ(WholePairPrefix(s, 3), 2u);  // the pair does not fit
  EXPECT_EQ(WholePairPrefix(s, 4), 4u);
  EXPECT_EQ(WholePairPrefix(s, 100), 4u);
  EXPECT_EQ(WholePairPrefix(s, 0), 0u);
  EXPECT_EQ(WholePairPrefix(std::string("\x10\x03", 2), 1), 0u);
}

// Whatever the cut points, unstuffing a stuffed stream gives the data back and stops at the end.
TEST(DleCodec, UnstuffingInRandomPiecesRoundTrips) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::string data(rng() % 300, '\0');
    for (char& c : data) c = static_cast<char>(rng() % 4 == 0 ? kDle : rng() % 256);
    const std::string stream = Stuffed(data, true) + "OK\r\n";
    Unstuffer u;
    std::string out;
    size_t at = 0;
    Unstuffer::Result r;
    while (at < stream.size()) {
      const size_t len = 1 + rng() % 17;
      r = u.Take(std::string_view(stream).substr(at, len), out);
      at += r.consumed;
      if (r.stop != Unstuffer::Stop::kNone) break;
    }
    ASSERT_EQ(r.stop, Unstuffer::Stop::kEnd);
    EXPECT_EQ(out, data);
    EXPECT_EQ(stream.substr(at), "OK\r\n");  // what follows the end is left for the caller
  }
}

TEST(DleCodec, ControlPairsAndSubstitution) {
  Unstuffer u;
  std::string out;
  auto r = u.Take(std::string("x\x10\x1Ay\x10,rest", 9), out);
  EXPECT_EQ(r.stop, Unstuffer::Stop::kControl);
  EXPECT_EQ(u.ControlByte(), ',');
  EXPECT_EQ(out, std::string("x\x10\x10y", 4));
  EXPECT_EQ(r.consumed, 6u);
  // A DLE at the end of a piece waits for its partner.
  out.clear();
  r = u.Take(std::string("a\x10", 2), out);
  EXPECT_TRUE(u.PendingDle());
  r = u.Take(std::string("\x03", 1), out);
  EXPECT_EQ(r.stop, Unstuffer::Stop::kEnd);
  EXPECT_EQ(out, "a");
}

// Code that changes a stuffed stream in place must know which bytes belong to pairs,
// also when a pair is split across pieces.
TEST(DleCodec, ClassifyingTellsPairsFromData) {
  using B = Unstuffer::Byte;
  Unstuffer u;
  const std::string stream("a\x10\x10" "b\x10\x1A\x10", 7);
  std::vector<B> kinds;
  for (char c : stream) kinds.push_back(u.Classify(static_cast<uint8_t>(c)));
  EXPECT_EQ(kinds, (std::vector<B>{B::kData, B::kEscape, B::kDataDle, B::kData, B::kEscape, B::kDataDle, B::kEscape}));
  EXPECT_EQ(u.Classify(kEtx), B::kControl);  // the DLE waited across the end of the piece
  EXPECT_EQ(u.ControlByte(), kEtx);
  EXPECT_EQ(u.Classify(kEtx), B::kData);  // an ETX on its own is data
}

}  // namespace
}  // namespace ql::dle
