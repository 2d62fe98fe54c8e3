#include "tools/qlvmodem/spandsp_access.h"

#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>

#include <cstdlib>

namespace ql::vmodem {

namespace {
// The interpreter's result code formats (verbose, numeric, none) as ATV and ATQ set them.
constexpr int kNoResultCodes = 3;
// Which fast modulation a transmit handler belongs to, and its (long) training time.
FastCarrier CarrierOf(const fax_modems_state_t& modems, int bitRate) {
  const span_tx_handler_t* handler = modems.tx_handler;
  if (handler == reinterpret_cast<span_tx_handler_t*>(&v17_tx)) return {bitRate, 1.393};
  if (handler == reinterpret_cast<span_tx_handler_t*>(&v29_tx)) return {bitRate, 0.253};
  if (handler == reinterpret_cast<span_tx_handler_t*>(&v27ter_tx)) return {bitRate, bitRate == 4800 ? 0.708 : 0.943};
  return {};
}
}  // namespace

DteMode ModemDteMode(const t31_state_s* modem) {
  switch (modem->at_state.at_rx_mode) {
    case AT_MODE_ONHOOK_COMMAND: return DteMode::kOnHookCommand;
    case AT_MODE_OFFHOOK_COMMAND: return DteMode::kOffHookCommand;
    case AT_MODE_CONNECTED: return DteMode::kConnected;
    case AT_MODE_DELIVERY: return DteMode::kDelivery;
    case AT_MODE_HDLC: return DteMode::kHdlc;
    default: return DteMode::kStuffed;
  }
}

bool InCommandMode(const t31_state_s* modem) {
  DteMode mode = ModemDteMode(modem);
  return mode == DteMode::kOnHookCommand || mode == DteMode::kOffHookCommand;
}

int TransmitBufferRoom(const t31_state_s* modem) {
  int fill = modem->tx.in_bytes - modem->tx.out_bytes;
  if (fill < 0) fill = 0;
  return T31_TX_BUF_LEN - fill - 1;
}

int PendingFrameBytes(const t31_state_s* modem) { return modem->hdlc_tx.len; }

bool EchoOn(const t31_state_s* modem) { return modem->at_state.p.echo != 0; }
bool VerboseOn(const t31_state_s* modem) { return modem->at_state.p.verbose != 0; }
bool QuietOn(const t31_state_s* modem) { return modem->at_state.p.result_code_format == kNoResultCodes; }
int SRegister(const t31_state_s* modem, int index) { return modem->at_state.p.s_regs[index]; }
int SelectedClass(const t31_state_s* modem) { return modem->at_state.fclass_mode; }

namespace {
// The library's own reset frees the list but not its strings; this frees both.
void ClearCallInfo(at_state_t* at) {
  for (at_call_id_t* entry = at->call_id; entry != nullptr;) {
    at_call_id_t* next = entry->next;
    free(entry->id);
    free(entry->value);
    free(entry);
    entry = next;
  }
  at->call_id = nullptr;
  at->rings_indicated = 0;
  at->call_info_displayed = 0;
}
}  // namespace

void ReleaseModem(t31_state_s* modem) {
  ClearCallInfo(&modem->at_state);
  // t31_free leaves the receive queue behind.
  if (modem->rx_queue != nullptr) queue_free(modem->rx_queue);
  modem->rx_queue = nullptr;
  t31_free(modem);
}

void BeginIncomingCall(t31_state_s* modem, const std::string& callerNumber) {
  ClearCallInfo(&modem->at_state);
  if (!callerNumber.empty()) at_set_call_info(&modem->at_state, "NMBR", callerNumber.c_str());
}

void PutResponse(t31_state_s* modem, const char* text) { at_put_response(&modem->at_state, text); }

FastCarrier FastTransmission(const t31_state_s* modem) { return CarrierOf(modem->audio.modems, modem->bit_rate); }
FastCarrier FastTransmission(const fax_state_s* terminal) {
  return CarrierOf(terminal->modems, terminal->modems.tx_bit_rate);
}

}  // namespace ql::vmodem

namespace ql::vmodem {
int ResultCodeMode(const t31_state_s* modem) { return modem->at_state.result_code_mode; }
void SetResultCodeMode(t31_state_s* modem, int mode) { modem->at_state.result_code_mode = mode; }
void PutResultCode(t31_state_s* modem, int code) { at_put_response_code(&modem->at_state, code); }
}  // namespace ql::vmodem
