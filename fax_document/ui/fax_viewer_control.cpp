#include "fax_document/ui/fax_viewer_control.h"

#include <QVBoxLayout>
#include <algorithm>

#include "serial/errors/error_codes.h"

namespace ql {
namespace {

intptr_t ColorRef(QColor c) { return ViewRgb(c.red(), c.green(), c.blue()); }

}  // namespace

TFaxViewerControl::TFaxViewerControl(QWidget* parent) : QFrame(parent), viewer_(new TViewer(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(viewer_);
  setFocusProxy(viewer_);
  const TViewProc notify = [this](uint32_t msg, uintptr_t w, intptr_t l) { return Notified(msg, w, l); };
  Send(wmViewSetWndProc, 0, reinterpret_cast<intptr_t>(&notify));
  SetBorderStyle(bsSingle);
  // The values go to the new window once, in this order.
  Send(wmViewSetFG, 0, ColorRef(fgColor_));
  Send(wmViewSetBG, 0, ColorRef(bgColor_));
  Send(wmViewSetScroll, horizScroll_, vertScroll_);
  Send(wmViewSetAutoScale, ufDoubleHeight);
  Send(wmViewSetLoadWholeFax, loadWholeFax_);
  Send(wmViewSetBusyCursor, busyCursor_);
}

intptr_t TFaxViewerControl::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const intptr_t result = viewer_->Perform(msg, wParam, lParam);
  // Only the messages that answer with a code are checked.
  switch (msg) {
    case wmViewSetFile:
    case wmViewSelectAll:
    case wmViewSelect:
    case wmViewCopy:
    case wmViewSetWhitespace:
    case wmViewGotoPage:
    case wmViewSetRotation:
    case wmViewSetLoadWholeFax:
      Check(static_cast<int>(result));
      break;
    default:
      break;
  }
  return result;
}

intptr_t TFaxViewerControl::Notified(uint32_t msg, uintptr_t wParam, intptr_t) {
  switch (msg) {
    case wmViewPageChanged:
      if (OnPageChange) OnPageChange(*this);
      return 0;
    case wmViewError:
      if (OnViewerError) OnViewerError(*this, static_cast<int>(static_cast<intptr_t>(wParam)));
      return 0;
    case wmViewDroppedFile:
      if (OnDropFile) OnDropFile(*this, fileName_);
      return 0;
    default:
      return 0;
  }
}

void TFaxViewerControl::SetBorderStyle(TBorderStyle style) {
  borderStyle_ = style;
  viewer_->setFrameShape(style == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TFaxViewerControl::SetFGColor(QColor colour) {
  if (colour == fgColor_) return;
  fgColor_ = colour;
  Send(wmViewSetFG, 0, ColorRef(colour));
}

void TFaxViewerControl::SetBGColor(QColor colour) {
  if (colour == bgColor_) return;
  bgColor_ = colour;
  Send(wmViewSetBG, 0, ColorRef(colour));
}

void TFaxViewerControl::SendScale() {
  int factors[4] = {1, 1, 1, 1};
  if (scaling_) {
    factors[0] = static_cast<int>(horizMult_);
    factors[1] = static_cast<int>(horizDiv_);
    factors[2] = static_cast<int>(vertMult_);
    factors[3] = static_cast<int>(vertDiv_);
  }
  Send(wmViewSetScale, 0, reinterpret_cast<intptr_t>(factors));
}

void TFaxViewerControl::SetScaling(bool on) {
  if (on == scaling_) return;
  scaling_ = on;
  SendScale();
}

void TFaxViewerControl::SetHorizMult(unsigned v) {
  if (v == 0 || v == horizMult_) return;
  horizMult_ = v;
  SendScale();
}

void TFaxViewerControl::SetHorizDiv(unsigned v) {
  if (v == 0 || v == horizDiv_) return;
  horizDiv_ = v;
  SendScale();
}

void TFaxViewerControl::SetVertMult(unsigned v) {
  if (v == 0 || v == vertMult_) return;
  vertMult_ = v;
  SendScale();
}

void TFaxViewerControl::SetVertDiv(unsigned v) {
  if (v == 0 || v == vertDiv_) return;
  vertDiv_ = v;
  SendScale();
}

void TFaxViewerControl::SetAutoScaleMode(TAutoScaleMode mode) {
  if (mode == autoScaleMode_) return;
  autoScaleMode_ = mode;
  Send(wmViewSetAutoScale, mode == asDoubleHeight ? ufDoubleHeight : mode == asHalfWidth ? ufHalfWidth : 0);
}

void TFaxViewerControl::SendWhitespace() {
  if (whitespaceCompression_)
    Send(wmViewSetWhitespace, whitespaceFrom_, whitespaceTo_);
  else
    Send(wmViewSetWhitespace, 0, 0);
}

void TFaxViewerControl::SetWhitespaceCompression(bool on) {
  if (on == whitespaceCompression_) return;
  whitespaceCompression_ = on;
  SendWhitespace();
}

void TFaxViewerControl::SetWhitespaceFrom(unsigned lines) {
  if (lines == whitespaceFrom_) return;
  whitespaceFrom_ = lines;
  SendWhitespace();
}

void TFaxViewerControl::SetWhitespaceTo(unsigned lines) {
  if (lines == whitespaceTo_) return;
  whitespaceTo_ = lines;
  SendWhitespace();
}

void TFaxViewerControl::SetHorizScroll(unsigned step) {
  if (step == horizScroll_) return;
  horizScroll_ = step;
  Send(wmViewSetScroll, step, 0);
}

void TFaxViewerControl::SetVertScroll(unsigned step) {
  if (step == vertScroll_) return;
  vertScroll_ = step;
  Send(wmViewSetScroll, 0, step);
}

void TFaxViewerControl::SetLoadWholeFax(bool on) {
  if (on == loadWholeFax_) return;
  loadWholeFax_ = on;
  Send(wmViewSetLoadWholeFax, on);
}

void TFaxViewerControl::SetBusyCursor(Qt::CursorShape cursor) {
  if (cursor == busyCursor_) return;
  busyCursor_ = cursor;
  Send(wmViewSetBusyCursor, cursor);
}

void TFaxViewerControl::SetFileName(const std::string& file) {
  if (file == fileName_) return;
  fileName_ = file;
  rotation_ = 0;
  horizMult_ = horizDiv_ = vertMult_ = vertDiv_ = 1;
  Send(wmViewSetFile, 0, reinterpret_cast<intptr_t>(file.c_str()));
}

void TFaxViewerControl::SetRotation(int rotation) {
  if (rotation == rotation_) return;
  rotation_ = rotation;
  Send(wmViewSetRotation, static_cast<uintptr_t>(rotation));
}

unsigned TFaxViewerControl::CurrentPage() const { return static_cast<unsigned>(viewer_->Perform(wmViewGetCurPage)); }

void TFaxViewerControl::SetCurrentPage(unsigned page) {
  if (page == CurrentPage() || viewer_->FileName().empty()) return;
  Send(wmViewGotoPage, page);
}

unsigned TFaxViewerControl::PageTotal() const { return static_cast<unsigned>(viewer_->Perform(wmViewGetNumPages)); }

int TFaxViewerControl::PageWidthPixels() const {
  TViewRect rect;
  viewer_->Perform(wmViewGetPageDim, 0, reinterpret_cast<intptr_t>(&rect));
  return std::max(0, rect.Right - rect.Left + 1);
}

void TFaxViewerControl::ShowFirstPage() { viewer_->FirstPage(); }
void TFaxViewerControl::ShowLastPage() { viewer_->LastPage(); }

void TFaxViewerControl::ShowNextPage() {
  if (CurrentPage() < PageTotal()) viewer_->NextPage();
}

void TFaxViewerControl::ShowPrevPage() {
  if (CurrentPage() > 1) viewer_->PrevPage();
}

void TFaxViewerControl::BeginUpdate() { Send(wmViewStartUpdate); }
void TFaxViewerControl::EndUpdate() { Send(wmViewEndUpdate); }
void TFaxViewerControl::CopyToClipboard() { Send(wmViewCopy); }
void TFaxViewerControl::SelectAll() { Send(wmViewSelectAll); }

}  // namespace ql
