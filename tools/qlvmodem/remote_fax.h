#pragma once
// Virtual remote fax machines, built on spandsp's T.30 fax terminal. An answering
// machine takes calls at its number and keeps each fax as a TIFF file plus a small
// record of the session; a calling machine dials a number once and sends a TIFF.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tools/qlvmodem/endpoint.h"
#include "tools/qlvmodem/fax_terminal.h"

struct fax_state_s;
struct t30_state_s;

namespace ql::vmodem {

// What one fax session of a remote machine came to.
struct SessionRecord {
  int sequence = 0;
  std::string direction;       // "received" or "sent"
  std::string otherNumber;     // the number at the far end of the call
  std::string remoteId;        // the far machine's station ID
  int pages = 0;
  int xResolution = 0;         // dots per inch
  int yResolution = 0;
  int bitRate = 0;
  bool ecm = false;
  int badRows = 0;
  int resultCode = -1;         // spandsp's completion code (0 = OK); -1 = never connected
  std::string resultText;
  std::string tiff;            // the received TIFF (received sessions)
  double lineSeconds = 0;      // connected time on the line's clock
};

std::string FormatRecord(const SessionRecord& record);
// The value of "key=" in a record's text (of the first record when there are several);
// empty when the record has no such line.
std::string RecordField(const std::string& text, const std::string& key);

struct RemoteOptions {
  std::string number;
  std::string ident = "VIRTUAL REMOTE";
  std::filesystem::path folder;     // where received faxes and records go
  int answerAfterRings = 1;
  bool trace = false;               // spandsp's T.30 trace on standard error
};

class RemoteFax : public Endpoint {
 public:
  // An answering machine.
  explicit RemoteFax(RemoteOptions options);
  // A calling machine that sends `tiff` to `target` once Start() is called.
  RemoteFax(RemoteOptions options, std::string target, std::filesystem::path tiff);
  ~RemoteFax() override;

  std::string Describe() const override;
  bool Idle() const override { return state_ == State::kIdle; }
  bool Finished() const override { return calling_ && state_ == State::kDone; }

  void Start();  // calling machine: dial
  void BeginCall(const std::vector<Fault>& faults) override { faults_ = faults; }
  void IncomingCall(const std::string& callerNumber) override;
  void Ring() override;
  void Connected(bool asCaller) override;
  void DialFailed(DialOutcome outcome) override;
  void Cleared() override;

  void Transmit(int16_t* samples, int count) override;
  void Receive(int16_t* samples, int count) override;
  FastCarrier FastTransmission() const override;

  const std::vector<SessionRecord>& Records() const { return records_; }
  const RemoteOptions& Options() const { return options_; }

 private:
  enum class State { kIdle, kDialling, kRinging, kInCall, kClosing, kDone };

  static int OnPhaseB(t30_state_s* t30, void* self, int fcf);
  static void OnPhaseE(t30_state_s* t30, void* self, int code);
  void StartTerminal(bool calling);
  void StopTerminal();
  void Complete(int code);
  void Finish();
  void SaveRecord();

  RemoteOptions options_;
  bool calling_ = false;
  std::string target_;
  std::filesystem::path sendFile_;
  State state_ = State::kIdle;
  std::vector<Fault> faults_;
  std::unique_ptr<FaxTerminal> terminal_;
  std::string otherNumber_;
  int rings_ = 0;
  int64_t samplesInCall_ = 0;
  int64_t closingSamples_ = 0;
  SessionRecord current_;
  std::vector<SessionRecord> records_;
};

}  // namespace ql::vmodem
