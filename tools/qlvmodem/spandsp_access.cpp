#include "tools/qlvmodem/spandsp_access.h"

#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"

namespace ql::vmodem {

namespace {
// The interpreter's result code formats (verbose, numeric, none) as ATV and ATQ set them.
constexpr int kNoResultCodes = 3;
// Which fast modulation a transmit handler belongs to, and its (long) training time.
FastCarrier CarrierOf(const fax_modems_state_t& modems, int bitRate) {
  const span_tx_handler_t* handler = modems.tx_handler;
  if (handler == reinterpret_cast<span_tx_handler_t*>(&v17_tx))
    return {bitRate, 1.393, true, modems.fast_modems.v17_tx.short_train != 0};
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

void ForgetCallInfo(t31_state_s* modem) { ClearCallInfo(&modem->at_state); }

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

namespace ql::vmodem {

namespace {
// The fax terminal's protocol states are private to the library's source; these are the
// values of the two this workaround concerns, in the library generation the tool links.
// After a post-page response it waits for the sender's next command:
constexpr int kStateAfterPageResponse = 22;
// Waiting for a page; its handling of DCS takes the new parameters and the training check:
constexpr int kStateAwaitingPage = 10;
// What the terminal is doing with its received file (open, or closed after the last page).
constexpr int kReceivingFile = 1;
constexpr int kReceivedFile = 3;

// The terminal closed its received file when it rejected the last page, and taking new
// parameters would open it again empty, dropping the good pages already in it. So
// reopen it here for appending: a receive context is set up the library's own way on
// a scratch file, then given the kept file instead. False leaves everything as it was.
bool ReopenReceivedFile(t30_state_t* t30) {
  t4_rx_state_t* rx = &t30->t4.rx;
  const int pages = rx->current_page;
  if (pages == 0) return true;  // nothing kept: the file is started afresh as usual
  const std::filesystem::path path = t30->rx_file;
  TIFF* kept = TIFFOpen(path.c_str(), "a");
  if (kept == nullptr) return false;
  const std::filesystem::path scratch = TemporarySibling(path);
  if (t4_rx_init(rx, scratch.c_str(), t30->output_encoding) == nullptr) {
    TIFFClose(kept);
    std::error_code ec;
    std::filesystem::remove(scratch, ec);
    return false;
  }
  TIFFClose(rx->tiff.tiff_file);
  std::error_code ec;
  std::filesystem::remove(scratch, ec);
  free(const_cast<char*>(rx->tiff.file));
  rx->tiff.file = strdup(path.c_str());
  rx->tiff.tiff_file = kept;
  rx->current_page = pages;
  rx->tiff.pages_in_file = pages;
  t30->operation_in_progress = kReceivingFile;
  return true;
}
}  // namespace

void AcceptRetrainAfterRtn(t30_state_s* t30, const uint8_t* frame, int length) {
  // Only final frames are acted on by state; a DCS is always final.
  if (length < 3 || (frame[1] & 0x10) == 0 || (frame[2] & 0xFE) != T30_DCS) return;
  if (t30->state != kStateAfterPageResponse || t30->last_rx_page_result != T30_RTN) return;
  if (t30->operation_in_progress == kReceivedFile && !ReopenReceivedFile(t30)) return;
  t30->state = kStateAwaitingPage;
}

}  // namespace ql::vmodem

namespace ql::vmodem {
void SendPagesAgainAfterRtn(t30_state_s* t30) { t30->retransmit_capable = 1; }
}  // namespace ql::vmodem
