#pragma once
// The records of a fax session: what every session has (FaxCommon), what the modem
// side of it needs (FaxModemData), and the extras of each direction (SendSession here,
// ReceiveSession beside the receive machine). One session object lives as long as its
// component and serves one run after another.
//
// Threads: the component's start call prepares the session on the user-interface
// thread; after that the machine runs on the port's dispatch thread, one entry at a
// time, and a cancel comes from the user-interface thread. The entry lock makes those
// entries exclusive. The values the component shows while a run is under way (progress,
// pages, bytes, rate, far ID ...) are atomics, so they can be read from any thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "fax_document/apf/apf_file.h"
#include "fax_document/convert/converter_core.h"
#include "fax_document/sources/fax_font.h"
#include "fax_engine/session/command_table.h"
#include "fax_engine/session/fax_class.h"
#include "fax_engine/session/response_collector.h"
#include "fax_engine/session/session_log.h"
#include "platform/clock.h"
#include "platform/message_windows/message_window.h"
#include "serial/triggers/handler_list.h"

namespace ql {

// Option flags of a session.
inline constexpr uint16_t foAbortNoConnect = 1;
inline constexpr uint16_t foExitOnError = 2;
inline constexpr uint16_t foSoftwareFlow = 8;

// The base init strings, by DetectBusy and BlindDial.
inline constexpr const char* kInitBusyDial = "ATE0Q0V1X4S0=0S2=43";   // detect busy, wait for dial tone
inline constexpr const char* kInitBusyBlind = "ATE0Q0V1X3S0=0S2=43";  // detect busy, blind dial
inline constexpr const char* kInitNoBusyDial = "ATE0Q0V1X2S0=0S2=43";
inline constexpr const char* kInitNoBusyBlind = "ATE0Q0V1X1S0=0S2=43";

struct FaxCommon {
  // Trigger handles of the running session (0: not allocated).
  int availTrigger = 0;
  int statusTimer = 0;
  int timeoutTimer = 0;
  int outFreeTrigger = 0;
  int drainedTrigger = 0;
  int modemStatusTrigger = 0;
  int savedAvailThreshold = 0;  // the port's own threshold, given back at the end

  uint16_t StatusInterval = 1;  // seconds between periodic status messages
  MessageWindow notifyWindow = 0;
  int portHandle = 0;
  TNotifyProc eventHandler = nullptr;

  bool IsSender = false;
  std::atomic<bool> SendingCover{false};  // the page under way comes from the cover
  std::atomic<bool> Prepared{false};

  uint16_t DialAttempts = 3;            // 0: redial until cancelled
  std::atomic<uint16_t> dialAttempt{0};  // dials so far on this fax (callers see it plus one)
  uint16_t DialRetryWait = 1092;        // ticks (60 s)

  uint16_t options = 0;  // foAbortNoConnect, foExitOnError, foSoftwareFlow
  std::atomic<uint16_t> FaxProgress{0};
  std::atomic<int32_t> LastError{0};

  std::atomic<int32_t> currentPage{0};  // from 1
  std::atomic<int32_t> totalPages{0};   // pages of the fax file
  std::atomic<int32_t> coverPages{0};   // 0 or 1
  std::atomic<int32_t> bytesTransferred{0};
  std::atomic<int32_t> pageLength{0};

  TFaxClass FaxClass = fcDetect;
  std::string StationID;
  std::string DestinationDir;
  std::string FaxFileExt = "APF";
  std::string faxFile;
  std::string coverFile;
  std::string phoneNumber;
  std::string HeaderTitle, HeaderRecipient, HeaderSender;

  // The far machine's ID; written by the machine, read from any thread.
  std::string RemoteID() const;
  void SetRemoteID(const std::string& id);

 private:
  mutable std::mutex remoteIdLock_;
  std::string remoteId_;
};

struct FaxModemData {
  bool forceStatus = false;  // report the new status at once

  // What the session negotiated.
  std::atomic<bool> fine{false};
  std::atomic<bool> wide{false};
  std::atomic<bool> ecm{false};
  bool remoteFine = false;
  bool remoteWide = false;
  bool lastFrameFinal = false;
  bool gotCfr = false;
  bool pageReceivedOk = false;
  bool morePages = false;  // receiving side

