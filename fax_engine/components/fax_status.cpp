#include "fax_engine/components/fax_status.h"

#include "fax_engine/components/abstract_fax.h"
#include "fax_engine/components/two_way_link.h"

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
  LinkBothWays(this, fax_, fax, &TCustomAbstractFax::StatusDisplay, &TCustomAbstractFax::SetStatusDisplay);
}

}  // namespace ql
