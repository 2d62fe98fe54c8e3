// The response collector: modem lines and Class 1 frames out of one byte stream.

#include <gtest/gtest.h>

#include <vector>

#include "fax_engine/session/response_collector.h"

namespace ql {
namespace {

using Item = ResponseCollector::Item;

struct Collected {
  std::vector<std::string> lines;
  std::vector<std::string> frames;
};

Collected Feed(ResponseCollector& c, const std::string& bytes, bool clearAfterEach = true) {
  Collected out;
  for (char b : bytes) {
    const Item item = c.Feed(static_cast<uint8_t>(b));
    if (item == Item::kLine) {
      out.lines.push_back(c.Line());
      if (clearAfterEach) c.Clear();
    } else if (item == Item::kFrame) {
      out.frames.push_back(c.Frame());
    }
  }
  return out;
}

TEST(ResponseCollector, HandsOverTrimmedLinesAndDropsEmptyOnes) {
  ResponseCollector c;
  const Collected got = Feed(c, "\r\nOK\r\n\r\n  +FCSI: \"ACME\" \r\n\r\r\nCONNECT\r\n");
  EXPECT_EQ(got.lines, (std::vector<std::string>{"OK", "+FCSI: \"ACME\"", "CONNECT"}));
  EXPECT_TRUE(got.frames.empty());  // no frames expected outside Class 1
}

TEST(ResponseCollector, ALineNotClearedStaysInFrontOfTheNext) {
  ResponseCollector c;
  const Collected got = Feed(c, "\r\nCONNECT\r\n\r\nOK\r\n", false);
  ASSERT_FALSE(got.lines.empty());
  EXPECT_EQ(got.lines.front(), "CONNECT");
  EXPECT_NE(got.lines.back().find("OK"), std::string::npos);
  EXPECT_NE(got.lines.back().find("CONNECT"), std::string::npos);
}

TEST(ResponseCollector, KeepsTheNewest128Characters) {
  ResponseCollector c;
  const Collected got = Feed(c, std::string(300, 'x') + "OK\r\n");
  ASSERT_EQ(got.lines.size(), 1u);
  EXPECT_EQ(got.lines[0].size(), 126u);  // 128 with the CR LF, trimmed
  EXPECT_EQ(got.lines[0].substr(124), "OK");
}

TEST(ResponseCollector, FramesMayHoldCrLfAndDoubledDlesBeforeEtx) {
  ResponseCollector c;
  c.ExpectFrames(true);
  // A frame whose information field holds CR LF, "OK" and a data DLE followed by ETX
  // (stuffed as DLE DLE ETX), then the modem's OK.
  const std::string frame = std::string("\xFF\x13\x80\r\nOK\x10\x10\x03", 10) + "\x10\x03";
  const Collected got = Feed(c, "\r\nCONNECT\r\n" + frame + "\r\nOK\r\n");
  ASSERT_EQ(got.frames.size(), 1u);
  EXPECT_EQ(got.frames[0], std::string("\xFF\x13\x80\r\nOK\x10\x03", 9));
  EXPECT_EQ(got.lines, (std::vector<std::string>{"CONNECT", "OK"}));
}

TEST(ResponseCollector, TextLeftInPlaceIsNotPartOfAFrame) {
  ResponseCollector c;
  c.ExpectFrames(true);
  const Collected got = Feed(c, "\r\nCONNECT\r\n\xFF\x13\x84\x10\x03", false);
  ASSERT_EQ(got.frames.size(), 1u);
  EXPECT_EQ(got.frames[0], "\xFF\x13\x84");
}

TEST(ResponseCollector, NoiseThatLooksLikeAFrameStartIsGivenUp) {
  ResponseCollector c;
  c.ExpectFrames(true);
  // 0xFF starts a frame, but no DLE ETX ever comes: after a frame's worth of bytes the
  // collector reads lines again.
  std::string noise(1, '\xFF');
  noise += std::string(ResponseCollector::kMaxFrameRaw + 10, 'A');
  const Collected got = Feed(c, noise + "\r\nOK\r\n");
  EXPECT_TRUE(got.frames.empty());
  ASSERT_FALSE(got.lines.empty());
  EXPECT_NE(got.lines.back().find("OK"), std::string::npos);
  // An overlong frame is cut, never grown without bound.
  std::string longFrame = "\xFF" + std::string(1000, '\x55') + "\x10\x03";
  c.Clear();
  ResponseCollector d;
  d.ExpectFrames(true);
  EXPECT_TRUE(Feed(d, longFrame).frames.empty());
  const std::string big = "\xFF" + std::string(400, '\x55') + "\x10\x03";
  const Collected kept = Feed(d, big);
  ASSERT_EQ(kept.frames.size(), 1u);
  EXPECT_EQ(kept.frames[0].size(), ResponseCollector::kMaxFrame);
}

TEST(ResponseCollector, TrimControls) {
  EXPECT_EQ(TrimControls("\r\n\x01 OK \t\r\n"), "OK");
  EXPECT_EQ(TrimControls("\r\n"), "");
}

}  // namespace
}  // namespace ql
