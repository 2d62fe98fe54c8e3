// Send states of one page, in every class: the modem is ready for data, the header line
// is drawn, the page comes from the APF file (or a text cover is drawn), and the data
// streams out as the output buffer makes room; then the buffer drains and the page ends.

#include <cstring>

#include "fax_engine/class1/training.h"
#include "fax_engine/send/fax_pages.h"
#include "fax_engine/send/page_output.h"
#include "fax_engine/send/send_states.h"
#include "fax_engine/session/header_expand.h"
#include "fax_engine/session/modem_commands.h"
#include "fax_engine/session/notifications.h"
#include "fax_engine/session/session_records.h"
#include "fax_engine/session/session_run.h"
#include "fax_engine/session/status_texts.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/apf/file_errors.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/dle/dle_codec.h"
#include "serial/errors/error_codes.h"

namespace ql {

namespace {

constexpr uint8_t kXon = 0x11;
constexpr int kBlockRoom = 4096;
constexpr size_t kTextLineMax = 255;

// The end of the page's data. Class 1 closes the data with DLE ETX here; Class 2 and 2.0
// end the page once the buffer has drained.
Outcome PageDataQueued(SendSession& s) {
  if (IsClass1(s)) {
    QueueOutput(s, dle::EndPair());
    SetProgress(s, fpSendPage, false);
  }
  ArmTransmit(s);
  ArmDrained(s);
  return Outcome::kPageDataQueued;
}

// Reads one line of the text cover (at most 255 characters, the rest of a longer line
// is skipped); false at the end of the file, an error code in rc.
bool ReadTextLine(SendSession& s, std::string& line, int& rc) {
  line.clear();
  rc = 0;
  int c;
  while ((c = std::fgetc(s.textCover)) != EOF && c != '\n')
    if (line.size() < kTextLineMax) line += static_cast<char>(c);
  if (std::ferror(s.textCover)) rc = LastFileErrorCode();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return c != EOF || !line.empty();
}

// One block of the APF page: a line record padded to the minimum line time, or up to
// 4096 bytes of a page stored as one stream. Returns the bytes it counts for, or an error.
int ReadPageBlock(SendSession& s, std::string& out) {
  uint8_t* block = s.modem.dataBuffer.data();
  if (s.modem.hasLengthWords) {
    const int length = s.file.ReadLineRecord(block);
    if (length < 0) return length;
    class1::AppendScanLine(out, std::string_view(reinterpret_cast<const char*>(block), static_cast<size_t>(length)),
                           s.modem.MinBytesPerLine);
    return length + 2;
  }
  const int want = std::min(kDataBufferSize, s.common.pageLength - s.common.bytesTransferred);
  const int got = s.file.ReadBlock(block, static_cast<size_t>(want));
  if (got < 0) return got;
  // A file that ends before its page does is cut short.
  if (got == 0) return ecReadBeyondEnd;
  dle::AppendStuffed(out, std::string_view(reinterpret_cast<const char*>(block), static_cast<size_t>(got)));
  return got;
}

// The modem's device went away (a modem pulled out): its writes fail, and the output
// buffer, emptied, would announce room for ever while the page never goes out.
bool ModemGone(const SendSession& s) { return DeviceLost(s.common.portHandle) == 1; }

// States that stream data act on the output-free trigger: a time-out ends the fax,
// modem input meanwhile is dropped, and anything else keeps the state waiting.
bool RoomEvent(SendSession& s, const StateInput& in, Outcome& otherwise) {
  otherwise = Outcome::kStay;
  if (ModemGone(s)) {
    otherwise = Fail(s, ecDeviceWriteError);
    return false;
  }
  if (in.event == EventKind::kTimeout) otherwise = Fail(s, ecTimeout);
  if (in.event == EventKind::kData) DiscardInput(s);
  return in.event == EventKind::kRoom;
}

bool BufferWantsMore(SendSession& s) {
  const int port = s.common.portHandle;
  return OutUsed(port) <= s.BufferMinimum && OutFree(port) >= kBlockRoom;
}

}  // namespace

Outcome AwaitXon(SendSession& s, const StateInput& in) {
  bool ready = in.event == EventKind::kTimeout;
  if (in.event == EventKind::kData) {
    const int port = s.common.portHandle;
    while (CharReady(port) == 1) {
      const int c = ReadChar(port);
      if (c < 0) break;
      if (c == kXon) {
        ready = true;
        break;
      }
    }
  }
  if (!ready) return Outcome::kStay;
  ArmRoom(s);
  ArmTransmit(s);
  return Outcome::kReadyForData;
}

Outcome AwaitRoom(SendSession& s, const StateInput& in) {
  if (Outcome otherwise; !RoomEvent(s, in, otherwise)) return otherwise;
  SetProgress(s, fpSendPage, false);
  if (s.common.options & foSoftwareFlow) SetSoftwareFlow(s.common.portHandle, 0, 0, 1);
  return Outcome::kRoom;
}

Outcome PageHeader(SendSession& s, const StateInput&) {
  s.log.Note("page " + std::to_string(HeaderPageNumber(s)) + (s.common.SendingCover ? " (cover)" : "") + " at " +
             std::to_string(s.modem.sessionBps) + " bit/s, " + (s.modem.pageResolution == '1' ? "fine" : "normal") +
             ", " + std::to_string(s.modem.pageHeader.Width()) + " pels");
  if (const int rc = QueuePageHeader(s); rc < 0) return Fail(s, rc);
  return s.common.coverFile.empty() ? Outcome::kHeaderWithPage : Outcome::kHeaderWithCover;
}

Outcome OpenCoverPage(SendSession& s, const StateInput&) {
  s.common.bytesTransferred = 0;
  if (const int rc = OpenCover(s); rc < 0) return Fail(s, rc);
  if (s.modem.coverIsApf) return Outcome::kApfCoverOpened;
  ArmTransmit(s);
  ArmRoom(s);
  SetProgress(s, fpSendPage, false);
  return Outcome::kTextCoverOpened;
}

Outcome TextCover(SendSession& s, const StateInput& in) {
  if (Outcome otherwise; !RoomEvent(s, in, otherwise)) return otherwise;
  std::string line;
  int rc = 0;
  bool more = true;
  while (FlushPendingOutput(s) && OutFree(s.common.portHandle) > kBlockRoom) {
    more = ReadTextLine(s, line, rc);
    if (rc < 0) return Fail(s, rc);
    if (!more) break;
    QueueTextLine(s, s.largeFont, ExpandHeader(s, line));
  }
  if (more) {
    ArmTransmit(s);
    ArmRoom(s);
    return Outcome::kStay;
  }
  uint8_t end[16];
  const unsigned count = ConverterCore::EndOfPageBlock(end);
  std::string tail = dle::Stuffed(std::string_view(reinterpret_cast<const char*>(end), count));
  if (count <= s.modem.MinBytesPerLine) tail.append(s.modem.MinBytesPerLine - count + 1, '\0');
  QueueOutput(s, tail);
  return PageDataQueued(s);
}

Outcome StartApfPage(SendSession& s, const StateInput&) {
  s.common.bytesTransferred = 0;
  s.common.pageLength = static_cast<int32_t>(s.modem.pageHeader.DataLength);
  s.modem.forceStatus = true;
  ArmTransmit(s);
  ArmRoom(s);
  return Outcome::kPageStarted;
}

Outcome ApfPage(SendSession& s, const StateInput& in) {
  if (Outcome otherwise; !RoomEvent(s, in, otherwise)) return otherwise;
  EventTimer statusDue;
  ArmTimer(statusDue, SecondsToTicks(3 * s.common.StatusInterval));
  for (int block = 0; block < s.MaxSendCount; ++block) {
    if (!FlushPendingOutput(s) || !BufferWantsMore(s)) break;
    if (TimerExpired(statusDue)) {
      SendStatus(s, false, false);
      ArmStatusTimer(s);
      ArmTimer(statusDue, SecondsToTicks(2 * s.common.StatusInterval));
    }
    if (s.common.bytesTransferred >= s.common.pageLength) return PageDataQueued(s);
    std::string data;
    const int counted = ReadPageBlock(s, data);
    if (counted < 0) return Fail(s, counted);
    s.common.bytesTransferred += counted;
    QueueOutput(s, data);
  }
  ArmTransmit(s);
  ArmRoom(s);
  return Outcome::kStay;
}

Outcome AwaitDrained(SendSession& s, const StateInput& in) {
  if (in.event == EventKind::kTimeout) return Fail(s, ecTimeout);
  if (ModemGone(s)) return Fail(s, ecDeviceWriteError);
  // A Class 1 modem that took the last byte before the buffer is seen empty may answer
  // OK already: that answer is kept for the next state, not thrown away.
  if (in.event == EventKind::kData && !IsClass1(s)) DiscardInput(s);
  if (in.event != EventKind::kDrained) return Outcome::kStay;
  if (!FlushPendingOutput(s)) {
    ArmDrained(s);
    return Outcome::kStay;
  }
  const int port = s.common.portHandle;
  if (s.common.options & foSoftwareFlow) ClearSoftwareFlow(port);
  SetProgress(s, fpSendPage);
  s.log.Note("page data sent: " + std::to_string(s.common.bytesTransferred) + " bytes");
  if (IsClass1(s)) return Outcome::kClass1PageDrained;
  if (s.common.FaxClass == fcClass2_0)
    WriteString(port, std::string{static_cast<char>(dle::kDle), MorePagesFollow(s) ? ',' : '.'});
  else
    WriteString(port, dle::EndPair());
  return Outcome::kClass2PageDrained;
}

}  // namespace ql