  bool ToneDial = true;
  bool BlindDial = false;
  bool DetectBusy = true;
  char DesiredECM = '0';
  char FaxAndData = '0';

  char pageResolution = ' ';      // of the page being sent: '0' normal, '1' fine, ' ' none yet
  char previousResolution = ' ';

  int scanTimeCode = 0;
  uint16_t MinBytesPerLine = 0;
  uint8_t lastFcf = 0;

  uint16_t ReplyWait = 182;      // ticks (10 s)
  uint16_t TransmitWait = 1092;  // ticks (60 s)

  uint16_t DesiredBPS = 9600;
  int SpeedIndex = 0;  // 1 to 6
  std::atomic<int32_t> sessionBps{0};
  bool v17 = false;  // Class 1 receiving: the far sender chose V.17 modulation
  std::atomic<int32_t> HangupCode{0};

  int retryCount = 0;
  int32_t lastBlockCount = 0;

  int32_t DialWait = 1092;  // ticks (60 s)
  int32_t AnswerOnRing = 1;
  int32_t ringCount = 0;

  int32_t NormalBaud = 0;
  int32_t InitBaud = 0;
  bool atInitBaud = false;

  // The page being sent or received.
  ApfFileHeader fileHeader;
  ApfPageHeader pageHeader;
  bool hasLengthWords = false;
  bool coverIsApf = false;
  bool textFileOpen = false;

  CommandTable commands;
  std::string ModulationCode;
  std::string baseInit = kInitBusyDial;
  std::string ModemInit;
  std::string DialPrefix;

  bool localSpeeds[7] = {};   // by speed index 1 to 6
  bool remoteSpeeds[7] = {};
  EventTimer eventTimer;
  bool modemInitialised = false;

  std::vector<uint8_t> dataBuffer = std::vector<uint8_t>(kDataBufferSize);
};

// What both directions share, with the page converter used for header and text lines.
struct FaxSession {
  explicit FaxSession(bool sender);
  virtual ~FaxSession();
  FaxSession(const FaxSession&) = delete;
  FaxSession& operator=(const FaxSession&) = delete;

  FaxCommon common;
  FaxModemData modem;
  ResponseCollector response;
  ConverterCore converter;
  SessionLog log;

  // The prepare step and the machine of the session's direction.
  int (*prepare)(FaxSession&) = nullptr;
  TNotifyProc machine = nullptr;

  // Makes the machine's entries exclusive (dispatch thread, start, cancel).
  std::recursive_mutex entryLock;
  // A cancel asked for while an entry was running on the same thread.
  std::atomic<bool> abortPending{false};
  // Machine entries under way (see session_run.h).
  std::atomic<int> entriesInFlight{0};
};

struct SendSession : FaxSession {
  SendSession();
  ~SendSession() override;

  uint16_t MaxSendCount = 50;     // blocks per output event
  uint16_t BufferMinimum = 1000;  // bytes in the output buffer below which more are written
  int maxRetransmissions = 2;
  int retransmissions = 0;        // of the current page
  std::string HeaderLine;
  uint8_t state = 0;
  bool aborted = false;  // the run was cancelled

  ApfReader file;            // the fax file or the APF cover being sent
  std::FILE* textCover = nullptr;
  FaxFont smallFont;         // header lines
  FaxFont largeFont;         // text covers
  std::string pendingOutput; // page bytes that did not fit into the output buffer yet
  std::string carrierCommand; // Class 1: the +FTH/+FTM whose CONNECT is awaited
  int carrierRetries = 0;     // times it went again after the modem answered it OK
};

// ---- options that do more than store a value ----

// Truncated to 20 characters.
void SetStationId(FaxSession& s, const std::string& id);
// Upper-cased, at most 40 characters, "AT" put in front of a text that does not start
// with "A".
void SetModemInit(FaxSession& s, const std::string& text);
// Re-selects the base init string.
void SetDetectBusy(FaxSession& s, bool on);
void SetBlindDial(FaxSession& s, bool on);
const char* BaseInitString(bool detectBusy, bool blindDial);

// The fine flag and the rate decide MinBytesPerLine: recomputes it.
void RecomputeMinBytesPerLine(FaxSession& s);

}  // namespace ql
