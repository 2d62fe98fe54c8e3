#include "fax_engine/session/session_records.h"

#include "fax_engine/session/session_run.h"
#include "fax_engine/session/speed_tables.h"
#include "platform/text.h"

namespace ql {

std::string FaxCommon::RemoteID() const {
  std::lock_guard guard(remoteIdLock_);
  return remoteId_;
}

void FaxCommon::SetRemoteID(const std::string& id) {
  std::lock_guard guard(remoteIdLock_);
  // A far machine's ID goes into files and history lines: control characters in it are
  // shown as '?' rather than carried along.
  remoteId_ = id.substr(0, kStationIdMax);
  for (char& c : remoteId_)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
}

FaxSession::FaxSession(bool sender) {
  common.IsSender = sender;
  RegisterSession(*this);
}

FaxSession::~FaxSession() { UnregisterSession(*this); }

SendSession::SendSession() : FaxSession(true) {}

// Each direction waits for entries under way before its own members go.
SendSession::~SendSession() {
  UnregisterSession(*this);
  if (textCover != nullptr) std::fclose(textCover);
}

void SetStationId(FaxSession& s, const std::string& id) { s.common.StationID = id.substr(0, kStationIdMax); }

void SetModemInit(FaxSession& s, const std::string& text) {
  std::string init = ToUpperAscii(text.substr(0, kModemStringMax));
  if (!init.empty() && init[0] != 'A') init = ("AT" + init).substr(0, kModemStringMax);
  s.modem.ModemInit = init;
}

const char* BaseInitString(bool detectBusy, bool blindDial) {
  if (detectBusy) return blindDial ? kInitBusyBlind : kInitBusyDial;
  return blindDial ? kInitNoBusyBlind : kInitNoBusyDial;
}

void SetDetectBusy(FaxSession& s, bool on) {
  s.modem.DetectBusy = on;
  s.modem.baseInit = BaseInitString(s.modem.DetectBusy, s.modem.BlindDial);
}

void SetBlindDial(FaxSession& s, bool on) {
  s.modem.BlindDial = on;
  s.modem.baseInit = BaseInitString(s.modem.DetectBusy, s.modem.BlindDial);
}

void RecomputeMinBytesPerLine(FaxSession& s) {
  s.modem.MinBytesPerLine = MinBytesPerLineFor(s.modem.scanTimeCode, s.modem.fine, s.modem.sessionBps);
}

}  // namespace ql
