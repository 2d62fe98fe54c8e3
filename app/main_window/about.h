#pragma once
// The About window, captioned "About Quillet".

class QWidget;

namespace ql {

void ShowAbout(QWidget* parent);

}  // namespace ql
