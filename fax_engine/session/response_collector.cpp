#include "fax_engine/session/response_collector.h"

namespace ql {

namespace {
constexpr uint8_t kAddress = 0xFF;
}

std::string TrimControls(const std::string& line) {
  size_t first = 0, last = line.size();
  while (first < last && static_cast<uint8_t>(line[first]) < 33) ++first;
  while (last > first && static_cast<uint8_t>(line[last - 1]) < 33) --last;
  return line.substr(first, last - first);
}

void ResponseCollector::Clear() {
  line_.clear();
  crLfMatched_ = 0;
  inFrame_ = false;
  frameRaw_ = 0;
  unstuffer_.Reset();
}

ResponseCollector::Item ResponseCollector::Feed(uint8_t byte) {
  if (inFrame_) return FeedFrame(byte);
  if (framesExpected_ && byte == kAddress) {
    // Whatever text stood before the frame is not part of it.
    line_.clear();
    crLfMatched_ = 0;
    frame_.clear();
    unstuffer_.Reset();
    inFrame_ = true;
    frameRaw_ = 0;
    return FeedFrame(byte);
  }
  return FeedText(byte);
}

ResponseCollector::Item ResponseCollector::FeedText(uint8_t byte) {
  if (line_.size() >= kResponseLineMax) line_.erase(0, line_.size() - kResponseLineMax + 1);
  line_ += static_cast<char>(byte);
  // The matcher advances on the expected byte and restarts on the pattern's first byte.
  if (crLfMatched_ == 1 && byte == '\n') {
    crLfMatched_ = 0;
    line_ = TrimControls(line_);
    return line_.empty() ? Item::kNone : Item::kLine;
  }
  crLfMatched_ = byte == '\r' ? 1 : 0;
  return Item::kNone;
}

ResponseCollector::Item ResponseCollector::FeedFrame(uint8_t byte) {
  if (++frameRaw_ > kMaxFrameRaw) {
    // No end in sight: this was noise, not a frame.
    inFrame_ = false;
    frame_.clear();
    unstuffer_.Reset();
    return Item::kNone;
  }
  const char c = static_cast<char>(byte);
  std::string data;
  const dle::Unstuffer::Result r = unstuffer_.Take(std::string_view(&c, 1), data);
  if (frame_.size() + data.size() <= kMaxFrame) frame_ += data;
  if (r.stop != dle::Unstuffer::Stop::kEnd) return Item::kNone;
  inFrame_ = false;
  frameRaw_ = 0;
  unstuffer_.Reset();
  return Item::kFrame;
}

}  // namespace ql
