#include "fax_engine/components/fax_status.h"

#include "fax_engine/components/abstract_fax.h"

namespace ql {

TAbstractFaxStatus::~TAbstractFaxStatus() {
  if (fax_ != nullptr && fax_->StatusDisplay() == this) fax_->SetStatusDisplay(nullptr);
}

void TAbstractFaxStatus::CreateDisplayNow() {
  CreateDisplay();
  hasDisplay_ = true;
  position_ = DisplayPosition();
  ctl3D_ = DisplayCtl3D();
  visible_ = DisplayVisible();
}

void TAbstractFaxStatus::DestroyDisplayNow() {
  if (!hasDisplay_) return;
  DestroyDisplay();
  hasDisplay_ = false;
}

void TAbstractFaxStatus::SetPosition(int position) {
  position_ = position;
  if (hasDisplay_) ApplyPosition(position);
}

void TAbstractFaxStatus::SetCtl3D(bool on) {
  ctl3D_ = on;
  if (hasDisplay_) ApplyCtl3D(on);
}

void TAbstractFaxStatus::SetVisible(bool on) {
  visible_ = on;
  if (hasDisplay_) ApplyVisible(on);
}

void TAbstractFaxStatus::SetFax(TCustomAbstractFax* fax) {
  if (fax_ == fax) return;
  TCustomAbstractFax* old = fax_;
  fax_ = fax;
  if (old != nullptr && old->StatusDisplay() == this) old->SetStatusDisplay(nullptr);
  if (fax != nullptr && fax->StatusDisplay() != this) fax->SetStatusDisplay(this);
}

}  // namespace ql
