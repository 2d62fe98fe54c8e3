#pragma once
// Collects what a fax modem says, byte by byte, into text lines and (for Class 1)
// HDLC frames.
//
// Text: every byte is appended to the response line (at most 128 characters; the oldest
// go first). A CR LF ends a line: the line is trimmed of characters below 33 at both
// ends; an empty line is dropped and collection goes on; a non-empty line is handed to
// the caller and stays in place until the caller clears it, so text a state leaves
// stays at the front of the next line.
//
// Frames: when frames are expected, a 0xFF byte (the HDLC address, never part of a
// modem's text) starts a frame. The frame's bytes are taken out of their DLE stuffing
// until DLE ETX ends it, so frame bytes that look like CR LF or a doubled DLE followed
// by ETX cannot end it early. A frame that grows past any sensible length is dropped.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fax_engine/session/fax_class.h"
#include "serial/dle/dle_codec.h"

namespace ql {

class ResponseCollector {
 public:
  enum class Item { kNone, kLine, kFrame };

  // The longest frame kept (HDLC frames are at most 256 bytes with the check sequence)
  // and the most raw bytes a frame may take before it is given up.
  static constexpr size_t kMaxFrame = 260;
  static constexpr size_t kMaxFrameRaw = 2 * kMaxFrame;

  void ExpectFrames(bool on) { framesExpected_ = on; }
  bool FramesExpected() const { return framesExpected_; }

  // Takes one received byte; tells whether it completed a line or a frame.
  Item Feed(uint8_t byte);

  // The response line (trimmed once it was handed over).
  const std::string& Line() const { return line_; }
  // The frame handed over last: address, control, FCF, FIF and what the modem put after
  // them (normally the two check-sequence bytes).
  const std::string& Frame() const { return frame_; }
  bool InFrame() const { return inFrame_; }

  // Clears the line and the matchers (a state that used the line).
  void Clear();

 private:
  Item FeedText(uint8_t byte);
  Item FeedFrame(uint8_t byte);

  std::string line_;
  std::string frame_;
  bool framesExpected_ = false;
  bool inFrame_ = false;
  size_t frameRaw_ = 0;
  int crLfMatched_ = 0;  // how much of CR LF has been seen
  dle::Unstuffer unstuffer_;
};

// The line with the characters below 33 trimmed from both ends.
std::string TrimControls(const std::string& line);

}  // namespace ql
